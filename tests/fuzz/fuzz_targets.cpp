// The five fuzz targets, one executable each: QUENBOLT_FUZZ names the function that takes the
// input. Whatever the input, an invariant that breaks stops the run with a message.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <tuple>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "discovery/boot_sector_label_reader.h"
#include "discovery/scan_disks.h"
#include "editing/boot_sector_label_writer.h"
#include "model/crc32.h"
#include "model/gbk_text.h"
#include "model/gpt_table.h"
#include "support/oracle.h"
#include "support/standard_machine.h"

#define CHECK(condition, what)                            \
  if (!(condition)) {                                     \
    std::fprintf(stderr, "invariant broken: %s\n", what); \
    std::abort();                                         \
  }

namespace quenbolt {
namespace fuzz {

// The oracle's builders, steered by the input; an exhausted input answers 0, which ends every loop.
class FuzzChooser : public oracle::Chooser {
 public:
  explicit FuzzChooser(FuzzedDataProvider& in) : in_(in) {}
  std::uint32_t below(std::uint32_t n) override { return n ? in_.ConsumeIntegralInRange<std::uint32_t>(0, n - 1) : 0; }

 private:
  FuzzedDataProvider& in_;
};

// The scan over a machine the input describes, raw sectors included: it never writes, closes every
// handle, keeps a value per row in each store, and its rows are those the table sectors hold.
void scan(FuzzedDataProvider& in) {
  SimulatedMachine m;
  FuzzChooser chooser(in);
  oracle::buildRandomMachine(chooser, m);
  for (unsigned extra = in.ConsumeIntegralInRange(0, 6); extra > 0 && m.disks.count(extra % 3); --extra) {
    m.disks[extra % 3].put(in.ConsumeIntegralInRange<std::uint64_t>(0, (1 << 30) / 512 - 1) * 512, in.ConsumeBytesAsString(512));
  }
  const auto before = m.contents();
  Platform platform = m.platform();
  PartitionList list;
  TempLetterList letters;
  scanWithTemporaryLetters(platform, TypeCatalogue(), list, letters);
  CHECK(m.contents() == before && m.logged("write ").empty() && m.openHandles == 0, "the scan wrote or left a handle open");
  for (std::size_t n : {list.TableSectorOffset.size(), list.BootSectorOffsetText.size(), list.ScannedTypeId.size(), list.ScannedLabel.size()}) {
    CHECK(n == list.size(), "a store beside the list without a value per row");
  }
  std::vector<unsigned> unreadable;
  const std::vector<oracle::Part> parts = oracle::partsOf(m, unreadable);
  CHECK(!list.GptList.empty() || parts.size() == list.size(), "other rows than the table sectors hold");
  for (std::size_t r = 0; list.GptList.empty() && r < parts.size(); ++r) {
    CHECK(list.rows[r][kDiskColumn] == std::to_string(parts[r].disk + 1) && list.rows[r][kPartitionColumn] == parts[r].number &&
              list.TableSectorOffset[r] + list.TypeByteOffset[r] == parts[r].typeAt && parseOffsetText(list.BootSectorOffsetText[r]) == parts[r].start,
          "a row unlike the entry it comes from");
  }
  removeTemporaryLetters(platform, letters);
  CHECK(m.defined.empty(), "a temporary letter outlives the run");
}

// A command line: from the oracle's words on a machine the input describes, checked against the
// oracle; or any bytes at all on the standard machine, where it must end 0 to 3, change nothing
// unless it commits, and never write without a full read first.
void command(FuzzedDataProvider& in) {
  if (in.ConsumeBool()) {
    SimulatedMachine m;
    FuzzChooser chooser(in);
    oracle::buildRandomMachine(chooser, m);
    Platform platform = m.platform();
    PartitionList list;
    TempLetterList letters;
    scanWithTemporaryLetters(platform, TypeCatalogue(), list, letters);
    const std::vector<std::string> args = oracle::randomCommand(chooser, m);
    oracle::plantFaults(chooser, m);
    m.log.clear();
    const SimulatedMachine before = m;
    std::vector<std::string> all{"q"};
    all.insert(all.end(), args.begin(), args.end());
    const int status = runCommandStep(platform, list, all).exitStatus;
    const std::vector<std::string> problems = oracle::checkBatchRun(before, m, args, status, true);
    CHECK(problems.empty(), problems.empty() ? "" : problems[0].c_str());
    return;
  }
  standard::Bench b;
  const CommandResult r = runCommandStep(b.platform, b.list, splitCommandLine("q " + in.ConsumeRemainingBytesAsString()));
  CHECK(r.exitStatus >= 0 && r.exitStatus <= 3 && b.machine.openHandles == 0, "a status outside 0 to 3, or a handle open");
  CHECK(oracle::writesWithoutFullRead(b.machine.log).empty(), "a write without a full read just before");
  CHECK(r.ranApplyChanges || (b.machine.contents() == b.before && b.machine.logged("label ").empty()), "changed without a commit");
  CHECK(!r.ranApplyChanges || r.exitStatus == (r.report.succeeded() ? 0 : 1), "the status hides a failed write");
}

// A row whose disk, offset text, sector, label and faults come from the input: the reader gives a
// trimmed field; the writer changes only the label field of FAT32 sectors of 512-byte sectors and,
// reporting no failure, stores there the label as the field holds it.
void boot_label(FuzzedDataProvider& in) {
  SimulatedMachine m;
  SimulatedDisk& d = m.addDisk(0, 1ull << 42);
  const std::uint64_t at = std::vector<std::uint64_t>{63 * 512, 1ull << 32, 0x1FFFFFF8000, d.size - 512, d.size}[in.ConsumeIntegralInRange(0, 4)];
  Sector s = fat32Boot(in.ConsumeRandomLengthString(16), in.ConsumeIntegralInRange(0, 40));
  if (in.ConsumeBool()) place(s, 0, in.ConsumeBytesAsString(512));
  for (std::uint64_t copy : {at, at + 6 * 512 * in.ConsumeBool()}) {
    if (copy < d.size) d.put(copy, s);
  }
  PartitionList list;
  list.rows.emplace_back();
  list.rows[0][kDiskColumn] = in.ConsumeBool() ? "1" : in.ConsumeRandomLengthString(3);
  list.BootSectorOffsetText.push_back(in.ConsumeBool() ? offsetText(at) : in.ConsumeRandomLengthString(18));
  const bool named = list.rows[0][kDiskColumn] == "1" && list.BootSectorOffsetText[0] == offsetText(at) && at < d.size;
  const std::string label = in.ConsumeRandomLengthString(24);
  d.faults.push_back({std::vector<FaultOn>{FaultOn::Open, FaultOn::Read, FaultOn::Write}[in.ConsumeIntegralInRange(0, 2)], kAnyOffset,
                      in.ConsumeIntegralInRange(-1, 511), in.ConsumeIntegralInRange(0u, 3u)});
  Platform platform = m.platform();
  const std::string read = readBootSectorLabel(platform, list, 0);
  CHECK(read == std::string(11, ' ') || (read.size() <= 11 && (read.empty() || (read[0] & 0xFF) > 0x20)), "a label untrimmed");
  const auto before = m.contents();
  m.log.clear();
  ChangeReport report;
  writeBootSectorLabel(platform, list, 0, label, report);
  CHECK(m.openHandles == 0 && oracle::writesWithoutFullRead(m.log).empty(), "a handle open, or a write without a full read");
  const auto after = m.contents();
  for (const auto& [index, sector] : after.at(0)) {
    const Sector old = before.at(0).count(index) ? before.at(0).at(index) : Sector{};
    const bool fat32 = upperCased(std::string(old.begin() + 0x52, old.begin() + 0x57)) == "FAT32" && old[0x0B] == 0 && old[0x0C] == 2;
    for (std::size_t i = 0; i < 512; ++i) CHECK(old[i] == sector[i] || (fat32 && i >= 0x47 && i < 0x52), "a byte outside a FAT32 label field changed");
  }
  const bool fat32 = upperCased(std::string(s.begin() + 0x52, s.begin() + 0x57)) == "FAT32" && s[0x0B] == 0 && s[0x0C] == 2;
  CHECK(!named || !fat32 || !report.succeeded() || d.bytes(at + 0x47, 11) == oracle::labelField(label), "a label stored unlike the label");
}

// NameOf against a plain search: every catalogue ID compared in turn, a to z equal to A to Z.
void name_of(FuzzedDataProvider& in) {
  static const TypeCatalogue catalogue;
  const std::string id = in.ConsumeRemainingBytesAsString(), choice = typeChoiceId(id);
  std::string key = id, expected;
  for (char& c : key) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
  for (std::size_t i = 0; i < catalogue.ids().size(); ++i) expected = key == catalogue.ids()[i] ? catalogue.names()[i] : expected;
  CHECK(catalogue.NameOf(id) == expected, "NameOf differs from a plain search");
  CHECK(choice.find('|') == std::string::npos && id.compare(0, choice.size(), choice) == 0, "a drop-down ID that is no prefix");
}

// The GPT reader and the scan on a table whose header fields are each what a tool writes, a little
// off, or anything, its CRCs right unless the input spoils them: the reader stays within two copies
// of 1 MiB and the disk, numbers its partitions 1, 2, ... inside the disk, and the scan makes one row
// for each, out of the writers' reach.
void gpt(FuzzedDataProvider& in) {
  SimulatedMachine m;
  const std::uint64_t sectors = 1ull << in.ConsumeIntegralInRange(14, 40);
  SimulatedDisk& d = m.addDisk(0, sectors * 512);
  d.lengthKnown = in.ConsumeIntegralInRange(0, 3) != 3;
  auto pick = [&](std::uint64_t sane) {
    const int how = in.ConsumeIntegralInRange(0, 3);
    return how < 2 ? sane + (how ? in.ConsumeIntegralInRange(-2, 2) : 0) : in.ConsumeIntegral<std::uint64_t>() >> (how == 2 ? 32 : 0);
  };
  d.put(0, table({{in.ConsumeIntegralInRange(0u, 3u), 0, 0xEE, static_cast<std::uint32_t>(pick(1)), static_cast<std::uint32_t>(pick(sectors - 1)) | 1}}));
  std::string entries(128 * 128, '\0');
  for (unsigned i = 0, used = in.ConsumeIntegralInRange(0, 16); i < used; ++i) {
    const std::size_t slot = pick(i) % 1024;
    const std::uint64_t first = pick(34 + 2048 * i), last = pick(first + 2047);
    entries.resize(std::max(entries.size(), (slot + 1) * 128));
    entries.replace(slot * 128, 56, (in.ConsumeBytesAsString(16) + std::string(16, '\1')).substr(0, 16) + std::string(16, '\7') + le(first, 8) +
                                        le(last, 8) + le(in.ConsumeBool() ? 1ull << 62 : pick(0), 8));
  }
  const std::tuple<std::uint64_t, std::uint64_t, std::uint64_t> copies[] = {{1, sectors - 1, 2}, {sectors - 1, 1, sectors - 33}};
  for (const auto& [lba, alternate, arrayLba] : copies) {
    const std::uint64_t count = pick(128), size = pick(128), headerSize = pick(92);
    std::string array = entries;
    array.resize(std::min<std::uint64_t>((count & 0xFFFFFFFF) * (size & 0xFFFFFFFF), 1 << 20));
    auto crc = [&](const std::string& b) { return crc32(reinterpret_cast<const std::uint8_t*>(b.data()), b.size()) ^ (in.ConsumeIntegralInRange(0, 15) == 15); };
    std::string header = "EFI PART" + le(0x10000, 4) + le(headerSize, 4) + le(0, 8) + le(pick(lba), 8) + le(pick(alternate), 8) + le(pick(34), 8) +
                         le(pick(sectors - 34), 8) + std::string(16, '\5') + le(pick(arrayLba), 8) + le(count, 4) + le(size, 4) + le(crc(array), 4);
    header.resize(512, '\0');
    header.replace(16, 4, le(crc(header.substr(0, std::min<std::uint64_t>(headerSize & 0xFFFFFFFF, 512))), 4));
    d.put(lba * 512, header);
    if (arrayLba < sectors) d.put(arrayLba * 512, array.substr(0, std::min<std::uint64_t>(array.size(), (sectors - arrayLba) * 512)));
  }
  Platform platform = m.platform();
  std::size_t reads = 0;
  const std::optional<std::uint64_t> length = d.lengthKnown ? std::optional<std::uint64_t>(sectors) : std::nullopt;
  const std::unique_ptr<DiskHandle> handle = platform.disks.openDisk(0, DiskAccess::Read);
  const std::optional<GptTable> table = readGpt(d.sector(0), [&](std::uint64_t offset, Sector& sector) {
    CHECK(++reads <= 2 * (1 + 2048) && (!length || offset < *length * 512), "more reads than two copies, or past the disk");
    return handle->readSector(offset, sector);
  }, length);
  for (std::size_t i = 0; table && i < table->partitions.size(); ++i) {
    const GptPartition& p = table->partitions[i];
    CHECK(p.number == i + 1 && p.firstLba >= 2 && p.firstLba <= p.lastLba && (!length || p.lastLba < sectors), "a partition misnumbered or misplaced");
  }
  PartitionList list;
  scanDisks(platform, TypeCatalogue(), list);
  CHECK(m.logged("write ").empty() && list.GptList.size() == (table ? table->partitions.size() : 0), "the scan wrote, or disagrees with the reader");
  for (const GptRecord& record : list.GptList) CHECK(list.TypeByteOffset.at(record.row) == 0 && !list.primaryRecordOf(record.row), "a GPT row in the writers' reach");
}

}  // namespace fuzz
}  // namespace quenbolt

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  quenbolt::fuzz::QUENBOLT_FUZZ(in);
  return 0;
}

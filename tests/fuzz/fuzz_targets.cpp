// The fuzz targets, one executable each: QUENBOLT_FUZZ names the function that takes the
// input. Whatever the input, an invariant that breaks stops the run with a message.

#include <fuzzer/FuzzedDataProvider.h>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <tuple>
#include "discovery/boot_sector_label_reader.h"
#include "discovery/scan_disks.h"
#include "discovery/startup_scan.h"
#include "editing/apply_changes.h"
#include "editing/boot_sector_label_writer.h"
#include "editing/unmounted_fat32_label_writer.h"
#include "model/crc32.h"
#include "model/gpt_table.h"
#include "support/gpt_disk.h"
#include "support/oracle.h"

namespace quenbolt {
namespace fuzz {
void check(bool holds, const char* invariant) {
  if (holds) return;
  std::fprintf(stderr, "invariant broken: %s\n", invariant);
  std::abort();
}

// Every handle closed, and no write without a full read of its sector just before.
void checkAccesses(const SimulatedMachine& m) {
  check(m.openHandles == 0 && oracle::writesWithoutFullRead(m.log).empty(),
        "a handle open, or a write without a full read just before");
}

// A row whose disk, offset text, sector, label and faults come from the input: the reader gives a
// trimmed field; the writer changes only the label field of FAT32 sectors of 512-byte sectors and,
// reporting no failure, stores there the field it was given, none when it was given a refusal. The
// writer of volumes no driver mounted, over a root directory and FAT the input also fills, changes
// at most the two boot sectors and one directory entry, and never writes without a full read.
void boot_label(FuzzedDataProvider& in) {
  SimulatedMachine m;
  SimulatedDisk& d = m.addDisk(0, 1ull << 42);
  const std::uint64_t at = in.PickValueInArray<std::uint64_t>(
      {63 * 512, 1ull << 32, 0x1FFFFFF8000, d.size - 512, d.size});
  Sector s = fat32Boot(in.ConsumeRandomLengthString(16), in.ConsumeIntegralInRange(0, 40));
  if (in.ConsumeBool()) place(s, 0, in.ConsumeBytesAsString(512));
  for (std::uint64_t copy : {at, at + 6 * 512 * in.ConsumeBool()})
    if (copy < d.size) d.put(copy, s);
  // Sectors of the FAT and the root directory's first clusters.
  for (unsigned extra = in.ConsumeIntegralInRange(0, 4); extra > 0; --extra) {
    const std::uint64_t sector =
        at + 512 * in.ConsumeIntegralInRange<std::uint64_t>(32, kFat32RootSector + 40);
    if (sector < d.size) d.put(sector, in.ConsumeBytesAsString(512));
  }
  PartitionList list;
  const std::string text = hexText(0x1000000000000 | at).substr(3);
  const std::string label = in.ConsumeRandomLengthString(24);
  list.rows.emplace_back()[kDiskColumn] = in.ConsumeBool() ? "1" : in.ConsumeRandomLengthString(3);
  list.BootSectorOffsetText.push_back(in.ConsumeBool() ? text : in.ConsumeRandomLengthString(18));
  const bool named =
      list.rows[0][kDiskColumn] == "1" && list.BootSectorOffsetText[0] == text && at < d.size;
  d.faults.push_back({in.PickValueInArray({FaultOn::Open, FaultOn::Read, FaultOn::Write}),
                      kAnyOffset, in.ConsumeIntegralInRange(-1, 511),
                      in.ConsumeIntegralInRange(0u, 3u)});
  Platform platform = m.platform();
  const std::string read = readBootSectorLabel(platform, list, 0);
  check(read == std::string(11, ' ') ||
            (read.size() <= 11 && (read.empty() || (read[0] & 0xFF) > 0x20)),
        "a label untrimmed");
  m.log.clear();
  const SimulatedMachine old = m;
  ChangeReport report;
  if (in.ConsumeBool()) {
    writeUnmountedFat32Label(platform, list, 0, label, report);
    checkAccesses(m);
    std::set<std::uint64_t> sectors;
    for (const auto& [disk, offset] : differingBytes(old.contents(), m.contents()))
      sectors.insert(offset / 512);
    check(sectors.size() <= 3, "more than the boot sectors and one directory sector changed");
    return;
  }
  std::string field = label.substr(0, 11);
  field.resize(11, ' ');
  const BootLabelField given{
      field,
      in.ConsumeBool() ? std::nullopt : std::optional<FailureReason>(FailureReason::LabelTooLong)};
  writeBootSectorLabel(platform, list, 0, given, report);
  checkAccesses(m);
  auto fat32 = [](const Sector& x) {
    return upperAscii(std::string(x.begin() + 0x52, x.begin() + 0x57)) == "FAT32" && x[0x0B] == 0 &&
           x[0x0C] == 2;
  };
  for (const auto& [disk, offset] : differingBytes(old.contents(), m.contents())) {
    check(!given.refusal && fat32(old.disks.at(disk).sector(offset / 512 * 512)) &&
              offset % 512 >= 0x47 && offset % 512 < 0x52,
          "a byte outside a FAT32 label field changed, or any despite a refusal");
  }
  check(!named || !fat32(s) || !report.succeeded() || d.bytes(at + 0x47, 11) == field,
        "a label stored unlike the field");
}

// The GPT reader and the scan on a table whose header fields are each what a tool writes, a little
// off, or anything, its CRCs right unless the input spoils them: the reader stays within three
// copies of 1 MiB and the disk, numbers its partitions 1, 2, ... inside the disk, and the scan
// makes one row for each, out of the MBR writers' reach.
void gpt(FuzzedDataProvider& in) {
  SimulatedMachine m;
  const std::uint64_t sectors = 1ull << in.ConsumeIntegralInRange(14, 40);
  SimulatedDisk& d = m.addDisk(0, sectors * 512);
  d.lengthKnown = in.ConsumeIntegralInRange(0, 3) != 3;
  auto pick = [&](std::uint64_t sane) {
    const int how = in.ConsumeIntegralInRange(0, 3);
    return how < 2 ? sane + (how ? in.ConsumeIntegralInRange(-2, 2) : 0)
                   : in.ConsumeIntegral<std::uint64_t>() >> (how == 2 ? 32 : 0);
  };
  d.put(0, table({{in.ConsumeIntegralInRange(0u, 3u), 0, 0xEE, static_cast<std::uint32_t>(pick(1)),
                   static_cast<std::uint32_t>(pick(sectors - 1)) | 1}}));
  std::string entries(128 * 128, '\0');
  for (unsigned i = 0, used = in.ConsumeIntegralInRange(0, 16); i < used; ++i) {
    const std::size_t slot = pick(i) % 1024;
    const std::uint64_t first = pick(34 + 2048 * i);
    const std::uint64_t last = pick(first + 2047);
    entries.resize(std::max(entries.size(), (slot + 1) * 128));
    entries.replace(slot * 128, 56,
                    (in.ConsumeBytesAsString(16) + std::string(16, '\1')).substr(0, 16) +
                        std::string(16, '\7') + le(first, 8) + le(last, 8) +
                        le(in.ConsumeBool() ? 1ull << 62 : pick(0), 8));
  }
  const std::tuple<std::uint64_t, std::uint64_t, std::uint64_t> copies[] = {
      {1, sectors - 1, 2}, {sectors - 1, 1, sectors - 33}};
  for (const auto& [lba, alternate, arrayLba] : copies) {
    const std::uint64_t count = pick(128);
    const std::uint64_t size = pick(128);
    const std::uint64_t headerSize = pick(92);
    // An array of more than 1 MiB is refused before it is read: there is no need to lay it out.
    const std::uint64_t bytes = (count & 0xFFFFFFFF) * (size & 0xFFFFFFFF);
    std::string array = entries;
    array.resize(bytes <= (1 << 20) ? bytes : 0);
    auto crc = [&](const std::string& b) {
      return crc32(reinterpret_cast<const std::uint8_t*>(b.data()), b.size()) ^
             (in.ConsumeIntegralInRange(0, 15) == 15);
    };
    std::string header = "EFI PART" + le(0x10000, 4) + le(headerSize, 4) + le(0, 8) +
                         le(pick(lba), 8) + le(pick(alternate), 8) + le(pick(34), 8) +
                         le(pick(sectors - 34), 8) + std::string(16, '\5') + le(pick(arrayLba), 8) +
                         le(count, 4) + le(size, 4) + le(crc(array), 4);
    header.resize(512, '\0');
    header.replace(
        16, 4, le(crc(header.substr(0, std::min<std::uint64_t>(headerSize & 0xFFFFFFFF, 512))), 4));
    d.put(lba * 512, header);
    if (arrayLba < sectors)
      d.put(arrayLba * 512,
            array.substr(0, std::min<std::uint64_t>(array.size(), (sectors - arrayLba) * 512)));
  }
  Platform platform = m.platform();
  std::size_t reads = 0;
  const std::optional<std::uint64_t> length =
      d.lengthKnown ? std::optional<std::uint64_t>(sectors) : std::nullopt;
  const std::unique_ptr<DiskHandle> handle = platform.disks.openDisk(0, DiskAccess::Read);
  const std::optional<GptTable> table = readGpt(
      d.sector(0),
      [&](std::uint64_t offset, Sector& sector) {
        check(++reads <= 3 * (1 + 2048) && (!length || offset < *length * 512),
              "more reads than the primary and two places of the backup take, or past the disk");
        return handle->readSector(offset, sector);
      },
      length);
  for (std::size_t i = 0; table && i < table->partitions.size(); ++i) {
    const GptPartition& p = table->partitions[i];
    check(p.number == i + 1 && p.firstLba >= 2 && p.firstLba <= p.lastLba &&
              (!length || p.lastLba < sectors),
          "a partition misnumbered or misplaced");
  }
  PartitionList list;
  scanDisks(platform, TypeCatalogue(), list);
  check(m.logged("write ").empty() && list.GptList.size() == (table ? table->partitions.size() : 0),
        "the scan wrote, or disagrees with the reader");
  for (const GptRecord& record : list.GptList)
    check(list.TypeByteOffset.at(record.row) == 0 && !list.primaryRecordOf(record.row),
          "a GPT row in the MBR writers' reach");
}
// A table laid out as tools lay it out, then spoiled by the input (bytes of its headers and arrays
// changed, a copy resealed so that only the agreement of the copies can tell), faults planted on
// its sectors, and a type or attributes staged on one of its rows. The writer never writes the MBR
// or anything but the staged entry's type and attributes and the CRC fields of the two copies, and
// never without a full read just before. Without faults, it writes both copies whole (each sound,
// the two one table, the entry as staged) or nothing at all, and says which; when a read or write
// fails, one copy is still sound; when a write is lost, the run says so unless both copies came
// out whole anyway.
void gpt_write(FuzzedDataProvider& in) {
  SimulatedMachine m;
  const unsigned count = in.ConsumeBool() ? 128 : in.ConsumeIntegralInRange(1u, 32u);
  constexpr std::uint64_t sectors = 8192;
  SimulatedDisk& d = m.addDisk(0, sectors * 512);
  d.lengthKnown = in.ConsumeBool();
  static const char* const types[] = {kBasicData, kLinuxData, kRecovery};
  std::vector<GptEntryLayout> entries;
  for (unsigned i = 0, n = in.ConsumeIntegralInRange(1, 4); i < n; ++i) {
    const std::uint64_t first = 100 + 1000 * i;
    entries.push_back({in.ConsumeIntegralInRange(0u, count - 1), in.PickValueInArray(types), first,
                       first + 999, in.ConsumeBool() ? in.ConsumeIntegral<std::uint64_t>() : 0});
  }
  putGpt(d, entries, count);
  const GptPlaces at = gptPlaces(sectors, count);
  const std::uint64_t places[] = {1, at.primaryArray, at.backupArray, at.backupHeader};
  for (unsigned k = in.ConsumeIntegralInRange(0, 3); k > 0; --k) {
    const int which = in.ConsumeIntegralInRange(0, 3);  // a header, or a sector of an array
    const std::uint64_t lba =
        places[which] + (which == 1 || which == 2
                             ? in.ConsumeIntegralInRange<std::uint64_t>(0, at.arraySectors - 1)
                             : 0);
    d.put(lba * 512 + in.ConsumeIntegralInRange(0, 504),
          in.ConsumeBytesAsString(in.ConsumeIntegralInRange(1, 8)));
    if (in.ConsumeBool()) resealGptCopy(d, in.ConsumeBool() ? 1 : at.backupHeader);
  }
  bool lostWrites = false;
  for (unsigned k = in.ConsumeIntegralInRange(0, 2); k > 0; --k) {
    const FaultOn on = in.PickValueInArray({FaultOn::Read, FaultOn::Write, FaultOn::LostWrite});
    lostWrites |= on == FaultOn::LostWrite;
    const std::uint64_t lba = in.PickValueInArray(places);
    d.faults.push_back({on, (lba + in.ConsumeIntegralInRange<std::uint64_t>(0, 1)) * 512,
                        in.ConsumeBool() ? -1 : long(in.ConsumeIntegralInRange(0, 511)),
                        in.ConsumeIntegralInRange(0u, 3u)});
  }
  Platform platform = m.platform();
  PartitionList list;
  TempLetterList letters;
  scanWithTemporaryLetters(platform, TypeCatalogue(), list, letters);
  if (list.GptList.empty()) return;
  GptRecord& record =
      list.GptList[in.ConsumeIntegralInRange<std::size_t>(0, list.GptList.size() - 1)];
  Guid type = record.type;
  if (in.ConsumeBool()) {
    const std::string bytes =
        in.ConsumeBool() ? guidBytes(in.PickValueInArray(types))
                         : (in.ConsumeBytesAsString(16) + std::string(16, '\1')).substr(0, 16);
    std::copy(bytes.begin(), bytes.end(), type.begin());
  }
  list.stageGptType(record, type);
  list.stageGptAttributes(
      record, in.ConsumeBool() ? in.ConsumeIntegral<std::uint64_t>() : record.attributes);
  const DiskBytes before = d.sectors;
  // Where the copies' arrays are now: the places the writer may touch besides the headers.
  const std::uint64_t arrays[] = {le64At(d.bytes(512, 80), 72),
                                  le64At(d.bytes(at.backupHeader * 512, 80), 72)};
  m.log.clear();
  const ChangeReport report = applyChanges(platform, list);
  checkAccesses(m);
  for (const auto& [disk, offset] : differingBytes({{0, before}}, {{0, d.sectors}})) {
    const std::uint64_t lba = offset / 512;
    const std::uint64_t within = offset % 512;
    bool allowed = (lba == 1 || lba == at.backupHeader) &&
                   ((within >= 16 && within < 20) || (within >= 88 && within < 92));
    for (std::uint64_t array : arrays) {
      const std::uint64_t entry = offset - array * 512 - std::uint64_t{record.entry} * 128;
      allowed |= offset >= array * 512 && (entry < 16 || (entry >= 48 && entry < 56));
    }
    check(allowed, "a byte changed outside the staged entry and the CRC fields");
  }
  const GptCopyOnDisk primary = gptCopyAt(d, 1);
  const GptCopyOnDisk backup = gptCopyAt(d, at.backupHeader);
  const bool whole =
      primary.problem.empty() && backup.problem.empty() && primary.array == backup.array &&
      primary.headerFields == backup.headerFields &&
      entryType(primary.array, record.entry) == std::string(type.begin(), type.end()) &&
      entryAttributes(primary.array, record.entry) == record.stagedAttributes;
  if (lostWrites) {
    check(whole || !report.succeeded() || !record.staged(), "a lost write unreported");
  } else if (!d.faults.empty()) {
    // A read or write that fails between two writes ends the pass with one copy written.
    check(primary.problem.empty() || backup.problem.empty() || d.sectors == before,
          "both copies broken by a failed access");
    check(!report.succeeded() || whole || !record.staged(), "a failed access unreported");
  } else {
    check(report.succeeded() ? whole || !record.staged() : d.sectors == before,
          "a change neither made whole nor left undone");
  }
}
}  // namespace fuzz
}  // namespace quenbolt

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  quenbolt::fuzz::QUENBOLT_FUZZ(in);
  return 0;
}

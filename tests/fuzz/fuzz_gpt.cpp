// The GPT reader, and the scan of a disk it reads, on tables the input describes field by field:
// each header field what a tool writes, a little off, or anything at all; entries of known and
// unknown types at any slot, near the usable range or anywhere; CRCs right unless the input
// spoils them; a disk length the system may or may not tell; read faults. Whatever a header
// claims, the reader stays within its read budget and the disk, and every partition it gives is
// numbered 1, 2, ..., used, and inside the disk; the scan makes one row per partition, of the
// GPT kind and out of the writers' reach, and writes nothing.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "discovery/scan_disks.h"
#include "fuzz/fuzz_support.h"
#include "model/crc32.h"
#include "model/gbk_text.h"
#include "model/gpt_table.h"
#include "model/type_catalogue.h"
#include "support/table_sector_builder.h"

namespace {

using namespace quenbolt;

// Two headers and two arrays of at most 2048 sectors each.
constexpr std::size_t kReadBudget = 2 * (1 + 2048);
// Entries written past this slot add nothing but time.
constexpr std::uint64_t kMaxSlot = 1024;

void put(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value, int width) {
  for (int i = 0; i < width; ++i) {
    bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

// One time in sixteen the input spoils a signature or CRC.
bool spoilt(FuzzedDataProvider& in) { return in.ConsumeIntegralInRange<int>(0, 15) == 15; }

// What a tool would write, a little off, or anything; an exhausted input gives the first.
std::uint64_t pick(FuzzedDataProvider& in, std::uint64_t sane) {
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return sane;
    case 1: return sane + static_cast<std::uint64_t>(in.ConsumeIntegralInRange<std::int64_t>(-2, 2));
    case 2: return in.ConsumeIntegral<std::uint32_t>();
    default: return in.ConsumeIntegral<std::uint64_t>();
  }
}

Guid chooseType(FuzzedDataProvider& in) {
  static const Guid kKnown[] = {
      {0x28, 0x73, 0x2A, 0xC1, 0x1F, 0xF8, 0xD2, 0x11, 0xBA, 0x4B, 0x00, 0xA0, 0xC9, 0x3E, 0xC9, 0x3B},
      {0xA2, 0xA0, 0xD0, 0xEB, 0xE5, 0xB9, 0x33, 0x44, 0x87, 0xC0, 0x68, 0xB6, 0xB7, 0x26, 0x99, 0xC7},
  };
  Guid type{};
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return kKnown[0];
    case 1: return kKnown[1];
    case 2: return type;  // unused
    default:
      for (std::uint8_t& byte : type) byte = in.ConsumeIntegral<std::uint8_t>();
      return type;
  }
}

struct Copy {
  std::uint64_t headerLba, alternateLba, arrayLba;
};

// Writes one header and its array, as the input says.
void writeCopy(FuzzedDataProvider& in, SimulatedDisk& disk, std::uint64_t sectors, const Copy& copy,
               const std::vector<std::uint8_t>& saneArray) {
  std::vector<std::uint8_t> header(512, 0);
  std::copy_n("EFI PART", 8, header.begin());
  if (spoilt(in)) header[in.ConsumeIntegralInRange<std::size_t>(0, 7)] ^= 1;
  put(header, 8, 0x00010000, 4);
  const std::uint64_t headerSize = pick(in, 92);
  put(header, kGptHeaderSizeField, headerSize, 4);
  put(header, kGptMyLbaField, pick(in, copy.headerLba), 8);
  put(header, kGptAlternateLbaField, pick(in, copy.alternateLba), 8);
  put(header, kGptFirstUsableLbaField, pick(in, 34), 8);
  put(header, kGptLastUsableLbaField, pick(in, sectors - 34), 8);
  put(header, kGptEntryArrayLbaField, pick(in, copy.arrayLba), 8);
  const std::uint64_t count = pick(in, 128), size = pick(in, 128);
  put(header, kGptEntryCountField, count, 4);
  put(header, kGptEntrySizeField, size, 4);

  // The array as written: the entries laid out for 128-byte slots, cut or padded to what the
  // header declares (within 1 MiB), and never past the disk.
  std::vector<std::uint8_t> array = saneArray;
  const std::uint64_t declared = (count & 0xFFFFFFFF) * (size & 0xFFFFFFFF);
  array.resize(static_cast<std::size_t>(std::min<std::uint64_t>(declared, kGptMaxEntryArrayBytes)), 0);
  const std::uint32_t arrayCrc = crc32(array.data(), array.size());
  put(header, kGptEntryArrayCrcField, spoilt(in) ? arrayCrc ^ 1 : arrayCrc, 4);
  const std::uint64_t crcBytes = std::min<std::uint64_t>(headerSize & 0xFFFFFFFF, 512);
  const std::uint32_t headerCrc = crc32(header.data(), static_cast<std::size_t>(crcBytes));
  put(header, kGptHeaderCrcField, spoilt(in) ? headerCrc ^ 1 : headerCrc, 4);

  if (copy.headerLba < sectors) disk.setBytes(copy.headerLba * 512, header);
  if (copy.arrayLba < sectors) {
    const std::uint64_t room = (sectors - copy.arrayLba) * 512;
    array.resize(static_cast<std::size_t>(std::min<std::uint64_t>(array.size(), room)));
    disk.setBytes(copy.arrayLba * 512, array);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const TypeCatalogue catalogue;
  FuzzedDataProvider in(data, size);
  SimulatedMachine machine;
  Platform platform = machine.platform();
  machine.setDiskCount(1);
  const std::uint64_t sectors = std::uint64_t{1} << in.ConsumeIntegralInRange<unsigned>(14, 40);
  SimulatedDisk& disk = machine.addDisk(0, sectors * 512);
  disk.setLengthKnown(in.ConsumeIntegralInRange<int>(0, 3) != 3);
  const std::uint32_t protectiveCount =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(pick(in, sectors - 1), 0xFFFFFFFFu));
  disk.setSector(0, TableSector()
                        .entry(in.ConsumeIntegralInRange<unsigned>(0, 3), 0, 0xEE,
                               static_cast<std::uint32_t>(pick(in, 1)), protectiveCount | 1)
                        .signature());

  // Used entries at slots the input picks, sized as 128-byte slots.
  std::vector<std::uint8_t> entries(128 * 128, 0);
  const unsigned used = in.ConsumeIntegralInRange<unsigned>(0, 16);
  std::uint64_t next = 34;
  for (unsigned i = 0; i < used; ++i) {
    const std::uint64_t slot = std::min<std::uint64_t>(pick(in, i), kMaxSlot - 1);
    entries.resize(std::max<std::size_t>(entries.size(), static_cast<std::size_t>((slot + 1) * 128)));
    const std::size_t at = static_cast<std::size_t>(slot * 128);
    const Guid type = chooseType(in);
    std::copy(type.begin(), type.end(), entries.begin() + static_cast<std::ptrdiff_t>(at));
    const std::uint64_t first = pick(in, next);
    const std::uint64_t last = pick(in, first + 2047);
    next = last + 1;
    put(entries, at + kGptFirstLbaField, first, 8);
    put(entries, at + kGptLastLbaField, last, 8);
    const std::uint64_t attributes =
        in.ConsumeBool() ? std::uint64_t{1} << 62 : in.ConsumeIntegral<std::uint64_t>();
    put(entries, at + kGptAttributesField, attributes, 8);
  }
  writeCopy(in, disk, sectors, {1, sectors - 1, 2}, entries);
  writeCopy(in, disk, sectors, {sectors - 1, 1, sectors - 33}, entries);
  const bool fault = in.ConsumeBool();
  if (fault) disk.failRead(kAnyOffset, in.ConsumeIntegralInRange<unsigned>(1, 40));
  const DiskSnapshot before = disk.snapshot();

  std::size_t reads = 0;
  std::optional<GptTable> table;
  {
    std::unique_ptr<DiskHandle> handle = platform.disks.openDisk(0, DiskAccess::Read);
    const std::optional<std::uint64_t> length = handle->lengthBytes();
    table = readGpt(disk.sector(0), [&](std::uint64_t offset, Sector& sector) {
      ++reads;
      FUZZ_CHECK(offset % 512 == 0 && offset / 512 < (std::uint64_t{1} << 55),
                 "a read outside any disk");
      FUZZ_CHECK(!length || offset < *length, "a read past the disk's known end");
      return handle->readSector(offset, sector);
    }, length ? std::optional<std::uint64_t>(*length / 512) : std::nullopt);
  }
  FUZZ_CHECK(reads <= kReadBudget, "more reads than two copies of 1 MiB");
  if (table) {
    FUZZ_CHECK(table->partitions.size() <= kGptMaxEntryArrayBytes / kGptMinEntrySize,
               "more entries than 1 MiB holds");
    for (std::size_t i = 0; i < table->partitions.size(); ++i) {
      const GptPartition& p = table->partitions[i];
      FUZZ_CHECK(p.number == i + 1, "partitions not numbered 1, 2, ...");
      FUZZ_CHECK(p.type != Guid{}, "an unused entry listed");
      FUZZ_CHECK(p.firstLba >= 2 && p.firstLba <= p.lastLba,
                 "a partition over LBA 0 or 1, or backwards");
      FUZZ_CHECK(!disk.lengthKnown() || p.lastLba < sectors, "a partition past the disk's end");
    }
  }

  // The scan of the same disk: one row per partition, or the MBR's rows; nothing written.
  machine.clearLogs();
  disk.clearFaults();
  PartitionList list;
  scanDisks(platform, catalogue, list);
  FUZZ_CHECK(machine.diskLog(DiskOp::Write).empty() && disk.snapshot() == before, "the scan wrote");
  FUZZ_CHECK(machine.openHandles() == 0, "a disk handle left open");
  FUZZ_CHECK(list.GptList.size() == (list.PrimaryList.empty() ? list.size() : 0),
             "GPT and MBR rows on one disk");
  FUZZ_CHECK(fault || list.GptList.size() == (table ? table->partitions.size() : 0),
             "the scan and the reader disagree");
  for (const GptRecord& record : list.GptList) {
    const PartitionRow& row = list.rows.at(record.row);
    FUZZ_CHECK(row[kKindColumn] == (record.hidden ? "GPT，隐藏" : "GPT"),
               "a GPT row of the wrong kind");
    FUZZ_CHECK(row[kPartitionColumn] == decimalText(record.number),
               "a GPT row numbered unlike its record");
    FUZZ_CHECK(list.TypeByteOffset.at(record.row) == 0, "a GPT row with a table location");
    const std::optional<std::uint64_t> start =
        parseOffsetText(list.BootSectorOffsetText.at(record.row));
    FUZZ_CHECK(start && *start % 512 == 0 && *start / 512 >= 2, "a GPT row's start does not read back");
    FUZZ_CHECK(row[kTypeIdColumn].size() == 4 || row[kTypeIdColumn].size() == 36,
               "a type that is no code and no GUID");
  }
  return 0;
}

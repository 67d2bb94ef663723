// The whole scan over a machine the input describes: several disks whose tables, links, loops,
// offsets near 2^32 sectors, boot sectors, volumes, raw sectors and read faults all come from
// the fuzzer. The scan may find anything or nothing, but it never writes, never reads a table
// sector twice, stays within the read budget, closes every handle, and every row it makes
// agrees with the sector it came from.
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

#include "discovery/boot_sector_label_reader.h"
#include "discovery/scan_disks.h"
#include "discovery/temporary_letters.h"
#include "fuzz/fuzz_support.h"
#include "model/disk_layout.h"
#include "model/gbk_text.h"
#include "model/gpt_table.h"
#include "model/partition_table.h"
#include "model/type_catalogue.h"
#include "property/commit_oracle.h"

namespace {

using namespace quenbolt;
using namespace quenbolt::hardening;

constexpr unsigned kMaxDisks = 4;
// Behind an EE entry the GPT reader may read two headers and two arrays of 2048 sectors before the
// MBR walk, and may read again what the walk reads.
constexpr std::size_t kMaxGptReads = 2 * (1 + 2048);
constexpr std::size_t kMaxGptRows = 1024 * 1024 / 128;

// Raw sectors and faults straight from the input, on top of what the builder made.
void addRawInput(FuzzedDataProvider& data, SimulatedMachine& machine) {
  const unsigned extras = data.ConsumeIntegralInRange<unsigned>(0, 6);
  for (unsigned i = 0; i < extras && data.remaining_bytes() > 0; ++i) {
    const unsigned index = data.ConsumeIntegralInRange<unsigned>(0, kMaxDisks - 1);
    SimulatedDisk* disk = nullptr;
    try {
      disk = &machine.disk(index);
    } catch (const std::out_of_range&) {
      continue;
    }
    switch (data.ConsumeIntegralInRange<unsigned>(0, 3)) {
      case 0: {
        const std::uint64_t offset = std::uint64_t{data.ConsumeIntegral<std::uint32_t>()} * 512 +
                                     (data.ConsumeBool() ? 0 : std::uint64_t{1} << 41);
        Sector sector{};
        const std::string bytes = data.ConsumeBytesAsString(512);
        std::copy(bytes.begin(), bytes.end(), sector.begin());
        if (offset <= disk->size() && disk->size() - offset >= 512) disk->setSector(offset, sector);
        break;
      }
      case 1:
        disk->failRead(kAnyOffset, data.ConsumeIntegralInRange<unsigned>(0, 6));
        break;
      case 2:
        disk->shortRead(kAnyOffset, data.ConsumeIntegralInRange<std::size_t>(0, 511),
                        data.ConsumeIntegralInRange<unsigned>(0, 6));
        break;
      default:
        disk->failOpen(OpenFault::AnyAccess, data.ConsumeIntegralInRange<unsigned>(0, 3));
    }
  }
}

bool isUpperHex(const std::string& text) {
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

void checkScan(const SimulatedMachine& machine, const DiskSnapshots& disks, const PartitionList& list) {
  const std::size_t n = list.size();
  FUZZ_CHECK(list.TableSectorOffset.size() == n && list.TypeByteOffset.size() == n &&
                 list.BootSectorOffsetText.size() == n && list.ScannedTypeId.size() == n &&
                 list.ScannedLabel.size() == n,
             "a store beside the list does not hold one value per row");
  FUZZ_CHECK(machine.openHandles() == 0, "a disk handle left open");
  FUZZ_CHECK(machine.diskLog(DiskOp::Write).empty(), "the scan wrote to a disk");
  FUZZ_CHECK(snapshotDisks(machine) == disks, "a disk changed during the scan");

  std::size_t hiddenFat32Rows = 0;
  std::map<long, std::size_t> rowsPerDisk;
  std::map<long, unsigned> lastNumber;
  long lastDisk = -1;
  for (std::size_t r = 0; r < n; ++r) {
    const PartitionRow& row = list.rows[r];
    const long disk = diskIndexOfRow(row);
    FUZZ_CHECK(disk >= 0 && disk < static_cast<long>(kMaxDisks), "a row names no disk");
    FUZZ_CHECK(disk >= lastDisk, "rows out of disk order");
    lastDisk = disk;
    ++rowsPerDisk[disk];
    if (!row[kPartitionColumn].empty()) {
      const unsigned number = static_cast<unsigned>(std::stoul(row[kPartitionColumn]));
      FUZZ_CHECK(number == lastNumber[disk] + 1, "display numbers not counted 1, 2, 3 per disk");
      lastNumber[disk] = number;
    }

    const std::string& offsetText = list.BootSectorOffsetText[r];
    FUZZ_CHECK(offsetText.size() >= 12 && isUpperHex(offsetText), "BootSectorOffsetText is not 12+ hex digits");
    FUZZ_CHECK(list.ScannedTypeId[r] == row[kTypeIdColumn], "ScannedTypeId differs from the type column");
    FUZZ_CHECK(list.ScannedLabel[r] == row[kLabelColumn], "ScannedLabel differs from the label column");
    if (isInGroup(TypeGroup::HiddenFat32Types, row[kTypeIdColumn])) ++hiddenFat32Rows;
    if (const GptRecord* gpt = list.gptRecordOf(r)) {
      // Read by fuzz_gpt; here only its shape, and its hidden boot sector's label read.
      FUZZ_CHECK(list.primaryRecordOf(r) == nullptr && list.TypeByteOffset[r] == 0, "a GPT row the writers could reach");
      if (gpt->hidden) ++hiddenFat32Rows;
      continue;
    }

    // The row agrees with the table sector it names, as it is on the disk.
    const std::uint32_t typeByte = list.TypeByteOffset[r];
    const std::uint64_t table = list.TableSectorOffset[r];
    FUZZ_CHECK(typeByte >= 0x1C2 && typeByte <= 0x1F2 && (typeByte - 0x1C2) % 16 == 0,
               "TypeByteOffset is no entry's type byte");
    FUZZ_CHECK(table == 0 || typeByte == 0x1C2, "an EBR row that is not entry 0");
    Sector sector{};
    for (std::size_t i = 0; i < 512; ++i) {
      auto found = disks.at(static_cast<unsigned>(disk)).sectors.find((table + i) / 512);
      sector[i] = found == disks.at(static_cast<unsigned>(disk)).sectors.end() ? 0 : found->second[(table + i) % 512];
    }
    const PartitionTable parsed(sector);
    FUZZ_CHECK(parsed.isValid(), "a row from a sector that is no valid table");
    const PartitionEntry entry = parsed.entry((typeByte - 0x1C2) / 16);
    FUZZ_CHECK(row[kTypeIdColumn] == hex2(entry.type), "the type column is not the entry's type");
    FUZZ_CHECK(row[kCapacityColumn] == capacityText(entry.sectorCount), "capacity is not the entry's count");
    const std::uint64_t start = (table == 0 ? 0 : table) + std::uint64_t{entry.startSector} * 512;
    FUZZ_CHECK(offsetText == quenbolt::offsetText(start), "BootSectorOffsetText is not the entry's start");
    FUZZ_CHECK(parseOffsetText(offsetText) == start, "BootSectorOffsetText does not read back");
    const std::string& kind = row[kKindColumn];
    if (table == 0 && entry.isContainer()) {
      FUZZ_CHECK(kind == kKindExtended, "an MBR container not shown as extended");
    } else if (table == 0) {
      FUZZ_CHECK(kind == (entry.isActive() ? kKindPrimaryActive : kKindPrimary), "wrong primary kind");
    } else {
      std::string expected = entry.isContainer() ? kKindExtended : kKindLogical;
      if (entry.isActive()) expected += kKindActiveSuffix;
      FUZZ_CHECK(kind == expected, "wrong logical kind");
    }
  }
  for (const auto& [disk, rows] : rowsPerDisk) {
    FUZZ_CHECK(rows <= std::max<std::size_t>(4 + kMaxEbrReadsPerDisk, kMaxGptRows),
               "more rows on one disk than the walk may make");
  }
  for (const PrimaryRecord& record : list.PrimaryList) {
    FUZZ_CHECK(record.row < n && list.TableSectorOffset[record.row] == 0, "a PrimaryRecord of no MBR row");
    FUZZ_CHECK(record.number >= 1 && record.number <= 4, "a primary number outside 1 to 4");
  }
  for (const LogicalRecord& record : list.LogicalList) {
    FUZZ_CHECK(record.row < n && list.TableSectorOffset[record.row] != 0, "a LogicalRecord of no EBR row");
  }

  // Reads: the walk reads each table sector of a disk once, within the budget, on one handle;
  // every other handle reads exactly one boot sector of a hidden row. Behind an EE entry the GPT
  // reader comes first.
  std::size_t reads = 0;
  std::size_t walkHandles = 0;
  std::size_t bootHandles = 0;
  std::set<std::uint64_t> sessionOffsets;
  std::size_t sessionReads = 0;
  bool sessionGpt = false;
  for (const DiskAccessRecord& record : machine.diskLog()) {
    if (record.op == DiskOp::Open) {
      const auto disk = disks.find(record.disk);
      const auto mbr = disk == disks.end() ? std::map<std::uint64_t, Sector>::const_iterator()
                                           : disk->second.sectors.find(0);
      sessionGpt = disk != disks.end() && mbr != disk->second.sectors.end() &&
                   protectiveEntryOf(mbr->second).has_value();
    } else if (record.op == DiskOp::Read) {
      ++reads;
      ++sessionReads;
      FUZZ_CHECK(sessionOffsets.insert(record.offset).second || sessionGpt,
                 "one sector read twice on one handle");
    } else if (record.op == DiskOp::Close) {
      FUZZ_CHECK(sessionReads <= 1 + kMaxEbrReadsPerDisk + (sessionGpt ? kMaxGptReads : 0),
                 "the walk read past its budget");
      (sessionReads == 1 && sessionOffsets.count(0) == 0 ? bootHandles : walkHandles) += 1;
      sessionOffsets.clear();
      sessionReads = 0;
    }
  }
  FUZZ_CHECK(reads <= kMaxDisks * (1 + kMaxEbrReadsPerDisk + kMaxGptReads) + hiddenFat32Rows,
             "too many reads for one scan");
  FUZZ_CHECK(bootHandles <= hiddenFat32Rows, "a boot sector read for a row that needs none");
  FUZZ_CHECK(machine.currentCursor() == Cursor::Arrow, "the wait cursor stays");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const TypeCatalogue catalogue;
  FuzzedDataProvider provider(data, size);
  FuzzChooser chooser(provider);
  SimulatedMachine machine;
  Platform platform = machine.platform();
  buildRandomMachine(chooser, machine);
  addRawInput(provider, machine);
  const DiskSnapshots disks = snapshotDisks(machine);

  PartitionList list;
  scanDisks(platform, catalogue, list);
  checkScan(machine, disks, list);

  // Start-up's temporary letters and second scan, then the close handler's removal.
  TempLetterList letters = assignTemporaryLetters(platform, list);
  machine.clearLogs();
  scanDisks(platform, catalogue, list);
  checkScan(machine, disks, list);
  removeTemporaryLetters(platform, letters);
  FUZZ_CHECK(machine.definedNames().empty(), "a temporary letter outlives the run");
  return 0;
}

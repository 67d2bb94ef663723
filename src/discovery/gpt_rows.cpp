#include "discovery/gpt_rows.h"

#include <optional>
#include <utility>

#include "discovery/boot_sector_label_reader.h"
#include "model/gbk_text.h"
#include "model/gpt_table.h"

namespace quenbolt {

bool appendGptRows(DiskHandle& disk, const Sector& mbr, unsigned n, PartitionList& list) {
  if (!protectiveEntryOf(mbr)) return false;
  const std::size_t sectorSize = disk.sectorSize();
  std::optional<std::uint64_t> diskSectors;
  if (const std::optional<std::uint64_t> bytes = disk.lengthBytes()) {
    diskSectors = *bytes / sectorSize;
  }
  const SectorReader read = [&disk](std::uint64_t offset, Sector& sector) {
    return disk.readSector(offset, sector);
  };
  const std::optional<GptTable> table = readGpt(mbr, read, diskSectors, sectorSize);
  if (!table) return false;

  for (const GptPartition& partition : table->partitions) {
    const std::size_t index = list.rows.size();
    PartitionRow row;
    row[kDiskColumn] = decimalText(std::uint64_t{n} + 1);
    row[kPartitionColumn] = decimalText(partition.number);
    row[kTypeIdColumn] = gptTypeCode(partition.type);
    row[kFormatNameColumn] = gptTypeName(partition.type);
    row[kKindColumn] = gptKindText(partition.attributes);
    row[kCapacityColumn] = capacityText(partition.sectorCount(), sectorSize);

    // No location a table writer could patch.
    list.TableSectorOffset.push_back(0);
    list.TypeByteOffset.push_back(0);
    list.BootSectorOffsetText.push_back(offsetText(partition.firstLba * sectorSize));
    list.ScannedTypeId.push_back(row[kTypeIdColumn]);
    GptRecord record;
    record.row = index;
    record.disk = n;
    record.number = partition.number;
    record.entry = partition.entry;
    record.type = partition.type;
    record.attributes = partition.attributes;
    record.copy = table->copy;
    record.header = table->header;
    record.sectorSize = table->sectorSize;
    record.stagedType = partition.type;
    record.stagedAttributes = partition.attributes;
    list.GptList.push_back(record);
    list.rows.push_back(std::move(row));
  }
  return true;
}

void takeHiddenGptBootLabels(Platform& platform, PartitionList& list) {
  for (const GptRecord& record : list.GptList) {
    if (!record.hidden() || record.row >= list.size()) continue;
    if (std::optional<std::string> label = readFat32BootSectorLabel(platform, list, record.row)) {
      list.rows[record.row][kLabelColumn] = std::move(*label);
    }
  }
}

}  // namespace quenbolt

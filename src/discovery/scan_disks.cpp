#include "discovery/scan_disks.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "discovery/boot_sector_label_reader.h"
#include "discovery/disk_enumeration.h"
#include "discovery/gpt_rows.h"
#include "discovery/volume_matching.h"
#include "model/gpt_table.h"
#include "model/disk_layout.h"
#include "model/gbk_text.h"

namespace quenbolt {

namespace {

std::string kindText(const LayoutRow& layout) {
  switch (layout.source) {
    case RowSource::Container:
      return kKindExtended;  // an MBR container shows no active flag, whatever its indicator
    case RowSource::Primary:
      return layout.entry.isActive() ? kKindPrimaryActive : kKindPrimary;
    case RowSource::Ebr: {
      std::string kind = layout.entry.isContainer() ? kKindExtended : kKindLogical;
      if (layout.entry.isActive()) kind += kKindActiveSuffix;
      return kind;
    }
  }
  return std::string();
}

void appendRow(PartitionList& list, const TypeCatalogue& catalogue, unsigned disk,
               std::size_t sectorSize, const LayoutRow& layout) {
  const std::size_t index = list.rows.size();
  PartitionRow row;
  row[kDiskColumn] = decimalText(std::uint64_t{disk} + 1);
  if (layout.displayNumber != 0) row[kPartitionColumn] = decimalText(layout.displayNumber);
  row[kTypeIdColumn] = hex2(layout.entry.type);
  row[kFormatNameColumn] = catalogue.NameOf(row[kTypeIdColumn]);
  row[kKindColumn] = kindText(layout);
  row[kCapacityColumn] = capacityText(layout.entry.sectorCount, sectorSize);

  list.TableSectorOffset.push_back(layout.tableSectorOffset);
  list.TypeByteOffset.push_back(layout.typeByteOffset);
  list.BootSectorOffsetText.push_back(offsetText(layout.partitionOffset));
  list.ScannedTypeId.push_back(row[kTypeIdColumn]);

  switch (layout.source) {
    case RowSource::Primary:
      list.PrimaryList.push_back(
          PrimaryRecord{index, disk, layout.systemNumber, layout.entry.isActive() ? 1 : 0});
      break;
    case RowSource::Ebr:
      // The layout numbers logicals after all primaries of their disk already.
      list.LogicalList.push_back(LogicalRecord{index, disk, layout.systemNumber});
      break;
    case RowSource::Container:
      break;
  }
  list.rows.push_back(std::move(row));
}

// A drive without its medium is not counted: there is nothing on it to miss.
void noteUnreadable(PartitionList& list, unsigned n, DiskReadFailure failure,
                    std::uint32_t systemError) {
  if (meansNoMedium(systemError)) return;
  list.unreadableDisks.push_back(UnreadableDisk{n, failure, systemError});
}

// How many disk numbers past the registry's count are tried when disks are missing below it.
// Windows gives an arriving disk the first free number, so gaps come only from disks removed since,
// a few.
constexpr unsigned kDiskNumbersPastCount = 32;

bool meansNoSuchDisk(std::uint32_t systemError) {
  return systemError == kErrorFileNotFound || systemError == kErrorPathNotFound;
}

// Whether the disk's GPT header lies where another sector size would put it: "EFI PART" at byte
// 4096 of a disk that reports 512-byte sectors, or at byte 512 of one that reports 4096 (a disk
// moved between a USB bridge and a direct connection). Read with the reported size, every LBA of
// such a table would be eight times too low or too high.
bool sectorSizeContradictsTable(DiskHandle& disk, const Sector& mbr) {
  if (!protectiveEntryOf(mbr)) return false;
  const auto holdsHeaderAt = [](const Sector& sector, std::size_t at) {
    return sector.size() >= at + 8 &&
           std::equal(sector.begin() + at, sector.begin() + at + 8, "EFI PART");
  };
  const std::size_t size = disk.sectorSize();
  Sector sector;
  if (size == kSectorSize) {
    if (disk.readSector(kSectorSize, sector) && holdsHeaderAt(sector, 0)) return false;
    return disk.readSector(kLargeSectorSize, sector) && holdsHeaderAt(sector, 0);
  }
  if (size == kLargeSectorSize && holdsHeaderAt(mbr, kSectorSize)) {
    return !(disk.readSector(kLargeSectorSize, sector) && holdsHeaderAt(sector, 0));
  }
  return false;
}

// The rows of disk `n`, or none when it cannot be opened or its first sector read; then the disk
// is noted as unreadable, with the reason. A first sector that reads in full but holds no valid
// table simply gives no rows. The handle is closed before the next disk is opened. False when
// there is no disk with that number.
bool scanDisk(Platform& platform, const TypeCatalogue& catalogue, unsigned n, PartitionList& list) {
  std::unique_ptr<DiskHandle> disk = platform.disks.openDisk(n, DiskAccess::Read);
  if (!disk) {
    const std::uint32_t error = platform.disks.lastOpenError();
    if (meansNoSuchDisk(error)) return false;
    noteUnreadable(list, n, DiskReadFailure::Open, error);
    return true;
  }
  Sector mbr{};
  if (!disk->readSector(0, mbr)) {
    const std::uint32_t error = disk->lastError();
    // A read that succeeded with fewer bytes has no error code of its own.
    const DiskReadFailure failure =
        error == 0 ? DiskReadFailure::ShortFirstRead : DiskReadFailure::FirstRead;
    noteUnreadable(list, n, failure, error);
    return true;
  }
  if (sectorSizeContradictsTable(*disk, mbr)) {
    list.unreadableDisks.push_back(
        UnreadableDisk{n, DiskReadFailure::SectorSizeMismatch, 0, disk->sectorSize()});
    return true;
  }
  if (appendGptRows(*disk, mbr, n, list)) return true;
  const SectorReader read = [&disk](std::uint64_t offset, Sector& sector) {
    return disk->readSector(offset, sector);
  };
  const std::size_t sectorSize = disk->sectorSize();
  for (const LayoutRow& layout : walkDiskLayout(mbr, read, sectorSize)) {
    appendRow(list, catalogue, n, sectorSize, layout);
  }
  return true;
}

}  // namespace

void scanDisks(Platform& platform, const TypeCatalogue& catalogue, PartitionList& list) {
  platform.ui.setCursor(Cursor::Wait);
  list.clear();

  // The count says how many disks there are, not which numbers they have: after a disk is removed,
  // disks 0 and 2 may be the two. Numbers are tried until that many disks are found; each keeps
  // its own number, and a number without a disk is no failure.
  const unsigned count = diskCount(platform.registry);
  unsigned found = 0;
  for (unsigned n = 0; found < count && n - found < kDiskNumbersPastCount; ++n) {
    if (scanDisk(platform, catalogue, n, list)) ++found;
  }

  runVolumePass(platform, list);

  // Hidden FAT32 partitions rarely carry a volume label the system will report; their boot
  // sector holds the one the user set, so it wins over whatever the volume pass found.
  for (std::size_t r = 0; r < list.size(); ++r) {
    if (isInGroup(TypeGroup::HiddenFat32Types, list.rows[r][kTypeIdColumn])) {
      list.rows[r][kLabelColumn] = readBootSectorLabel(platform, list, r);
    }
  }
  takeHiddenGptBootLabels(platform, list);

  list.ScannedLabel.reserve(list.size());
  for (const PartitionRow& row : list.rows) list.ScannedLabel.push_back(row[kLabelColumn]);

  platform.ui.setCursor(Cursor::Arrow);
}

}  // namespace quenbolt

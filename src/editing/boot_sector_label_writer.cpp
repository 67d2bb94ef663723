#include "editing/boot_sector_label_writer.h"

#include "discovery/boot_sector_label_reader.h"
#include "discovery/volume_matching.h"
#include "editing/sector_patch.h"
#include "model/fat32_boot_sector.h"
#include "model/fat_label.h"
#include "model/gbk_text.h"
#include "model/type_catalogue.h"

namespace quenbolt {

namespace {

// The sector a label may be written into: FAT32, counting sectors of the disk's own size (the
// size of the sector just read).
std::optional<FailureReason> checkFat32(const Sector& sector) {
  if (!isFat32BootSector(sector)) return FailureReason::NotFat32;
  if (bytesPerSector(sector) != sector.size()) return FailureReason::SectorSizeDiffers;
  return std::nullopt;
}

// The letter of a drive-letter cell, or 0.
char driveLetterOf(const std::string& cell) {
  return cell.size() == 1 && cell[0] >= 'A' && cell[0] <= 'Z' ? cell[0] : 0;
}

}  // namespace

std::optional<BootSectorLocation> bootSectorLocationOf(const PartitionList& list, std::size_t row) {
  const long disk = row < list.rows.size() ? diskIndexOfRow(list.rows[row]) : -1;
  const std::optional<std::uint64_t> offset = row < list.BootSectorOffsetText.size()
                                                  ? parseOffsetText(list.BootSectorOffsetText[row])
                                                  : std::nullopt;
  if (disk < 0 || !offset) return std::nullopt;
  return BootSectorLocation{static_cast<unsigned>(disk), *offset};
}

BootLabelField storedLabelField(Volumes& volumes, const std::string& rootPath) {
  const OemLabel stored = volumes.oemLabel(rootPath);
  switch (stored.status) {
    case OemLabel::Read:
      break;
    case OemLabel::Unreadable:
      return BootLabelField{std::string(), FailureReason::StoredLabelUnreadable};
    case OemLabel::NotInOemCodePage:
      return BootLabelField{std::string(), FailureReason::LabelNotInOemCodePage};
  }
  if (stored.bytes.empty()) return BootLabelField{kNoLabelField, std::nullopt};
  if (stored.bytes.size() > kBootLabelSize) {
    return BootLabelField{std::string(), FailureReason::LabelTooLong};
  }
  std::string bytes = stored.bytes;
  bytes.resize(kBootLabelSize, ' ');
  return BootLabelField{bytes, std::nullopt};
}

void writeBootSectorLabel(Platform& platform, const PartitionList& list, std::size_t row,
                          const BootLabelField& field, ChangeReport& report) {
  const std::optional<BootSectorLocation> location = bootSectorLocationOf(list, row);
  if (!location) {
    // The scan left no way to find this boot sector.
    recordOutcome(report, row, ChangeKind::BootSectorLabel, FailureReason::ReadFailed);
    return;
  }

  // Since Windows Vista a write through the disk into a mounted volume is refused; the volume's
  // own handle may write its reserved area, where both boot sectors lie. A partition without a
  // letter has no mounted volume in the way.
  SectorPatch patch;
  patch.disk = location->disk;
  patch.volume = driveLetterOf(list.rows[row][kDriveLetterColumn]);
  patch.sectorOffset = patch.volume ? 0 : location->offset;
  patch.firstByte = kBootLabelOffset;
  patch.bytes = field.bytes;
  std::optional<std::uint32_t> backup;
  std::size_t sectorSize = 0;
  patch.check = [&backup, &sectorSize,
                 &field](const Sector& sector) -> std::optional<FailureReason> {
    if (std::optional<FailureReason> refusal = checkFat32(sector)) return refusal;
    if (field.refusal) return field.refusal;
    backup = backupBootSector(sector);
    sectorSize = sector.size();
    return std::nullopt;
  };
  const std::optional<FailureReason> outcome = patchSector(platform.disks, patch);
  if (outcome == FailureReason::NotFat32) return;  // nothing of ours there to keep in step
  if (!recordOutcome(report, row, ChangeKind::BootSectorLabel, outcome) || !backup) return;

  // The backup copy must agree with the boot sector, or a file system check finds them different.
  patch.sectorOffset += std::uint64_t{*backup} * sectorSize;
  patch.check = checkFat32;
  recordOutcome(report, row, ChangeKind::BackupBootSectorLabel, patchSector(platform.disks, patch));
}

void refreshBootLabels(Platform& platform, PartitionList& list, bool checked) {
  for (std::size_t row = 0; row < list.rows.size(); ++row) {
    PartitionRow& cells = list.rows[row];
    if (isInGroup(TypeGroup::Fat32LabelTypes, cells[kTypeIdColumn])) {
      if (checked) {
        cells[kLabelColumn] = readBootSectorLabel(platform, list, row);
        continue;
      }
    } else if (list.gptRecordOf(row)) {
      // A GPT type does not say FAT32; the boot sector does, and only such a row is reloaded.
      const std::optional<std::string> boot = readFat32BootSectorLabel(platform, list, row);
      if (!boot) continue;
      if (checked) {
        cells[kLabelColumn] = *boot;
        continue;
      }
    } else {
      continue;
    }
    if (cells[kDriveLetterColumn].empty()) {
      // ":\" names no volume; asking the system for it could only fail.
      cells[kLabelColumn].clear();
    } else {
      cells[kLabelColumn] = readVolumeLabel(platform.volumes, cells[kDriveLetterColumn] + ":\\");
    }
  }
  list.ScannedLabel.resize(list.rows.size());
  for (std::size_t row = 0; row < list.rows.size(); ++row) {
    list.ScannedLabel[row] = list.rows[row][kLabelColumn];
  }
}

}  // namespace quenbolt

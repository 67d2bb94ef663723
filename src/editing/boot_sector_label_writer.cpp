#include "editing/boot_sector_label_writer.h"

#include "discovery/boot_sector_label_reader.h"
#include "discovery/volume_matching.h"
#include "editing/sector_patch.h"
#include "model/fat32_boot_sector.h"
#include "model/gbk_text.h"
#include "model/type_catalogue.h"

namespace quenbolt {

void writeBootSectorLabel(Platform& platform, const PartitionList& list, std::size_t row,
                          const std::string& label, ChangeReport& report) {
  const long disk = row < list.rows.size() ? diskIndexOfRow(list.rows[row]) : -1;
  const std::optional<std::uint64_t> offset =
      row < list.BootSectorOffsetText.size() ? parseOffsetText(list.BootSectorOffsetText[row])
                                             : std::nullopt;
  if (disk < 0 || !offset) {
    // The scan left no way to find this boot sector.
    recordOutcome(report, row, ChangeKind::BootSectorLabel, FailureReason::ReadFailed);
    return;
  }

  SectorPatch patch;
  patch.disk = static_cast<unsigned>(disk);
  patch.sectorOffset = *offset;
  patch.firstByte = kBootLabelOffset;
  patch.bytes = bootSectorLabelBytes(label);
  patch.check = [](const Sector& sector) -> std::optional<FailureReason> {
    if (!isFat32BootSector(sector)) return FailureReason::NotFat32;
    return std::nullopt;
  };
  const std::optional<FailureReason> outcome = patchSector(platform.disks, patch);
  if (outcome == FailureReason::NotFat32) return;  // nothing of ours there to keep in step
  recordOutcome(report, row, ChangeKind::BootSectorLabel, outcome);
}

void refreshBootLabels(Platform& platform, PartitionList& list, bool checked) {
  for (std::size_t row = 0; row < list.rows.size(); ++row) {
    PartitionRow& cells = list.rows[row];
    if (!isInGroup(TypeGroup::Fat32LabelTypes, cells[kTypeIdColumn])) continue;
    if (checked) {
      cells[kLabelColumn] = readBootSectorLabel(platform, list, row);
    } else if (cells[kDriveLetterColumn].empty()) {
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

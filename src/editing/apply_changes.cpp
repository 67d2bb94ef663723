#include "editing/apply_changes.h"

#include "editing/boot_sector_label_writer.h"
#include "editing/table_writers.h"
#include "model/type_catalogue.h"

namespace quenbolt {

namespace {

void writeLabels(Platform& platform, const PartitionList& list, ChangeReport& report) {
  for (std::size_t row = 0; row < list.rows.size(); ++row) {
    const PartitionRow& cells = list.rows[row];
    const std::string& letter = cells[kDriveLetterColumn];
    const std::string& label = cells[kLabelColumn];
    if (row < list.ScannedLabel.size() && label == list.ScannedLabel[row]) continue;
    // Without a letter neither the system nor the boot sector is written, but the edit was
    // staged and is lost: say so rather than close as if it had been made.
    if (letter.empty()) {
      report.failures.push_back(
          ChangeFailure{row, ChangeKind::VolumeLabel, FailureReason::NoDriveLetter});
      continue;
    }

    // The system gets the text exactly as staged; it decides what its file system accepts.
    if (!platform.volumes.setVolumeLabel(letter + ":\\", label)) {
      report.failures.push_back(
          ChangeFailure{row, ChangeKind::VolumeLabel, FailureReason::LabelRefused});
    }
    // The type pass has run, so a row just changed to a FAT32 type counts as one here; the
    // writer itself only touches a sector that really is FAT32. A GPT type does not say which
    // file system the partition holds, so there the sector alone decides.
    if (isInGroup(TypeGroup::Fat32LabelTypes, cells[kTypeIdColumn]) || list.gptRecordOf(row)) {
      writeBootSectorLabel(platform, list, row, label, report);
    }
  }
}

}  // namespace

ChangeReport applyChanges(Platform& platform, const PartitionList& list) {
  ChangeReport report;
  writeTypeIds(platform, list, report);
  writeActiveFlags(platform, list, report);
  writeLabels(platform, list, report);
  // Last, once every write is made: a re-read may replace the volumes of a disk whose table
  // changed, and a label pass after it could find its letters gone.
  for (unsigned disk : report.tablesWritten) {
    if (!platform.disks.updateDiskProperties(disk)) report.tablesNotReread.push_back(disk);
  }
  platform.ui.requestClose();
  return report;
}

}  // namespace quenbolt

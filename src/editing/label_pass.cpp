#include "editing/label_pass.h"

#include "editing/boot_sector_label_writer.h"
#include "editing/unmounted_fat32_label_writer.h"
#include "model/gbk_text.h"
#include "model/type_catalogue.h"

namespace quenbolt {

namespace {

void fail(ChangeReport& report, std::size_t row, FailureReason reason) {
  report.failures.push_back(ChangeFailure{row, ChangeKind::VolumeLabel, reason});
}

// Writes the three copies itself when the row's partition is FAT32; `otherwise` is the failure
// when it is not.
void writeWithoutDriver(Platform& platform, const PartitionList& list, std::size_t row,
                        bool fat32Row, FailureReason otherwise, ChangeReport& report) {
  const std::string& label = list.rows[row][kLabelColumn];
  if (fat32Row && writeUnmountedFat32Label(platform, list, row, label, report) !=
                      UnmountedLabelOutcome::NotFat32) {
    return;
  }
  fail(report, row, otherwise);
}

}  // namespace

void writeLabels(Platform& platform, const PartitionList& list, ChangeReport& report) {
  for (std::size_t row = 0; row < list.rows.size(); ++row) {
    if (!list.labelStaged(row)) continue;
    const PartitionRow& cells = list.rows[row];
    const std::string& label = cells[kLabelColumn];
    if (holdsNoGbkCharacter(label)) {
      fail(report, row, FailureReason::NotGbkText);
      continue;
    }
    // The type pass has run, so a row just changed to a FAT32 type counts as one here; the
    // writers themselves only touch a sector that really is FAT32. A GPT type does not say which
    // file system the partition holds, so there the sector alone decides.
    const bool fat32Row =
        isInGroup(TypeGroup::Fat32LabelTypes, cells[kTypeIdColumn]) || list.gptRecordOf(row);
    const std::string& letter = cells[kDriveLetterColumn];
    if (letter.empty()) {
      writeWithoutDriver(platform, list, row, fat32Row, FailureReason::NoDriveLetter, report);
      continue;
    }

    // The system gets the text exactly as staged; it decides what its file system accepts.
    const std::string root = letter + ":\\";
    switch (platform.volumes.setVolumeLabel(root, label)) {
      case SetLabelOutcome::Refused:
        // The boot sectors must not say what the file system refused to keep.
        fail(report, row, FailureReason::LabelRefused);
        break;
      case SetLabelOutcome::NoFileSystem:
        writeWithoutDriver(platform, list, row, fat32Row, FailureReason::NoFileSystem, report);
        break;
      case SetLabelOutcome::Set:
        if (fat32Row) {
          writeBootSectorLabel(platform, list, row, storedLabelField(platform.volumes, root),
                               report);
        }
        break;
    }
  }
}

}  // namespace quenbolt

#include "editing/apply_changes.h"

#include "editing/gpt_writer.h"
#include "editing/label_pass.h"
#include "editing/table_writers.h"

namespace quenbolt {

ChangeReport applyChanges(Platform& platform, const PartitionList& list) {
  ChangeReport report;
  writeTypeIds(platform, list, report);
  writeActiveFlags(platform, list, report);
  writeGptChanges(platform, list, report);
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

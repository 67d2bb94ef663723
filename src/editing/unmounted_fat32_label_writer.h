#pragma once
// The label of a FAT32 volume no file system driver has mounted (Windows answers that it does not
// recognise it, or the partition has no letter to reach it through): with no driver to keep it,
// the program writes all three copies itself.

#include <cstddef>
#include <string>

#include "discovery/partition_list.h"
#include "editing/change_report.h"
#include "platform/platform.h"

namespace quenbolt {

enum class UnmountedLabelOutcome {
  NotFat32,  // the row's boot sector is no FAT32 one: nothing read beyond it, nothing recorded
  Written,   // every copy holds the label now
  Failed,    // recorded in the report
};

// Writes `label` (GBK) as fatlabel does: the boot sector's field at 0x47, the backup boot sector's
// (BPB_BkBootSec, inside the reserved area), and the root directory's volume-label entry, found
// by following the root's cluster chain from BPB_RootClus through the FAT: the existing entry, or
// else the first free entry of the root's first cluster, or else nothing is written (no room).
// FAT's rules apply to the text, since no driver applies them: upper-cased as Windows does it, in
// the system's OEM code page, at most 11 bytes, no forbidden character. An empty label removes
// the entry and leaves "NO NAME" in both boot sectors. Everything is read, through the disk (no
// volume is mounted there), and checked before anything is written; then each sector is read in
// full again, compared with what was read before, and written, in the order boot sector, backup,
// root directory, stopping at the first failure. Copies that already hold the label are not
// written.
UnmountedLabelOutcome writeUnmountedFat32Label(Platform& platform, const PartitionList& list,
                                               std::size_t row, const std::string& label,
                                               ChangeReport& report);

}  // namespace quenbolt

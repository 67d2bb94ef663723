#pragma once
// The FAT32 boot-sector label: writing it, and reloading the label column from the chosen source.

#include <cstddef>
#include <string>

#include "discovery/partition_list.h"
#include "editing/change_report.h"
#include "platform/platform.h"

namespace quenbolt {

// Stores `label` in the FAT32 boot sector of `row` (the sector at BootSectorOffsetText on the
// row's disk) and in its backup boot sector: 11 bytes at 0x47, cut without leaving half a
// double-byte character, blank-padded, upper-cased. A row with a drive letter is written through
// its volume ("\\.\X:", the boot sector at the volume's start), one without through the disk.
// The backup is the sector BPB_BkBootSec names when that lies inside the reserved area; it is
// written after the boot sector, and only when that was. A sector that is not FAT32 is left
// exactly as it is and nothing is recorded (the operating system's label call is what sets the
// label; this copy exists only for FAT32); a FAT32 one that counts sectors of another size is not
// written either, and that is recorded. An open, read or write that fails is appended to `report`
// as a BootSectorLabel failure, for the backup as a BackupBootSectorLabel one (also when the
// backup is no FAT32 boot sector).
void writeBootSectorLabel(Platform& platform, const PartitionList& list, std::size_t row,
                          const std::string& label, ChangeReport& report);

// The boot-sector label check box was clicked, leaving it `checked`. Every row of the FAT32 label
// group gets its label column from the boot sector (checked) or from its volume through the drive
// letter (unchecked; empty without a letter). Then every row's ScannedLabel becomes its label
// column, so staged label edits are dropped.
void refreshBootLabels(Platform& platform, PartitionList& list, bool checked);

}  // namespace quenbolt

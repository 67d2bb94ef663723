#pragma once
// The FAT32 boot-sector label: writing it, and reloading the label column from the chosen source.

#include <cstddef>
#include <string>

#include "discovery/partition_list.h"
#include "editing/change_report.h"
#include "platform/platform.h"

namespace quenbolt {

// Stores `label` in the FAT32 boot sector of `row` (the sector at BootSectorOffsetText on the
// row's disk): 11 bytes at 0x47, cut without leaving half a double-byte character, blank-padded,
// upper-cased. A sector that is not FAT32 is left exactly as it is and nothing is recorded (the
// operating system's label call is what sets the label; this copy exists only for FAT32).
// An open, read or write that fails is appended to `report` as a BootSectorLabel failure.
void writeBootSectorLabel(Platform& platform, const PartitionList& list, std::size_t row,
                          const std::string& label, ChangeReport& report);

// The boot-sector label check box was clicked, leaving it `checked`. Every row of the FAT32 label
// group gets its label column from the boot sector (checked) or from its volume through the drive
// letter (unchecked; empty without a letter). Then every row's ScannedLabel becomes its label
// column, so staged label edits are dropped.
void refreshBootLabels(Platform& platform, PartitionList& list, bool checked);

}  // namespace quenbolt

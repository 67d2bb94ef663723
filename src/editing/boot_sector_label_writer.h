#pragma once
// The FAT32 boot-sector label: writing the copy the system keeps beside its own, and reloading the
// label column from the chosen source.

#include <cstddef>
#include <optional>
#include <string>

#include "discovery/partition_list.h"
#include "editing/change_report.h"
#include "platform/platform.h"

namespace quenbolt {

// The 11 bytes for a boot sector's label field, or why there are none. Worked out before the
// sector is read; a refusal is recorded only when the sector turns out to be FAT32.
struct BootLabelField {
  std::string bytes;
  std::optional<FailureReason> refusal;
};

// The boot-sector field for the label the file system of `rootPath` now keeps: its bytes in the
// system's OEM code page, blank-padded ("NO NAME" for none), exactly what its root-directory
// entry holds; a refusal when the label cannot be read back or has no exact OEM form.
BootLabelField storedLabelField(Volumes& volumes, const std::string& rootPath);

// Stores `field` in the FAT32 boot sector of `row` (the sector at BootSectorOffsetText on the
// row's disk) and in its backup boot sector, at 0x47. A row with a drive letter is written
// through its volume ("\\.\X:", the boot sector at the volume's start), one without through the
// disk. The backup is the sector BPB_BkBootSec names when that lies inside the reserved area; it
// is written after the boot sector, and only when that was. A sector that is not FAT32 is left
// exactly as it is and nothing is recorded (the system's label call is what sets the label; this
// copy exists only for FAT32); a FAT32 one that counts sectors of another size, or a field with a
// refusal, is not written either, and that is recorded. A copy that already holds the bytes is
// not written again. An open, read or write that fails is appended to `report` as a
// BootSectorLabel failure, for the backup as a BackupBootSectorLabel one (also when the backup is
// no FAT32 boot sector).
void writeBootSectorLabel(Platform& platform, const PartitionList& list, std::size_t row,
                          const BootLabelField& field, ChangeReport& report);

// The boot-sector label check box was clicked, leaving it `checked`. Every row of the FAT32 label
// group, and every GPT row whose boot sector is FAT32, gets its label column from the boot sector
// (checked) or from its volume through the drive letter (unchecked; empty without a letter). Then
// every row's ScannedLabel becomes its label column, so staged label edits are dropped.
void refreshBootLabels(Platform& platform, PartitionList& list, bool checked);

// The disk (0-based) and byte offset of `row`'s boot sector, when the scan left a way to find it.
struct BootSectorLocation {
  unsigned disk = 0;
  std::uint64_t offset = 0;
};
std::optional<BootSectorLocation> bootSectorLocationOf(const PartitionList& list, std::size_t row);

}  // namespace quenbolt

#pragma once
// What a commit could not do. Every change that is not made is recorded here, never dropped.

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "discovery/partition_list.h"

namespace quenbolt {

enum class ChangeKind {
  TypeId,
  ActiveFlag,
  VolumeLabel,
  BootSectorLabel,
  BackupBootSectorLabel,
  RootDirectoryLabel,  // the label entry of a FAT32 root directory the program writes itself
  GptEntry,            // the type or the attributes of a GPT partition
};

enum class FailureReason {
  NotHexTypeId,             // the type text is not one or two hexadecimal digits
  OpenFailed,               // the disk could not be opened for reading and writing
  ReadFailed,               // the sector could not be read in full
  TableChanged,             // the sector no longer holds what the scan found
  WriteFailed,              // the sector could not be written in full
  LabelRefused,             // the system refused the volume label
  NotFat32,                 // the boot sector is not FAT32 (nothing to write there)
  NoDriveLetter,            // the volume has no drive letter, through which alone its label is set
  ProtectiveType,           // type EE, which marks a GPT disk, would be written or replaced
  SectorSizeDiffers,        // the FAT32 boot sector counts sectors of another size than the disk's
  NoFileSystem,             // no file system is mounted there, and the partition is no FAT32 one
  LabelTooLong,             // FAT keeps at most 11 bytes
  LabelForbiddenCharacter,  // a character FAT does not allow in a label
  LabelNotInOemCodePage,    // a character the system's OEM code page (the one FAT keeps) lacks
  StoredLabelUnreadable,    // the label the system stored could not be read back
  BadFat32Layout,           // the boot sector's BPB contradicts itself
  NoRoomForLabel,           // the root directory's first cluster has no free entry
  NotGbkText,               // the text holds a character GBK cannot hold
  SectorChanged,            // a sector no longer holds what was read when the change was planned
  // A GUID partition table is written only when both copies are intact and one table.
  GptPrimaryDamaged,
  GptBackupDamaged,
  GptCopiesDiffer,
  GptChangedSinceScan,  // the table no longer holds what the scan found
  GptPrimaryReadFailed,
  GptBackupReadFailed,
  GptPrimaryChanged,  // a sector of the primary copy changed between its reads
  GptBackupChanged,
  GptPrimaryWriteFailed,
  GptBackupWriteFailed,
  GptVerifyFailed,  // read back after writing, the copies are not the table written
};

struct ChangeFailure {
  std::size_t row = 0;
  ChangeKind kind = ChangeKind::TypeId;
  FailureReason reason = FailureReason::OpenFailed;
};

struct ChangeReport {
  std::vector<ChangeFailure> failures;
  // Disks (0-based) whose MBR or an EBR was written: the system is asked to read them again.
  std::set<unsigned> tablesWritten;
  // Of those, the disks the system could not be asked to read again: it keeps showing their old
  // partitions until it restarts. A note, not a failure: the tables on the disks are written.
  std::vector<unsigned> tablesNotReread;
  bool succeeded() const { return failures.empty(); }
};

// One line in GBK naming the partition (disk and partition number, or the type for a container),
// what was not written and why.
std::string describeFailure(const PartitionList& list, const ChangeFailure& failure);

// One line in GBK saying that the table of `disk` (0-based) is written but takes effect only once
// Windows restarts.
std::string describeTableNotReread(unsigned disk);

}  // namespace quenbolt

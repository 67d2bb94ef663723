#pragma once
// What a commit could not do. Every change that is not made is recorded here, never dropped.

#include <cstddef>
#include <string>
#include <vector>

#include "discovery/partition_list.h"

namespace quenbolt {

enum class ChangeKind { TypeId, ActiveFlag, VolumeLabel, BootSectorLabel };

enum class FailureReason {
  NotHexTypeId,      // the type text is not one or two hexadecimal digits
  OpenFailed,        // the disk could not be opened for reading and writing
  ReadFailed,        // the sector could not be read in full
  TableChanged,      // the sector no longer holds what the scan found
  WriteFailed,       // the sector could not be written in full
  LabelRefused,      // the system refused the volume label
  NotFat32,          // the boot sector is not FAT32 (nothing to write there)
  NoDriveLetter,     // the volume has no drive letter, through which alone its label is set
  GptEntry,          // the partition is an entry of a GUID partition table, which is never written
  ProtectiveType,    // type EE, which marks a GPT disk, would be written or replaced
};

struct ChangeFailure {
  std::size_t row = 0;
  ChangeKind kind = ChangeKind::TypeId;
  FailureReason reason = FailureReason::OpenFailed;
};

struct ChangeReport {
  std::vector<ChangeFailure> failures;
  bool succeeded() const { return failures.empty(); }
};

// One line in GBK naming the partition (disk and partition number, or the type for a container),
// what was not written and why.
std::string describeFailure(const PartitionList& list, const ChangeFailure& failure);

}  // namespace quenbolt

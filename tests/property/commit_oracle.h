#pragma once
// What a commit may do to the disks, worked out from the staged rows alone, and a check of what
// it did: every changed byte is one a staged change asked for, every change that did not land is
// reported, nothing is reported that was not asked for, and no sector is written unless it was
// read in full just before on the same handle.
//
// No GoogleTest here: the fuzz targets link this too.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "discovery/partition_list.h"
#include "editing/change_report.h"
#include "support/simulated_machine.h"

namespace quenbolt {
namespace hardening {

using DiskSnapshots = std::map<unsigned, DiskSnapshot>;
using ReportedChanges = std::set<std::pair<std::size_t, ChangeKind>>;

// Every disk of the machine (indexes 0 to 15).
DiskSnapshots snapshotDisks(const SimulatedMachine& machine);

// Bytes a staged change writes, if it can be written at all.
struct PlannedWrite {
  std::size_t row = 0;
  ChangeKind kind = ChangeKind::TypeId;
  unsigned disk = 0;
  std::uint64_t sector = 0;  // the sector read and written
  std::uint64_t offset = 0;  // first byte changed
  std::string bytes;
};

struct CommitPlan {
  std::vector<PlannedWrite> writes;
  // Changes that can never be made (type text that is no type ID, label without a letter):
  // they must be reported.
  std::vector<std::pair<std::size_t, ChangeKind>> mustReport;
  // Rows whose label goes to the system: drive letter + ":\" and the label column.
  struct VolumeLabel {
    std::size_t row;
    std::string path;
    std::string label;
  };
  std::vector<VolumeLabel> volumeLabels;
  // Every staged change; a report may name these and nothing else.
  ReportedChanges pending;
};

// What committing `list` as it stands should do, given the disks right before the commit.
CommitPlan planCommit(const PartitionList& list, const DiskSnapshots& before);

// Everything wrong with the commit that turned `before` into `after`. `reported` holds the
// (row, kind) pairs the commit reported as not made, or nothing when the report cannot be told
// apart row by row (then only the bytes and the access log are checked); `diskLog`,
// `labelCalls` and `fileSystemWrites` are what the machine saw during the commit only.
std::vector<std::string> checkCommit(const CommitPlan& plan, const DiskSnapshots& before,
                                     const DiskSnapshots& after,
                                     const std::optional<ReportedChanges>& reported,
                                     const std::vector<DiskAccessRecord>& diskLog,
                                     const std::vector<PlatformCall>& labelCalls,
                                     const std::vector<FileSystemWrite>& fileSystemWrites);

ReportedChanges reportedChangesOf(const ChangeReport& report);

// No sector is written unless it was read in full, at the same offset, on the same open handle,
// with no failed read in between.
std::vector<std::string> checkWritesFollowFullReads(const std::vector<DiskAccessRecord>& diskLog);

}  // namespace hardening
}  // namespace quenbolt

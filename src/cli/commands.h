#pragma once
// The batch commands: each edits rows of the partition list, then commits through applyChanges.

#include <string>
#include <vector>

#include "discovery/partition_list.h"
#include "editing/change_report.h"
#include "platform/platform.h"

namespace quenbolt {

// Process exit status of a batch run.
enum ExitStatus : int {
  kExitDone = 0,           // carried out (or nothing to do)
  kExitWriteFailed = 1,    // at least one write failed
  kExitNotUnderstood = 2,  // unknown word, wrong argument count, refused or malformed ID
  kExitNoSuchPartition = 3,
  kExitDiskUnreadable = 4,  // a listed disk could not be read (a write failure still says 1)
};

struct CommandResult {
  int exitStatus = kExitDone;
  bool ranApplyChanges = false;
  ChangeReport report;
  // For the standard error stream: one line per failure, then one per disk whose new table the
  // system could not be asked to read (which leaves the status as it is).
  std::vector<std::string> errorLines;
};

// True for exactly one argument that upper-cased is "/?" or "/H". `args` includes argument 0.
bool isHelpRequest(const std::vector<std::string>& args);

// True for exactly one argument that upper-cased is "/LIST".
bool isListRequest(const std::vector<std::string>& args);

// The command step of start-up: runs the command named by `args` (argument 0 included) on the
// scanned `list`. Queues the close request for every argument count but 0 and 1. The disks the
// scan could not read make "/LIST", "/F" and "/S" end with kExitDiskUnreadable, and "/M", "/L"
// and "/A" when they name one of those disks; the window and the help ignore them here.
CommandResult runCommandStep(Platform& platform, PartitionList& list,
                             const std::vector<std::string>& args);

}  // namespace quenbolt

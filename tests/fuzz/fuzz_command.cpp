// Any command line over one fixed machine (two disks, primaries, a chain of two logical
// partitions, FAT32 volumes with letters, one temporary letter). Whatever the line says, the
// command step ends with exit status 0 to 3; with 2 or 3 nothing is written; every byte that
// changes is a type byte, a boot indicator or a boot-sector label byte a staged change asked
// for; and every change that did not land is reported.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "discovery/startup_scan.h"
#include "fuzz/fuzz_support.h"
#include "model/type_catalogue.h"
#include "property/commit_oracle.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quenbolt;
  using namespace quenbolt::hardening;
  static const TypeCatalogue catalogue;
  const std::string line(reinterpret_cast<const char*>(data), size);

  const std::vector<std::string> args = splitCommandLine("Quenbolt.exe " + line);
  FUZZ_CHECK(!args.empty() && args[0] == "Quenbolt.exe", "argument 0 is not the program");
  for (const std::string& arg : args) FUZZ_CHECK(!arg.empty(), "an empty argument");
  FUZZ_CHECK(args.size() <= line.size() / 2 + 2, "more arguments than separated words");

  SimulatedMachine machine;
  Platform platform = machine.platform();
  buildTwoDiskMachine(machine);
  PartitionList list;
  TempLetterList letters;
  scanWithTemporaryLetters(platform, catalogue, list, letters);
  const DiskSnapshots before = snapshotDisks(machine);
  machine.clearLogs();

  const CommandResult result = runCommandStep(platform, list, args);
  const DiskSnapshots after = snapshotDisks(machine);

  FUZZ_CHECK(result.exitStatus >= 0 && result.exitStatus <= 3, "exit status outside 0 to 3");
  FUZZ_CHECK(machine.openHandles() == 0, "a disk handle left open");
  if (result.exitStatus == kExitNotUnderstood || result.exitStatus == kExitNoSuchPartition) {
    FUZZ_CHECK(!result.ranApplyChanges, "refused, yet committed");
    FUZZ_CHECK(machine.diskLog(DiskOp::Write).empty() && before == after, "refused, yet written");
    FUZZ_CHECK(machine.calls(CallKind::SetLabel).empty(), "refused, yet a label set");
    FUZZ_CHECK(!result.errorLines.empty(), "refused without a word");
  }
  if (!result.ranApplyChanges) {
    FUZZ_CHECK(before == after, "a disk changed without a commit");
    return 0;
  }
  FUZZ_CHECK(result.exitStatus == (result.report.succeeded() ? kExitDone : kExitWriteFailed),
             "the exit status does not say whether every write succeeded");
  const CommitPlan plan = planCommit(list, before);
  const std::vector<std::string> problems =
      checkCommit(plan, before, after, reportedChangesOf(result.report), machine.diskLog(),
                  machine.calls(CallKind::SetLabel), machine.fileSystemWrites());
  FUZZ_CHECK(problems.empty(), problems.empty() ? std::string() : problems.front());
  return 0;
}

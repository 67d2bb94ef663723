// Random machines, random batch commands, random faults: whatever happens, a command changes only
// the bytes the oracle says it names, never writes after a failed or short read, and makes or
// reports every change (case i runs with seed QUENBOLT_PROPERTY_SEED + i, for
// QUENBOLT_PROPERTY_CASES cases; a failure names the seed to rerun alone). Then the fault matrix:
// every single disk access of a commit made to fail on its own.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "editing/apply_changes.h"
#include "support/oracle.h"
#include "support/standard_machine.h"

namespace quenbolt {
namespace {

std::uint64_t fromEnvironment(const char* name, std::uint64_t fallback) {
  const char* text = std::getenv(name);
  return text && *text ? std::strtoull(text, nullptr, 0) : fallback;
}

TEST(Property, BatchCommandsChangeOnlyWhatTheyNameAndMakeOrReportEveryChange) {
  const std::uint64_t first = fromEnvironment("QUENBOLT_PROPERTY_SEED", 0x5EED0001);
  int failed = 0;
  for (std::uint64_t seed = first; seed < first + fromEnvironment("QUENBOLT_PROPERTY_CASES", 2000) && failed < 3; ++seed) {
    SimulatedMachine machine;
    Platform platform = machine.platform();
    oracle::SeededChooser chooser(seed);
    oracle::buildRandomMachine(chooser, machine);
    PartitionList list;
    TempLetterList letters;
    scanWithTemporaryLetters(platform, TypeCatalogue(), list, letters);
    const std::vector<std::string> args = oracle::randomCommand(chooser, machine);
    const bool faults = chooser.chance(40);
    if (faults) oracle::plantFaults(chooser, machine);
    machine.log.clear();
    const SimulatedMachine before = machine;
    std::string line = "Quenbolt.exe";
    for (const std::string& arg : args) line += arg.find(' ') == std::string::npos ? " " + arg : " \"" + arg + "\"";
    const int status = runCommandStep(platform, list, splitCommandLine(line)).exitStatus;
    std::string problems;
    for (const std::string& p : oracle::checkBatchRun(before, machine, args, status, faults)) problems += "\n  " + p;
    EXPECT_EQ(problems, "") << "seed " << seed << " (rerun: QUENBOLT_PROPERTY_SEED=" << seed
                            << " QUENBOLT_PROPERTY_CASES=1): " << line << (faults ? " with faults" : "");
    failed += !problems.empty();
  }
}

// A commit of several changes on the standard machine, each in a sector of its own: run once to
// record its accesses; then, for each open, read and write of that record, again with exactly
// that access failing (a read or write also coming back short). The change that met the fault is
// reported with its reason and leaves its sector as it was; every other change lands as in the
// clean run; a batch command ends with status 1.
struct Scenario {
  const char* name;
  const char* command;  // nothing: edits staged in the window, then applyChanges
};

std::pair<ChangeReport, int> runScenario(standard::Bench& b, const Scenario& s) {
  if (s.command) {
    const CommandResult r = runCommandStep(b.platform, b.list, splitCommandLine(std::string("q ") + s.command));
    return {r.report, r.exitStatus};
  }
  b.list.rows[standard::rowE][kTypeIdColumn] = "1C";        // an EBR of disk 0
  b.list.rows[standard::rowG][kTypeIdColumn] = "0B";        // the MBR of disk 1
  b.list.rows[standard::rowH][kKindColumn] = kKindPrimaryActive;  // the MBR of disk 0
  b.list.rows[standard::rowF][kLabelColumn] = "NEWDATA";     // the system, then F's boot sector
  return {applyChanges(b.platform, b.list), -1};
}

class FaultMatrix : public testing::TestWithParam<Scenario> {};

TEST_P(FaultMatrix, EachFailingAccessLosesOnlyItsOwnChangeAndIsReported) {
  standard::Bench clean;
  ASSERT_TRUE(runScenario(clean, GetParam()).first.succeeded());
  const std::map<unsigned, DiskBytes> cleanAfter = clean.machine.contents();
  ASSERT_NE(cleanAfter, clean.before);
  struct Access { Fault fault; FailureReason reason; std::pair<unsigned, std::uint64_t> sector = {}; };
  std::vector<Access> accesses;
  std::map<std::string, unsigned> seen;  // how many accesses of a kind a fault's nth counts
  std::size_t firstOfSession = 0;
  for (const std::string& line : clean.machine.log) {
    const std::size_t blank = line.find(' ');
    const std::string device = line.substr(blank + 1, line.find(' ', blank + 1) - blank - 1);
    if (!std::isdigit(static_cast<unsigned char>(device[0])) && device.back() != ':') continue;
    const unsigned disk = device.back() == ':' ? clean.machine.volume(device[0])->disk : std::stoul(device);
    if (line.rfind("open ", 0) == 0) {
      firstOfSession = accesses.size();
      accesses.push_back({{FaultOn::OpenForWriting, kAnyOffset, -1, ++seen["open" + std::to_string(disk)]}, FailureReason::OpenFailed});
    } else if (const std::optional<LoggedAccess> a = parseAccess(line)) {
      const unsigned nth = ++seen[a->op + std::to_string(disk) + "@" + std::to_string(a->offset)];
      const FaultOn on = a->op == "read" ? FaultOn::Read : FaultOn::Write;
      const FailureReason reason = a->op == "read" ? FailureReason::ReadFailed : FailureReason::WriteFailed;
      accesses.push_back({{on, a->offset, -1, nth}, reason});
      accesses.push_back({{on, a->offset, a->op == "read" ? 100 : 64, nth}, reason});
      for (std::size_t i = firstOfSession; i < accesses.size(); ++i) accesses[i].sector = {disk, a->offset};
    }
  }
  for (const Access& access : accesses) {
    SCOPED_TRACE(std::to_string(static_cast<int>(access.fault.on)) + " at " + std::to_string(access.fault.offset) + " of disk " +
                 std::to_string(access.sector.first) + ", bytes " + std::to_string(access.fault.bytes) + ", number " +
                 std::to_string(access.fault.nth));
    standard::Bench b;
    b.machine.disks[access.sector.first].faults = {access.fault};
    const auto [report, status] = runScenario(b, GetParam());
    ASSERT_EQ(report.failures.size(), 1u) << "exactly the change that met the fault is reported";
    EXPECT_EQ(report.failures[0].reason, access.reason);
    EXPECT_TRUE(status < 0 || status == kExitWriteFailed) << status;
    std::map<unsigned, DiskBytes> expected = cleanAfter;
    const auto [disk, offset] = access.sector;
    const auto original = b.before.at(disk).find(offset / 512);
    if (original == b.before.at(disk).end()) expected[disk].erase(offset / 512);
    else expected[disk][offset / 512] = original->second;
    EXPECT_EQ(b.machine.contents(), expected) << "only the sector that met the fault is as before";
    EXPECT_EQ(b.machine.openHandles, 0u);
    EXPECT_EQ(oracle::writesWithoutFullRead(b.machine.log), std::vector<std::string>{});
  }
}

INSTANTIATE_TEST_SUITE_P(Commits, FaultMatrix,
                         testing::Values(Scenario{"StagedEdits", nullptr}, Scenario{"ReplaceTypes", "/F 07 0C"},
                                         Scenario{"LabelsOfAType", "/S 0B newlabel"}, Scenario{"ActiveFlag", "/A 1 2 1"}),
                         [](const testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quenbolt

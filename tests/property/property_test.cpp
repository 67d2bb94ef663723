// Random machines, random batch commands, random faults: a command changes only the bytes the
// oracle says it names, never writes after a failed or short read, and makes or reports every
// change (case i runs with seed QUENBOLT_PROPERTY_SEED + i, for QUENBOLT_PROPERTY_CASES cases; a
// failure names its seed). Then the fault matrix: each disk access of a commit failing alone.

#include <gtest/gtest.h>
#include <cstdlib>
#include <sstream>
#include "cli/command_line.h"
#include "cli/commands.h"
#include "editing/apply_changes.h"
#include "support/oracle.h"
#include "support/standard_machine.h"

namespace quenbolt {
namespace {
using namespace standard;

std::uint64_t setting(const char* name, std::uint64_t fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::strtoull(value, nullptr, 0) : fallback;
}

TEST(Property, BatchCommandsChangeOnlyWhatTheyNameAndMakeOrReportEveryChange) {
  const std::uint64_t first = setting("QUENBOLT_PROPERTY_SEED", 0x5EED0001);
  const std::uint64_t cases = setting("QUENBOLT_PROPERTY_CASES", 2000);
  for (std::uint64_t seed = first, failed = 0; seed < first + cases && failed < 3; ++seed) {
    SimulatedMachine machine;
    Platform platform = machine.platform();
    oracle::Chooser chooser = oracle::seeded(seed);
    oracle::buildRandomMachine(chooser, machine);
    PartitionList list;
    TempLetterList letters;
    scanWithTemporaryLetters(platform, TypeCatalogue(), list, letters);
    const std::vector<std::string> args = oracle::randomCommand(chooser, machine);
    // Faults: opens for writing, reads and writes (failing or short) of table sectors.
    std::vector<unsigned> unreadable;
    const std::vector<oracle::Part> parts = oracle::partsOf(machine, unreadable);
    const bool faults = !parts.empty() && chooser.chance(40);
    for (unsigned f = 0, n = faults ? 1 + chooser.below(3) : 0; f < n; ++f) {
      const oracle::Part& p = chooser.oneOf(parts);
      const FaultOn on = chooser.oneOf(
          std::vector<FaultOn>{FaultOn::OpenForWriting, FaultOn::Read, FaultOn::Write});
      machine.disks[p.disk].faults.push_back(
          {on, p.table, chooser.chance(50) ? -1 : long(chooser.below(512)), chooser.below(3)});
    }
    machine.log.clear();
    const SimulatedMachine before = machine;
    std::string line = "Quenbolt.exe";
    std::string problems;
    for (const std::string& arg : args) line += " " + arg;  // none holds a blank
    const int status = runCommandStep(platform, list, splitCommandLine(line)).exitStatus;
    for (const std::string& p : oracle::checkBatchRun(before, machine, args, status, faults))
      problems += "\n  " + p;
    EXPECT_EQ(problems, "") << "seed " << seed << ": " << line << (faults ? " with faults" : "");
    failed += !problems.empty();
  }
}

// A commit of several changes, each in a sector of its own, on the standard machine: run once to
// record its accesses; then again for each open, read and write of that record, with exactly that
// access failing (a read or write also coming back short). The change that met the fault is
// reported with its reason and leaves its sector as it was; every other change lands as in the
// clean run; a batch command ends with status 1. No command: edits staged in the window.
std::pair<ChangeReport, int> run(Bench& b, const char* command) {
  if (command) {
    const CommandResult r =
        runCommandStep(b.platform, b.list, splitCommandLine(std::string("q ") + command));
    return {r.report, r.exitStatus};
  }
  b.list.rows[rowE][kTypeIdColumn] = "1C";              // an EBR of disk 0
  b.list.rows[rowG][kTypeIdColumn] = "0B";              // the MBR of disk 1
  b.list.rows[rowH][kKindColumn] = kKindPrimaryActive;  // the MBR of disk 0
  b.list.rows[rowF][kLabelColumn] = "NEWDATA";          // F's boot sector
  return {applyChanges(b.platform, b.list), -1};
}

using Commit = std::pair<const char*, const char*>;  // name, command
class FaultMatrix : public testing::TestWithParam<Commit> {};

TEST_P(FaultMatrix, EachFailingAccessLosesOnlyItsOwnChangeAndIsReported) {
  Bench clean;
  ASSERT_TRUE(run(clean, GetParam().second).first.succeeded());
  const std::map<std::string, std::pair<FaultOn, FailureReason>> kinds{
      {"open", {FaultOn::OpenForWriting, FailureReason::OpenFailed}},
      {"read", {FaultOn::Read, FailureReason::ReadFailed}},
      {"write", {FaultOn::Write, FailureReason::WriteFailed}}};
  struct Access {
    Fault fault;
    FailureReason reason;
    unsigned disk;
    std::uint64_t sector = 0;
  };
  std::vector<Access> accesses;
  std::map<std::string, unsigned> seen;  // the accesses of a kind so far: what a fault's nth counts
  std::size_t session = 0;               // the first access of the latest open
  for (const std::string& line : clean.machine.log) {
    std::istringstream words(line);
    std::string op, device;
    std::uint64_t offset = 0;  // none in an open's line
    words >> op >> device >> std::hex >> offset;
    if (!kinds.count(op)) continue;
    const auto [on, reason] = kinds.at(op);
    const unsigned disk =
        device.back() == ':' ? clean.machine.volume(device[0])->disk : std::stoul(device);
    const std::uint64_t at = op == "open" ? kAnyOffset : offset;
    const unsigned nth = ++seen[op + std::to_string(disk) + "@" + std::to_string(at)];
    if (op == "open") session = accesses.size();
    accesses.push_back({{on, at, -1, nth}, reason, disk});
    if (op != "open") accesses.push_back({{on, at, op == "read" ? 100 : 64, nth}, reason, disk});
    for (std::size_t i = session; i < accesses.size(); ++i) accesses[i].sector = offset / 512;
  }
  ASSERT_GE(accesses.size(), 5u);
  for (const Access& access : accesses) {
    Bench b;
    b.machine.disks[access.disk].faults = {access.fault};
    const auto [report, status] = run(b, GetParam().second);
    // Only the sector that met the fault as before.
    std::map<unsigned, DiskBytes> expected = clean.machine.contents();
    expected[access.disk].erase(access.sector);
    if (b.before[access.disk].count(access.sector))
      expected[access.disk][access.sector] = b.before[access.disk][access.sector];
    // The disk, kind of access, offset, which of its kind, bytes (-1: none).
    const Fault& f = access.fault;
    const std::string what = testing::PrintToString(
        std::make_tuple(access.disk, static_cast<int>(f.on), hexText(f.offset), f.nth, f.bytes));
    ASSERT_EQ(report.failures.size(), 1u)
        << what << ": exactly the change that met the fault is reported";
    EXPECT_EQ(report.failures[0].reason, access.reason) << what;
    EXPECT_TRUE(status < 0 || status == kExitWriteFailed) << what;
    EXPECT_TRUE(b.machine.contents() == expected) << what;
    EXPECT_EQ(b.machine.openHandles + oracle::writesWithoutFullRead(b.machine.log).size(), 0u)
        << what;
  }
}

INSTANTIATE_TEST_SUITE_P(Commits, FaultMatrix,
                         testing::Values(Commit{"StagedEdits", nullptr},
                                         Commit{"ReplaceTypes", "/F 07 0C"},
                                         Commit{"LabelsOfAType", "/S 0B newlabel"},
                                         Commit{"ActiveFlag", "/A 1 2 1"}),
                         [](const auto& info) { return std::string(info.param.first); });
}  // namespace
}  // namespace quenbolt

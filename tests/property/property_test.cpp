// Random machines, random batch commands, random faults: a command changes only the bytes the
// oracle says it names, never writes after a failed or short read, and makes or reports every
// change (case i runs with seed QUENBOLT_PROPERTY_SEED + i, for QUENBOLT_PROPERTY_CASES cases; a
// failure names its seed). Then the fault matrix: each disk access of a commit failing alone.

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
using namespace standard;

std::uint64_t setting(const char* name, std::uint64_t fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::strtoull(value, nullptr, 0) : fallback;
}

TEST(Property, BatchCommandsChangeOnlyWhatTheyNameAndMakeOrReportEveryChange) {
  const std::uint64_t first = setting("QUENBOLT_PROPERTY_SEED", 0x5EED0001),
                      cases = setting("QUENBOLT_PROPERTY_CASES", 2000);
  for (std::uint64_t seed = first, failed = 0; seed < first + cases && failed < 3; ++seed) {
    SimulatedMachine machine;
    Platform platform = machine.platform();
    oracle::Chooser chooser = oracle::seeded(seed);
    oracle::buildRandomMachine(chooser, machine);
    PartitionList list;
    TempLetterList letters;
    scanWithTemporaryLetters(platform, TypeCatalogue(), list, letters);
    const std::vector<std::string> args = oracle::randomCommand(chooser, machine);
    std::vector<unsigned> unreadable;  // faults: opens for writing, reads and writes (failing or
                                       // short) of table sectors
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
    std::string line = "Quenbolt.exe", problems;
    for (const std::string& arg : args)
      line += arg.find(' ') == std::string::npos ? " " + arg : " \"" + arg + "\"";
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
// clean run; a batch command ends with status 1.
std::pair<ChangeReport, int> run(
    Bench& b, const char* command) {  // no command: edits staged in the window, then applyChanges
  if (command) {
    const CommandResult r =
        runCommandStep(b.platform, b.list, splitCommandLine(std::string("q ") + command));
    return {r.report, r.exitStatus};
  }
  b.list.rows[rowE][kTypeIdColumn] = "1C",
  b.list.rows[rowG][kTypeIdColumn] = "0B";  // an EBR of disk 0, the MBR of disk 1
  b.list.rows[rowH][kKindColumn] = kKindPrimaryActive,
  b.list.rows[rowF][kLabelColumn] = "NEWDATA";  // the MBR of disk 0; F's boot sector
  return {applyChanges(b.platform, b.list), -1};
}

class FaultMatrix : public testing::TestWithParam<const char*> {};

TEST_P(FaultMatrix, EachFailingAccessLosesOnlyItsOwnChangeAndIsReported) {
  Bench clean;
  ASSERT_TRUE(run(clean, GetParam()).first.succeeded());
  struct Access {
    Fault fault;
    FailureReason reason;
    unsigned disk;
    std::uint64_t sector = 0;
  };
  std::vector<Access> accesses;
  std::map<std::string, unsigned> seen;  // the accesses of a kind so far: what a fault's nth counts
  std::size_t session = 0;
  for (const std::string& line : clean.machine.log) {
    const std::string device =
        line.substr(line.find(' ') + 1, line.find(' ', line.find(' ') + 1) - line.find(' ') - 1);
    if (!std::isdigit(static_cast<unsigned char>(device[0])) && device.back() != ':') continue;
    const unsigned disk =
        device.back() == ':' ? clean.machine.volume(device[0])->disk : std::stoul(device);
    const std::optional<LoggedAccess> a = parseAccess(line);
    if (line.rfind("open ", 0) == 0) {
      session = accesses.size();
      accesses.push_back(
          {{FaultOn::OpenForWriting, kAnyOffset, -1, ++seen["open" + std::to_string(disk)]},
           FailureReason::OpenFailed,
           disk});
    } else if (a) {
      const Fault fault{a->op == "read" ? FaultOn::Read : FaultOn::Write, a->offset, -1,
                        ++seen[a->op + std::to_string(disk) + "@" + std::to_string(a->offset)]};
      const FailureReason reason =
          a->op == "read" ? FailureReason::ReadFailed : FailureReason::WriteFailed;
      accesses.push_back({fault, reason, disk});
      accesses.push_back(
          {{fault.on, fault.offset, a->op == "read" ? 100 : 64, fault.nth}, reason, disk});
      for (std::size_t i = session; i < accesses.size(); ++i) accesses[i].sector = a->offset / 512;
    }
  }
  ASSERT_GE(accesses.size(), 5u);
  for (const Access& access : accesses) {
    Bench b;
    b.machine.disks[access.disk].faults = {access.fault};
    const auto [report, status] = run(b, GetParam());
    std::map<unsigned, DiskBytes> expected =
        clean.machine.contents();  // only the sector that met the fault as before
    expected[access.disk].erase(access.sector);
    if (b.before[access.disk].count(access.sector))
      expected[access.disk][access.sector] = b.before[access.disk][access.sector];
    const Fault& f =
        access
            .fault;  // what: disk, kind of access, offset, which one of its kind, bytes (-1: fails)
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
                         testing::Values(nullptr, "/F 07 0C", "/S 0B newlabel", "/A 1 2 1"),
                         [](const auto& info) {
                           return std::string(
                               std::vector<const char*>{"StagedEdits", "ReplaceTypes",
                                                        "LabelsOfAType", "ActiveFlag"}[info.index]);
                         });
}  // namespace
}  // namespace quenbolt

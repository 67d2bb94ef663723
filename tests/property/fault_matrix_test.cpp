// Every single disk access of a commit, made to fail on its own. A commit with several changes
// (type IDs in the MBR and in EBRs on two disks, an active flag, a boot-sector label) on the
// machine of buildTwoDiskMachine is run once to record its accesses; then, for each open, read
// and write in that record, the same commit runs again with exactly that access failing (a read also coming back short). The change that
// met the fault is reported with the right reason and leaves its bytes as they were; every other
// change lands exactly as in the clean run; a batch command says so with exit status 1.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "discovery/startup_scan.h"
#include "editing/apply_changes.h"
#include "property/commit_oracle.h"
#include "property/random_machine.h"
#include "support/simulated_machine.h"

namespace quenbolt {
namespace hardening {
namespace {

constexpr std::uint64_t kSector = 512;
using namespace two_disks;

class Machine {
 public:
  Machine() : platform(machine.platform()) {
    buildTwoDiskMachine(machine);
    scanWithTemporaryLetters(platform, catalogue, list, letters);
    before = snapshotDisks(machine);
    machine.clearLogs();
  }

  // A change staged as "修改" stages it: the cells of the row.
  void stageType(std::size_t row, const std::string& id) {
    list.rows[row][kTypeIdColumn] = id;
    list.rows[row][kFormatNameColumn] = catalogue.NameOf(id);
  }

  SimulatedMachine machine;
  Platform platform;
  TypeCatalogue catalogue;
  PartitionList list;
  TempLetterList letters;
  DiskSnapshots before;
};

// What one run of a scenario gives back.
struct Outcome {
  ChangeReport report;
  int exitStatus = -1;  // batch scenarios only
};

struct Scenario {
  const char* name;
  std::function<Outcome(Machine&)> run;
};
// For test names: the scenario's name, not its bytes.
void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

Outcome commitStaged(Machine& m) {
  m.stageType(kRowC, "17");                        // MBR of disk 0
  m.stageType(kRowLogical, "1C");                  // EBR 1
  m.stageType(kRowF, "0B");                        // MBR of disk 1
  m.list.rows[kRowD][kKindColumn] = kKindPrimaryActive;  // MBR of disk 0 again
  m.list.rows[kRowD][kLabelColumn] = "NEWDATA";    // the system, then the boot sector
  Outcome outcome;
  outcome.report = applyChanges(m.platform, m.list);
  return outcome;
}

std::function<Outcome(Machine&)> batch(const std::string& arguments) {
  return [arguments](Machine& m) {
    CommandResult result = runCommandStep(m.platform, m.list, splitCommandLine("Quenbolt.exe " + arguments));
    Outcome outcome;
    outcome.report = result.report;
    outcome.exitStatus = result.exitStatus;
    return outcome;
  };
}

const Scenario kScenarios[] = {
    {"StagedEdits", commitStaged},
    {"ReplaceTypeOnBothDisks", batch("/F 07 17")},  // rows 0, 2 and 6
    {"LabelsOfOneType", batch("/S 0B newlabel")},   // rows 3 and 4: system and boot sector
    {"ActiveFlag", batch("/A 1 2 1")},
    {"TypeOfLogical", batch("/M 1 2 1c")},
};

// One disk access of the clean run, and the change it belonged to.
struct Access {
  DiskAccessRecord record;
  unsigned nth = 0;      // the how-manieth open of its disk, or access at its offset
  std::size_t change = 0;  // index of the open/close session, which is one change
};

enum class Fault { OpenFails, ReadFails, ReadShort, WriteFails };

const char* faultName(Fault fault) {
  switch (fault) {
    case Fault::OpenFails: return "open fails";
    case Fault::ReadFails: return "read fails";
    case Fault::ReadShort: return "read comes back short";
    case Fault::WriteFails: return "write fails";
  }
  return "?";
}

FailureReason reasonOf(Fault fault) {
  switch (fault) {
    case Fault::OpenFails: return FailureReason::OpenFailed;
    case Fault::ReadFails:
    case Fault::ReadShort: return FailureReason::ReadFailed;
    case Fault::WriteFails: return FailureReason::WriteFailed;
  }
  return FailureReason::OpenFailed;
}

std::vector<Access> accessesOf(const std::vector<DiskAccessRecord>& log) {
  std::vector<Access> accesses;
  std::map<unsigned, unsigned> opens;
  std::map<std::pair<unsigned, std::uint64_t>, unsigned> reads;
  std::map<std::pair<unsigned, std::uint64_t>, unsigned> writes;
  std::size_t session = 0;
  for (const DiskAccessRecord& record : log) {
    Access access;
    access.record = record;
    switch (record.op) {
      case DiskOp::Open: access.nth = ++opens[record.disk]; break;
      case DiskOp::Read: access.nth = ++reads[{record.disk, record.offset}]; break;
      case DiskOp::Write: access.nth = ++writes[{record.disk, record.offset}]; break;
      case DiskOp::Close: ++session; continue;
    }
    access.change = session;
    accesses.push_back(access);
  }
  return accesses;
}

void plant(SimulatedMachine& machine, const Access& access, Fault fault) {
  SimulatedDisk& disk = machine.disk(access.record.disk);
  switch (fault) {
    case Fault::OpenFails: disk.failOpen(OpenFault::AnyAccess, access.nth); break;
    case Fault::ReadFails: disk.failRead(access.record.offset, access.nth); break;
    case Fault::ReadShort: disk.shortRead(access.record.offset, 100, access.nth); break;
    case Fault::WriteFails: disk.failWrite(access.record.offset, access.nth); break;
  }
}

// `clean` with the bytes of `write` set back to what `before` holds there: the disks when that
// one change did not happen and every other one did.
DiskSnapshots withoutWrite(const DiskSnapshots& clean, const DiskSnapshots& before,
                           const PlannedWrite& write) {
  DiskSnapshots expected = clean;
  for (std::size_t i = 0; i < write.bytes.size(); ++i) {
    const std::uint64_t offset = write.offset + i;
    const std::uint64_t index = offset / kSector;
    auto original = before.at(write.disk).sectors.find(index);
    const std::uint8_t value = original == before.at(write.disk).sectors.end() ? 0 : original->second[offset % kSector];
    std::map<std::uint64_t, Sector>& sectors = expected.at(write.disk).sectors;
    Sector sector = sectors.count(index) ? sectors[index] : Sector{};
    sector[offset % kSector] = value;
    sectors[index] = sector;
    if (sector == Sector{}) sectors.erase(index);  // snapshots keep no zero sectors
  }
  return expected;
}

class FaultMatrix : public testing::TestWithParam<Scenario> {};

TEST_P(FaultMatrix, EachFailingAccessLosesOnlyItsOwnChangeAndIsReported) {
  const Scenario& scenario = GetParam();

  Machine clean;
  const Outcome cleanOutcome = scenario.run(clean);
  ASSERT_TRUE(cleanOutcome.report.succeeded()) << "the clean run must make every change";
  if (cleanOutcome.exitStatus >= 0) {
    ASSERT_EQ(cleanOutcome.exitStatus, kExitDone);
  }
  const DiskSnapshots cleanAfter = snapshotDisks(clean.machine);
  ASSERT_NE(cleanAfter, clean.before) << "the clean run must change something";
  const std::vector<Access> accesses = accessesOf(clean.machine.diskLog());
  const CommitPlan plan = planCommit(clean.list, clean.before);

  // The sector each open/close session read (and wrote): one change each.
  std::vector<std::pair<unsigned, std::uint64_t>> sessionSector;
  for (const Access& access : accesses) {
    if (access.record.op != DiskOp::Read) continue;
    if (sessionSector.size() <= access.change) sessionSector.resize(access.change + 1);
    sessionSector[access.change] = {access.record.disk, access.record.offset};
  }

  unsigned cases = 0;
  for (const Access& access : accesses) {
    std::vector<Fault> faults;
    switch (access.record.op) {
      case DiskOp::Open: faults = {Fault::OpenFails}; break;
      case DiskOp::Read: faults = {Fault::ReadFails, Fault::ReadShort}; break;
      case DiskOp::Write: faults = {Fault::WriteFails}; break;
      case DiskOp::Close: break;
    }
    for (Fault fault : faults) {
      ++cases;
      SCOPED_TRACE(std::string(faultName(fault)) + ": access " +
                   (access.record.op == DiskOp::Open ? "open" : "at offset " + std::to_string(access.record.offset)) +
                   " of disk " + std::to_string(access.record.disk) + ", number " +
                   std::to_string(access.nth) + ", change " + std::to_string(access.change));
      Machine m;
      plant(m.machine, access, fault);
      const Outcome outcome = scenario.run(m);

      ASSERT_EQ(outcome.report.failures.size(), 1u) << "exactly the one change is reported";
      const ChangeFailure& failure = outcome.report.failures.front();
      EXPECT_EQ(failure.reason, reasonOf(fault));
      if (outcome.exitStatus >= 0) {
        EXPECT_EQ(outcome.exitStatus, kExitWriteFailed);
      }

      // The failure names the change of the session that met the fault; its bytes are as before
      // and everything else is as after the clean run.
      const PlannedWrite* lost = nullptr;
      for (const PlannedWrite& write : plan.writes) {
        if (write.row == failure.row && write.kind == failure.kind) lost = &write;
      }
      ASSERT_NE(lost, nullptr) << "the failure names a change that was not staged";
      EXPECT_EQ(std::make_pair(lost->disk, lost->sector), sessionSector.at(access.change))
          << "the failure names another change than the one that met the fault";
      EXPECT_EQ(snapshotDisks(m.machine), withoutWrite(cleanAfter, m.before, *lost));
      EXPECT_EQ(m.machine.openHandles(), 0u);
      EXPECT_TRUE(checkWritesFollowFullReads(m.machine.diskLog()).empty());
    }
  }
  std::printf("[ matrix   ] %s: %u accesses, %u faults\n", scenario.name,
              static_cast<unsigned>(accesses.size()), cases);
  RecordProperty("faults", std::to_string(cases));
}

// A volume that refuses its label is the one failure that is no disk access: the boot-sector
// copy is still written, and the refusal is reported.
TEST(FaultMatrixLabel, ARefusedVolumeLabelIsReportedAndTheBootSectorStillWritten) {
  Machine m;
  m.machine.volume('D')->refusesLabel = true;
  const Outcome outcome = batch("/S 0B newlabel")(m);
  ASSERT_EQ(outcome.report.failures.size(), 1u);
  EXPECT_EQ(outcome.report.failures.front().row, std::size_t{kRowD});
  EXPECT_EQ(outcome.report.failures.front().reason, FailureReason::LabelRefused);
  EXPECT_EQ(outcome.exitStatus, kExitWriteFailed);
  EXPECT_EQ(m.machine.disk(0).bytes(kBootD + 0x47, 11), std::vector<std::uint8_t>({'N', 'E', 'W', 'L', 'A', 'B', 'E', 'L', ' ', ' ', ' '}));
  EXPECT_EQ(m.machine.disk(0).bytes(kBootE + 0x47, 11), std::vector<std::uint8_t>({'N', 'E', 'W', 'L', 'A', 'B', 'E', 'L', ' ', ' ', ' '}));
}

INSTANTIATE_TEST_SUITE_P(Commits, FaultMatrix, testing::ValuesIn(kScenarios),
                         [](const testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hardening
}  // namespace quenbolt

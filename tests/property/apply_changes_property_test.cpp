// Random machines (sound, broken and hostile tables), random faults, random batch commands and
// random edits staged through the main window: whatever happens, a commit changes only bytes
// that were asked for, never writes after a failed or short read, and reports every change it
// could not make.
//
// Repeatable: case i runs with seed QUENBOLT_PROPERTY_SEED + i (default seed below), for
// QUENBOLT_PROPERTY_CASES cases. A failure names its seed; rerun that one case with
//   QUENBOLT_PROPERTY_SEED=<seed> QUENBOLT_PROPERTY_CASES=1 .../property_tests
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/fake_main_window_view.h"
#include "app/main_window_presenter.h"
#include "app/main_window_state.h"
#include "app/startup.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "discovery/startup_scan.h"
#include "model/disk_layout.h"
#include "model/gbk_text.h"
#include "property/commit_oracle.h"
#include "property/random_machine.h"

namespace quenbolt {
namespace hardening {
namespace {

constexpr std::uint64_t kDefaultSeed = 0x5EED0001;
constexpr std::uint64_t kDefaultCases = 600;
// One failing seed is enough to work on; a flood of them only hides the first.
constexpr int kMaxReportedFailures = 3;

std::uint64_t envNumber(const char* name, std::uint64_t fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  return std::strtoull(text, nullptr, 0);
}

std::uint64_t firstSeed() { return envNumber("QUENBOLT_PROPERTY_SEED", kDefaultSeed); }
std::uint64_t caseCount() { return envNumber("QUENBOLT_PROPERTY_CASES", kDefaultCases); }

// Bytes as they can be shown in a failure message.
std::string printable(const std::string& text) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kDigits[c >> 4];
      out += kDigits[c & 0xF];
    }
  }
  return out;
}

// What the cases did, printed with QUENBOLT_PROPERTY_STATS=1, to see that they reach the paths
// they are meant to reach.
struct Tally {
  std::map<std::string, unsigned> counts;
  void add(const std::string& what) { ++counts[what]; }
  void printIfAsked(const char* title) const {
    if (std::getenv("QUENBOLT_PROPERTY_STATS") == nullptr) return;
    std::printf("%s\n", title);
    for (const auto& [what, count] : counts) std::printf("  %6u  %s\n", count, what.c_str());
  }
};

void tallyCommit(Tally& tally, const SimulatedMachine& machine, const ChangeReport* report) {
  unsigned writes = 0;
  unsigned failedReads = 0;
  for (const DiskAccessRecord& record : machine.diskLog()) {
    writes += record.op == DiskOp::Write;
    failedReads += record.op == DiskOp::Read && !record.ok;
  }
  tally.add(writes == 0 ? "commits writing nothing" : "commits writing sectors");
  if (failedReads > 0) tally.add("commits meeting a failed or short read");
  if (report == nullptr) return;
  for (const ChangeFailure& failure : report->failures) {
    tally.add("reported failure, reason " + std::to_string(static_cast<int>(failure.reason)));
  }
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "\n  " + line;
  return text;
}

// The scan's own promises, whatever the disks hold.
std::vector<std::string> checkScannedList(const PartitionList& list, unsigned disks) {
  std::vector<std::string> problems;
  const std::size_t n = list.size();
  if (list.TableSectorOffset.size() != n || list.TypeByteOffset.size() != n ||
      list.BootSectorOffsetText.size() != n || list.ScannedTypeId.size() != n ||
      list.ScannedLabel.size() != n) {
    problems.push_back("a store beside the list does not hold one value per row");
  }
  if (n > disks * (4 + kMaxEbrReadsPerDisk)) problems.push_back("more rows than the walk may make");
  for (const PrimaryRecord& record : list.PrimaryList) {
    if (record.row >= n) problems.push_back("a PrimaryRecord names no row");
  }
  for (const LogicalRecord& record : list.LogicalList) {
    if (record.row >= n) problems.push_back("a LogicalRecord names no row");
  }
  return problems;
}

class ApplyChangesProperty : public testing::Test {
 protected:
  // Runs `runCase` for every seed, stopping once a few have failed.
  template <typename Case>
  void forEachSeed(Case runCase) {
    const std::uint64_t seed0 = firstSeed();
    const std::uint64_t cases = caseCount();
    int failures = 0;
    for (std::uint64_t i = 0; i < cases && failures < kMaxReportedFailures; ++i) {
      const std::uint64_t seed = seed0 + i;
      SCOPED_TRACE("seed " + std::to_string(seed) + " (rerun: QUENBOLT_PROPERTY_SEED=" +
                   std::to_string(seed) + " QUENBOLT_PROPERTY_CASES=1)");
      runCase(seed);
      if (HasFailure()) ++failures;
    }
    RecordProperty("cases", std::to_string(cases));
  }
};

TEST_F(ApplyChangesProperty, BatchCommandsChangeOnlyWhatTheyAskAndReportEveryFailure) {
  Tally tally;
  forEachSeed([&tally](std::uint64_t seed) {
    SimulatedMachine machine;
    Platform platform = machine.platform();
    SeededChooser chooser(seed);
    buildRandomMachine(chooser, machine);

    TypeCatalogue catalogue;
    PartitionList list;
    TempLetterList letters;
    scanWithTemporaryLetters(platform, catalogue, list, letters);
    const std::vector<std::string> shape = checkScannedList(list, 4);
    EXPECT_TRUE(shape.empty()) << joined(shape);

    std::vector<std::size_t> targets;
    const std::string line = randomCommandLine(chooser, list, targets);
    const std::vector<std::string> faults = plantRandomFaults(chooser, machine, list, targets);
    SCOPED_TRACE("command line: " + printable(line) + "; faults:" + joined(faults));

    const DiskSnapshots before = snapshotDisks(machine);
    machine.clearLogs();
    const CommandResult result =
        runCommandStep(platform, list, splitCommandLine("Quenbolt.exe " + line));
    const DiskSnapshots after = snapshotDisks(machine);

    ASSERT_GE(result.exitStatus, 0);
    ASSERT_LE(result.exitStatus,
              list.unreadableDisks.empty() ? kExitNoSuchPartition : kExitDiskUnreadable);
    tally.add("exit status " + std::to_string(result.exitStatus));
    tally.add(std::to_string(list.size() < 8 ? list.size() : 8) + (list.size() < 8 ? "" : "+") + " rows");
    if (result.ranApplyChanges) tallyCommit(tally, machine, &result.report);
    EXPECT_EQ(machine.openHandles(), 0u);
    if (result.exitStatus == kExitNotUnderstood || result.exitStatus == kExitNoSuchPartition) {
      EXPECT_FALSE(result.ranApplyChanges);
      EXPECT_TRUE(machine.diskLog(DiskOp::Write).empty()) << "written although refused";
      EXPECT_TRUE(machine.calls(CallKind::SetLabel).empty()) << "label set although refused";
      EXPECT_EQ(before, after);
      EXPECT_FALSE(result.errorLines.empty()) << "refused without a word";
      return;
    }
    if (!result.ranApplyChanges) {
      EXPECT_EQ(before, after);
      return;
    }
    // "/F" and "/S" answer for every disk, so also for those the scan could not read.
    const std::string word = upperCased(splitCommandLine("q " + line).at(1));
    const bool everyDisk = word == "/F" || word == "/S";
    const int done = everyDisk && !list.unreadableDisks.empty() ? kExitDiskUnreadable : kExitDone;
    EXPECT_EQ(result.exitStatus, result.report.succeeded() ? done : kExitWriteFailed);
    EXPECT_GE(result.errorLines.size(), result.report.failures.size());

    const CommitPlan plan = planCommit(list, before);
    const std::vector<std::string> problems =
        checkCommit(plan, before, after, reportedChangesOf(result.report), machine.diskLog(),
                    machine.calls(CallKind::SetLabel), machine.fileSystemWrites());
    EXPECT_TRUE(problems.empty()) << joined(problems);
  });
  tally.printIfAsked("batch cases:");
}

// The (row, kind) pairs that the failure box lists, or nothing when one of its lines could name
// more than one staged change.
std::optional<ReportedChanges> reportedInMessageBox(const SimulatedMachine& machine,
                                                    const PartitionList& list,
                                                    const CommitPlan& plan,
                                                    std::vector<std::string>& problems) {
  ReportedChanges reported;
  if (machine.messageBoxes().empty()) return reported;
  if (machine.messageBoxes().size() != 1) problems.push_back("more than one failure box");
  const std::string& text = machine.messageBoxes().front().text;
  static const FailureReason kReasons[] = {
      FailureReason::NotHexTypeId, FailureReason::OpenFailed,   FailureReason::ReadFailed,
      FailureReason::TableChanged, FailureReason::WriteFailed,  FailureReason::LabelRefused,
      FailureReason::NotFat32,     FailureReason::NoDriveLetter, FailureReason::GptEntry,
      FailureReason::ProtectiveType};
  bool ambiguous = false;
  std::size_t start = text.find("\r\n");
  if (start == std::string::npos) problems.push_back("a failure box that lists no failure");
  while (start != std::string::npos) {
    start += 2;
    const std::size_t end = text.find("\r\n", start);
    const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    ReportedChanges named;
    for (const auto& change : plan.pending) {
      for (FailureReason reason : kReasons) {
        if (describeFailure(list, ChangeFailure{change.first, change.second, reason}) == line) {
          named.insert(change);
        }
      }
    }
    if (named.empty()) problems.push_back("the failure box names no staged change: " + printable(line));
    ambiguous = ambiguous || named.size() > 1;
    reported.insert(named.begin(), named.end());
    start = end;
  }
  if (ambiguous) return std::nullopt;
  return reported;
}

TEST_F(ApplyChangesProperty, EditsStagedInTheWindowChangeOnlyWhatTheyAskAndReportEveryFailure) {
  Tally tally;
  forEachSeed([&tally](std::uint64_t seed) {
    SimulatedMachine machine;
    Platform platform = machine.platform();
    SeededChooser chooser(seed);
    buildRandomMachine(chooser, machine);

    MainWindowState state;
    FakeMainWindowView view;
    MainWindowPresenter presenter(platform, view, state);
    view.attach(presenter);
    state.args = {"Quenbolt.exe"};
    runHelpStep(platform, state);
    runStartup(platform, view, state);
    PartitionList& list = state.list;
    const std::vector<std::string> shape = checkScannedList(list, 4);
    EXPECT_TRUE(shape.empty()) << joined(shape);

    std::vector<std::string> edits;
    std::vector<std::size_t> edited;
    static const char kTypeKeys[] = "0123456789ABCDEFabcdefG\b";
    const unsigned editCount = list.size() == 0 ? 0 : 1 + chooser.below(4);
    for (unsigned e = 0; e < editCount; ++e) {
      const std::size_t row = chooser.below(static_cast<std::uint32_t>(list.size()));
      view.clickRow(row);
      edited.push_back(row);
      std::string edit = "row " + std::to_string(row);
      switch (chooser.below(4)) {
        case 0: {
          std::string keys(chooser.below(4), ' ');
          for (char& key : keys) key = kTypeKeys[chooser.below(sizeof kTypeKeys - 1)];
          view.retypeTypeId(keys);
          edit += " typed type \"" + printable(keys) + "\"";
          break;
        }
        case 1:
          view.chooseTypeChoice(chooser.below(static_cast<std::uint32_t>(view.typeChoiceCount())));
          edit += " chose type " + view.typeIdText();
          break;
        case 2:
          view.retypeTypeId("");
          edit += " emptied type";
          break;
        default:
          break;
      }
      if (view.labelEnabled() && chooser.chance(50)) {
        const std::string label = randomLabel(chooser);
        view.setLabelText(label);
        edit += " label \"" + printable(label) + "\"";
      }
      if (view.activeEnabled() && chooser.chance(50)) {
        const bool active = chooser.chance(50);
        view.setActiveByUser(active);
        edit += active ? " active" : " not active";
      }
      if (chooser.chance(8)) {
        // The check box drops staged labels; it reads boot sectors but writes nothing.
        view.bootLabelFirst = !view.bootLabelFirst;
        presenter.bootLabelFirstClicked();
        edit += " clicked the boot-label box";
      }
      view.clickModify();
      edits.push_back(edit);
    }
    const std::vector<std::string> faults = plantRandomFaults(chooser, machine, list, edited);
    SCOPED_TRACE("edits:" + joined(edits) + "\nfaults:" + joined(faults));

    const DiskSnapshots before = snapshotDisks(machine);
    machine.clearLogs();
    presenter.confirmChanges();
    const DiskSnapshots after = snapshotDisks(machine);
    EXPECT_EQ(machine.openHandles(), 0u);
    EXPECT_GE(machine.closeRequests(), 1u);

    const CommitPlan plan = planCommit(list, before);
    std::vector<std::string> problems;
    const std::optional<ReportedChanges> reported = reportedInMessageBox(machine, list, plan, problems);
    for (std::string& problem : checkCommit(plan, before, after, reported, machine.diskLog(),
                                            machine.calls(CallKind::SetLabel), machine.fileSystemWrites())) {
      problems.push_back(std::move(problem));
    }
    EXPECT_TRUE(problems.empty()) << joined(problems);
    tallyCommit(tally, machine, nullptr);
    tally.add(machine.messageBoxes().empty() ? "no failure box" : "failure box");
    if (!reported) tally.add("failure box naming two changes alike");
  });
  tally.printIfAsked("window cases:");
}

}  // namespace
}  // namespace hardening
}  // namespace quenbolt

#include "app/startup.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "main_window_fixture.h"

namespace quenbolt {
namespace {

// One view call and how far the machine's journal and disk log were at that moment.
struct Moment {
  std::string event;
  std::size_t journal;
  std::size_t diskAccesses;
};

class StartupTest : public MainWindowTest {
 protected:
  StartupTest() {
    view.onEvent = [this](const std::string& event) {
      moments.push_back({event, machine.journal().size(), machine.diskLog().size()});
    };
  }

  const Moment& moment(const std::string& event) const {
    auto it = std::find_if(moments.begin(), moments.end(),
                           [&](const Moment& m) { return m.event == event; });
    EXPECT_NE(it, moments.end()) << "no " << event;
    static const Moment none{};
    return it == moments.end() ? none : *it;
  }
  bool happened(const std::string& event) const {
    return std::any_of(moments.begin(), moments.end(),
                       [&](const Moment& m) { return m.event == event; });
  }
  std::vector<std::string> events() const {
    std::vector<std::string> names;
    for (const Moment& m : moments) {
      if (names.empty() || names.back() != m.event) names.push_back(m.event);
    }
    return names;
  }
  std::size_t journalIndex(const std::string& line) const {
    const auto& journal = machine.journal();
    return static_cast<std::size_t>(std::find(journal.begin(), journal.end(), line) - journal.begin());
  }

  std::vector<Moment> moments;
};

TEST_F(StartupTest, WithoutArgumentsTheWindowShowsBeforeTheScanAndEndsWithRowZeroInTheEditor) {
  const CommandResult result = start();

  EXPECT_EQ(events(), (std::vector<std::string>{"menuItem", "showWindow", "addTypeChoice",
                                                "showRows 4", "selectRow 0"}));
  EXPECT_EQ(moment("showWindow").diskAccesses, 0u) << "shown empty, before the first scan";
  EXPECT_EQ(moment("addTypeChoice").diskAccesses, 0u);
  EXPECT_EQ(view.typeChoiceCount(), state.catalogue->ids().size());
  EXPECT_EQ(view.typeChoiceText(0), state.catalogue->typeChoiceEntries()[0]);

  // Scan, letters, scan: the row of the unlettered partition shows its temporary letter.
  EXPECT_LT(journalIndex("define E: \\Device\\Harddisk0\\Partition2 ok"), moment("showRows 4").journal);
  EXPECT_EQ(row(kRowHidden)[kDriveLetterColumn], "E");
  EXPECT_EQ(view.displayedRows.at(kRowHidden)[kDriveLetterColumn], "E");

  EXPECT_EQ(view.selectedRow(), 0);
  EXPECT_EQ(view.filledRows, std::vector<std::size_t>{0});
  EXPECT_EQ(view.typeIdText(), "0C");
  EXPECT_EQ(view.labelText(), "SYSTEM");
  EXPECT_EQ(machine.statusText(), "Offset: 000000100000");

  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(machine.closeRequests(), 0u) << "the window stays until the user closes it";
  EXPECT_TRUE(machine.messageBoxes().empty());
  EXPECT_TRUE(machine.diskLog(DiskOp::Write).empty());
}

TEST_F(StartupTest, TheWindowMenuGetsASeparatorHelpAndACheckedAbout) {
  start();
  ASSERT_EQ(view.menuItems.size(), 3u);
  EXPECT_EQ(view.menuItems[0].flags, 0x800u);
  EXPECT_EQ(view.menuItems[1].text, "命令行参数(&P)");
  EXPECT_EQ(view.menuItems[1].id, 0x402u);
  EXPECT_EQ(view.menuItems[1].flags, 0u);
  EXPECT_EQ(view.menuItems[2].text, "关于(&A)...");
  EXPECT_EQ(view.menuItems[2].id, 0x401u);
  EXPECT_EQ(view.menuItems[2].flags, 0x8u);
}

TEST_F(StartupTest, AnyArgumentKeepsTheWindowHiddenAndOneArgumentEndsTheRun) {
  start({"Quenbolt.exe", "/X"});
  EXPECT_FALSE(happened("showWindow"));
  EXPECT_EQ(state.list.size(), 4u) << "start-up still scans";
  EXPECT_EQ(machine.closeRequests(), 1u);
  EXPECT_TRUE(machine.messageBoxes().empty());
  EXPECT_TRUE(machine.diskLog(DiskOp::Write).empty());
}

TEST_F(StartupTest, ALoneHelpSwitchShowsTheHelpBoxBeforeAnythingElse) {
  for (const char* word : {"/?", "/h"}) {
    SCOPED_TRACE(word);
    moments.clear();
    machine.clearLogs();
    start({"Quenbolt.exe", word});
    ASSERT_EQ(machine.messageBoxes().size(), 1u);
    EXPECT_EQ(machine.messageBoxes()[0].caption, "命令行参数");
    EXPECT_EQ(machine.messageBoxes()[0].style, 0x20u);
    EXPECT_EQ(machine.messageBoxes()[0].text, state.commandLineHelp);
    EXPECT_EQ(journalIndex("messageBox 命令行参数|" + state.commandLineHelp + "|0x20"), 0u);
    EXPECT_EQ(machine.journal().at(1), "requestClose") << "queued once the box is closed";
    EXPECT_FALSE(happened("showWindow"));
    EXPECT_TRUE(machine.diskLog(DiskOp::Write).empty());
  }
}

TEST_F(StartupTest, TheHelpSwitchWithAnotherArgumentShowsNothing) {
  start({"Quenbolt.exe", "/?", "x"});
  EXPECT_TRUE(machine.messageBoxes().empty());
  EXPECT_FALSE(happened("showWindow"));
  EXPECT_GE(machine.closeRequests(), 1u);
}

TEST_F(StartupTest, TheOldWindowsFamilyQueuesACloseButStartUpGoesOn) {
  machine.setRawVersion(0x80000004);  // bit 31, major version 4
  start();
  EXPECT_EQ(machine.closeRequests(), 1u);
  EXPECT_TRUE(happened("showWindow"));
  EXPECT_EQ(state.list.size(), 4u);
}

TEST_F(StartupTest, NtVersionsAndWin32sDoNotEndTheRun) {
  machine.setRawVersion(0x00000004);  // NT 4: no bit 31
  start();
  EXPECT_EQ(machine.closeRequests(), 0u);
  machine.setRawVersion(0x80000003);  // Win32s on Windows 3.x: bit 31, major version 3
  start();
  EXPECT_EQ(machine.closeRequests(), 0u);
}

TEST_F(StartupTest, ABatchCommandWritesWithoutAWindowAndTheCloseRemovesTheLettersOnce) {
  const CommandResult result = start({"Quenbolt.exe", "/M", "1", "3", "17"});
  EXPECT_FALSE(happened("showWindow"));
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_TRUE(result.ranApplyChanges);
  EXPECT_EQ(machine.disk(0).byte(0x1C2 + 2 * 16), 0x17) << "partition 3 is the slot-2 primary";
  EXPECT_EQ(machine.closeRequests(), 2u) << "applyChanges' and the command step's";

  // The queued close requests each reach the close handler; the letters go only once.
  ASSERT_EQ(machine.definedNames(), std::vector<std::string>{"E:"});
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(presenter.closeRequested());
  EXPECT_TRUE(machine.definedNames().empty());
  EXPECT_EQ(machine.calls(CallKind::RemoveName).size(), 1u);
}

TEST_F(StartupTest, AFailedBatchWriteIsAFailureStatusWithItsReason) {
  machine.disk(0).failOpen(OpenFault::ReadWriteOnly);
  const CommandResult result = start({"Quenbolt.exe", "/M", "1", "3", "17"});
  EXPECT_NE(result.exitStatus, 0);
  EXPECT_FALSE(result.errorLines.empty());
  EXPECT_TRUE(machine.messageBoxes().empty()) << "batch runs report on the error stream only";
}

TEST_F(StartupTest, NoReadableDiskLeavesTheListAndTheEditorEmpty) {
  machine.setDiskCount(0);
  start();
  EXPECT_TRUE(happened("showWindow"));
  EXPECT_EQ(state.list.size(), 0u);
  EXPECT_FALSE(happened("selectRow 0"));
  EXPECT_EQ(view.selectedRow(), -1);
  EXPECT_EQ(view.typeIdText(), "");
  presenter.keepSelection();  // a click on the empty list
  EXPECT_EQ(view.selectedRow(), -1);
}

}  // namespace
}  // namespace quenbolt

#include "app/startup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <tuple>
#include <utility>

#include "main_window_fixture.h"

namespace quenbolt {
namespace {

class StartupTest : public MainWindowTest {
 protected:
  StartupTest() {
    view.onEvent = [this](const std::string& event) {
      if (events.empty() || events.back() != event) events.push_back(event);
      diskAccessesAt.emplace(event, machine.diskLog().size());
    };
  }

  bool happened(const std::string& event) const {
    return std::find(events.begin(), events.end(), event) != events.end();
  }

  // The view calls in order, repeats folded, and how far the machine had got at the first of each.
  std::vector<std::string> events;
  std::map<std::string, std::size_t> diskAccessesAt;
};

TEST_F(StartupTest, WithoutArgumentsTheWindowShowsBeforeTheScanAndEndsWithRowZeroInTheEditor) {
  const CommandResult result = start();

  EXPECT_EQ(events, (std::vector<std::string>{"menuItem", "showWindow", "addTypeChoice",
                                              "showRows 4", "selectRow 0"}));
  EXPECT_EQ(diskAccessesAt["addTypeChoice"], 0u) << "shown and filled in before the first scan";
  EXPECT_EQ(view.typeChoiceCount(), state.catalogue->ids().size());
  EXPECT_EQ(view.typeChoiceText(0), state.catalogue->typeChoiceEntries()[0]);

  // Scan, letters, scan: the row of the unlettered partition shows its temporary letter.
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

  // The window menu: a separator, the help item and a checked About item.
  ASSERT_EQ(view.menuItems.size(), 3u);
  EXPECT_EQ(view.menuItems[0].flags, 0x800u);
  EXPECT_EQ(std::make_tuple(view.menuItems[1].text, view.menuItems[1].id, view.menuItems[1].flags),
            std::make_tuple(std::string("命令行参数(&P)"), 0x402u, 0u));
  EXPECT_EQ(std::make_tuple(view.menuItems[2].text, view.menuItems[2].id, view.menuItems[2].flags),
            std::make_tuple(std::string("关于(&A)..."), 0x401u, 0x8u));
}

TEST_F(StartupTest, AnyArgumentKeepsTheWindowHiddenAndOneArgumentEndsTheRun) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"Quenbolt.exe", "/X"}, {"Quenbolt.exe", "/?", "x"}}) {
    SCOPED_TRACE(args[1]);
    machine.clearLogs();
    start(args);
    EXPECT_FALSE(happened("showWindow"));
    EXPECT_EQ(state.list.size(), 4u) << "start-up still scans";
    EXPECT_EQ(machine.closeRequests(), 1u);
    EXPECT_TRUE(machine.messageBoxes().empty()) << "help only for a lone help switch";
    EXPECT_TRUE(machine.diskLog(DiskOp::Write).empty());
  }
}

TEST_F(StartupTest, ALoneHelpSwitchShowsTheHelpBoxBeforeAnythingElse) {
  for (const char* word : {"/?", "/h"}) {
    SCOPED_TRACE(word);
    machine.clearLogs();
    start({"Quenbolt.exe", word});
    ASSERT_EQ(machine.messageBoxes().size(), 1u);
    ASSERT_GE(machine.journal().size(), 2u);
    EXPECT_EQ(machine.journal()[0], "messageBox 命令行参数|" + state.commandLineHelp + "|0x20");
    EXPECT_EQ(machine.journal()[1], "requestClose") << "queued once the box is closed";
    EXPECT_FALSE(happened("showWindow"));
    EXPECT_TRUE(machine.diskLog(DiskOp::Write).empty());
  }
}

TEST_F(StartupTest, OnlyTheOldWindowsFamilyQueuesACloseAndStartUpGoesOnRegardless) {
  // GetVersion: bit 31 and major version 4 is that family; NT 4 and Win32s on 3.x are not.
  for (const auto& [version, closes] : {std::pair<std::uint32_t, std::size_t>{0x80000004, 1},
                                        {0x00000004, 0}, {0x80000003, 0}}) {
    SCOPED_TRACE(version);
    machine.setRawVersion(version);
    machine.clearLogs();
    events.clear();
    start();
    EXPECT_EQ(machine.closeRequests(), closes);
    EXPECT_TRUE(happened("showWindow"));
    EXPECT_EQ(state.list.size(), 4u);
  }
}

TEST_F(StartupTest, ABatchCommandWritesWithoutAWindowAndTheCloseRemovesTheLettersOnce) {
  const CommandResult result = start({"Quenbolt.exe", "/M", "1", "3", "17"});
  EXPECT_FALSE(happened("showWindow"));
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(machine.disk(0).byte(0x1C2 + 2 * 16), 0x17) << "partition 3 is the slot-2 primary";
  EXPECT_EQ(machine.closeRequests(), 2u) << "applyChanges' and the command step's";

  // The queued close requests each reach the close handler; the letters go only once.
  ASSERT_EQ(machine.definedNames(), std::vector<std::string>{"E:"});
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(presenter.closeRequested());
  EXPECT_TRUE(machine.definedNames().empty());
  EXPECT_EQ(machine.calls(CallKind::RemoveName).size(), 1u);
}

// The window's run says it in the status line, after row 0's offset, and not in its exit status.
TEST_F(StartupTest, ADiskThatCannotBeReadIsNamedInTheStatusLineAfterStartUp) {
  machine.setDiskCount(2);  // the registry lists a second disk that is not there
  const CommandResult result = start();
  EXPECT_EQ(machine.statusTexts(), (std::vector<std::string>{"Offset: 000000100000",
                                                             "磁盘 2 无法读取（设备不存在）"}));
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_TRUE(result.errorLines.empty());
}

TEST_F(StartupTest, NoReadableDiskLeavesTheListAndTheEditorEmpty) {
  machine.setDiskCount(0);
  start();
  EXPECT_TRUE(happened("showWindow"));
  EXPECT_EQ(state.list.size(), 0u);
  EXPECT_FALSE(happened("selectRow 0"));
  EXPECT_EQ(view.typeIdText(), "");
  presenter.keepSelection();  // a click on the empty list
  EXPECT_EQ(view.selectedRow(), -1);
}

}  // namespace
}  // namespace quenbolt

// Start-up and the main window on the standard machine: the order of start-up, the editor row,
// staging, colours, the window menu, and what "确定" writes and tells.

#include <gtest/gtest.h>

#include "app/fake_view.h"
#include "app/startup.h"
#include "cli/help_text.h"
#include "support/standard_machine.h"

namespace quenbolt {
namespace {

using namespace standard;
using Lines = std::vector<std::string>;

class MainWindow : public testing::Test {
 protected:
  MainWindow() {
    build(machine);
    view.attach(presenter);
  }
  // Start-up as the program runs it: the help step, then the sequence.
  CommandResult start(Lines args = {"Quenbolt.exe"}) {
    state.args = std::move(args);
    runHelpStep(platform, state);
    return runStartup(platform, view, state);
  }
  // Starts without arguments and forgets what start-up did.
  void startQuietly() {
    start();
    ASSERT_EQ(state.list.size(), rowCount);
    machine.log.clear();
  }
  const PartitionRow& row(int index) const { return state.list.rows.at(index); }
  void stageType(int index, const std::string& id) {
    view.clickRow(index);
    view.retypeTypeId(id);
    view.clickModify();
  }
  std::uint32_t colourOf(long index) const {
    std::uint32_t colour = 0x123456;  // the list's own, whatever it is
    presenter.rowTextColour(index, colour);
    return colour;
  }
  int choiceOf(const std::string& id) const {
    for (std::size_t i = 0; i < view.choices.size(); ++i) {
      if (typeChoiceId(view.choices[i]) == id) return static_cast<int>(i);
    }
    return -1;
  }

  SimulatedMachine machine;
  Platform platform = machine.platform();
  MainWindowState state;
  FakeView view{machine.log};
  MainWindowPresenter presenter{platform, view, state};
};

TEST_F(MainWindow, WithoutArgumentsStartUpShowsTheWindowBeforeTheScanAndEndsWithRowZeroInTheEditor) {
  const CommandResult result = start();
  const Lines& log = machine.log;
  const auto firstOpen = std::find(log.begin(), log.end(), "open 0 read ok") - log.begin();
  EXPECT_EQ(Lines(log.begin(), log.begin() + firstOpen),
            (Lines{"view menuItem", "view menuItem", "view menuItem", "view showWindow", "view addTypeChoice"}));
  EXPECT_EQ(Lines(log.end() - 3, log.end()), (Lines{"view showRows 7", "view selectRow 0", "status Offset: 000000100000"}));
  EXPECT_EQ(view.choices, TypeCatalogue().typeChoiceEntries());
  EXPECT_EQ(view.rows.at(rowH)[kDriveLetterColumn], "H") << "scan, temporary letters, scan again";
  EXPECT_EQ(view.typeId, "0C");
  EXPECT_EQ(view.label, "SYSTEM");
  EXPECT_EQ(result.exitStatus, kExitDone);
  EXPECT_TRUE(machine.logged("requestClose").empty()) << "the window stays until the user closes it";
  EXPECT_TRUE(machine.logged("write ").empty() && machine.logged("box ").empty());
  ASSERT_EQ(view.menu.size(), 3u);
  EXPECT_EQ(view.menu[0].flags, 0x800u);
  EXPECT_EQ(std::tie(view.menu[1].text, view.menu[1].id, view.menu[1].flags), std::make_tuple("命令行参数(&P)", 0x402u, 0u));
  EXPECT_EQ(std::tie(view.menu[2].text, view.menu[2].id, view.menu[2].flags), std::make_tuple("关于(&A)...", 0x401u, 0x8u));
}

TEST_F(MainWindow, AnyArgumentKeepsTheWindowHiddenAndALoneHelpSwitchShowsOnlyTheHelp) {
  const struct { Lines args; Lines first; } cases[] = {
      {{"q", "/X"}, {"view menuItem"}}, {{"q", "/?", "x"}, {"view menuItem"}},
      {{"q", "/h"}, {"box 命令行参数|" + buildCommandLineHelp() + "|0x20", "requestClose"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[1]);
    machine.log.clear();
    start(c.args);
    EXPECT_EQ(Lines(machine.log.begin(), machine.log.begin() + c.first.size()), c.first);
    EXPECT_EQ(machine.logged("requestClose").size(), c.first.size());  // one close, queued once
    EXPECT_EQ(std::count(machine.log.begin(), machine.log.end(), "view showWindow"), 0);
    EXPECT_EQ(machine.logged("box ").size(), c.first.size() - 1);
    EXPECT_EQ(state.list.size(), rowCount) << "start-up still scans";
  }
  // GetVersion: bit 31 with major version 4 is the 95/98/Millennium family; NT 4 and Win32s on 3.x
  // are not. Start-up goes on regardless.
  for (const auto& [version, closes] : {std::pair<std::uint32_t, std::size_t>{0x80000004, 1}, {0x00000004, 0}, {0x80000003, 0}}) {
    machine.rawVersion = version;
    machine.log.clear();
    start();
    EXPECT_EQ(machine.logged("requestClose").size(), closes) << version;
    EXPECT_EQ(std::count(machine.log.begin(), machine.log.end(), "view showWindow"), 1);
  }
}

TEST_F(MainWindow, ABatchCommandWritesWithoutAWindowAndTheLettersGoOnceOnClose) {
  EXPECT_EQ(start({"q", "/M", "1", "5", "17"}).exitStatus, kExitDone);
  EXPECT_EQ(std::count(machine.log.begin(), machine.log.end(), "view showWindow"), 0);
  EXPECT_EQ(machine.disks[0].bytes(typeAt(0, 3), 1), "\x17");
  EXPECT_EQ(machine.logged("requestClose").size(), 2u) << "applyChanges' and the command step's";
  ASSERT_EQ(machine.defined.size(), 2u);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(presenter.closeRequested());
  EXPECT_TRUE(machine.defined.empty());
  EXPECT_EQ(machine.logged("remove ").size(), 2u);
}

TEST_F(MainWindow, ADiskThatCannotBeReadIsNamedInTheStatusLineAndNoDiskLeavesTheEditorEmpty) {
  machine.setDiskCount(3);  // the registry lists a third disk that is not there
  EXPECT_EQ(start().exitStatus, kExitDone);
  EXPECT_EQ(machine.logged("status "), (Lines{"Offset: 000000100000", "磁盘 3 无法读取（设备不存在）"}));
  machine.setDiskCount(0);
  view.typeId.clear();
  start();
  EXPECT_EQ(state.list.size(), 0u);
  EXPECT_EQ(view.typeId, "");
  view.clickRow(-1);  // a click on the empty list
  EXPECT_EQ(view.selectedRow(), -1);
}

TEST_F(MainWindow, TheEditorShowsWhatEachKindOfRowAllows) {
  startQuietly();
  view.clickRow(rowExtended);  // after the active row: its check mark must not stay
  EXPECT_FALSE(view.labelOn);
  EXPECT_FALSE(view.activeOn);
  EXPECT_FALSE(view.active);
  EXPECT_EQ(view.typeId, "0F");
  view.clickModify();
  EXPECT_EQ(row(rowExtended)[kKindColumn], "扩展");
  view.clickRow(rowE);
  EXPECT_TRUE(view.labelOn);
  EXPECT_FALSE(view.activeOn) << "a logical partition has no active flag";
  EXPECT_EQ(view.letter, "E");
  EXPECT_EQ(machine.logged("status ").back(), "Offset: 000006507E00");
  view.clickRow(-1);  // below the last row: the last row
  EXPECT_EQ(view.selectedRow(), rowG);
  EXPECT_EQ(machine.logged("status ").back(), "Offset: 000000100000");
  presenter.openDrive();
  view.clickRow(rowI);
  presenter.openDrive();  // no letter: nothing to open
  EXPECT_EQ(machine.logged("shell "), Lines{"G:"});
}

TEST_F(MainWindow, TheActiveBoxShowsTheFlagTheScanFoundAndStagesTheKind) {
  startQuietly();
  view.clickRow(rowD);
  EXPECT_TRUE(view.activeOn && view.active);
  view.active = false;
  view.clickModify();
  EXPECT_EQ(row(rowD)[kKindColumn], "主");
  EXPECT_EQ(view.rows[rowD][kKindColumn], "主") << "the list shows the staged row";
  view.clickRow(rowE);
  view.clickRow(rowD);
  EXPECT_TRUE(view.active) << "what the disk holds, not what was staged";
  view.clickRow(rowH);
  EXPECT_FALSE(view.active);
  view.active = true;
  view.clickModify();
  EXPECT_EQ(row(rowH)[kKindColumn], "主，活动");
  EXPECT_EQ(row(rowI)[kKindColumn], "主") << "no other row changes";
  EXPECT_TRUE(machine.logged("write ").empty()) << "staging writes nothing";
}

TEST_F(MainWindow, TheTypeFieldTakesTwoHexDigitsAndStagesALoneOneWithALeadingZeroAndItsName) {
  startQuietly();
  view.clickRow(rowE);
  view.typeIntoTypeId(std::string("g \x16G-\r\x1b", 7));  // Ctrl+V is 0x16
  EXPECT_EQ(view.typeId, "07");
  view.retypeTypeId("b");
  view.clickModify();
  EXPECT_EQ(view.typeId, "0B");
  EXPECT_EQ(view.choice, choiceOf("0B"));
  EXPECT_EQ(row(rowE)[kTypeIdColumn], "0B");
  EXPECT_EQ(row(rowE)[kFormatNameColumn], "FAT32");
  view.choose("17");
  EXPECT_EQ(view.typeId, "17");
  view.retypeTypeId("0C7");  // a third character is cut away
  EXPECT_EQ(view.typeId, "0C");
  EXPECT_EQ(view.choice, choiceOf("0C"));
  view.setTypeIdText("0中");  // what a paste past the filter could leave
  EXPECT_EQ(view.typeId, "0") << "no half of a character is kept";
  view.retypeTypeId("13");  // not in the catalogue: the selection stays, no name is staged
  EXPECT_EQ(view.choice, choiceOf("0C"));
  view.clickModify();
  EXPECT_EQ(row(rowE)[kFormatNameColumn], "");
  stageType(rowE, "");
  EXPECT_EQ(row(rowE)[kTypeIdColumn], "") << "an emptied field stages an empty ID";
}

TEST_F(MainWindow, TheLabelFieldKeeps32BytesNeverHalfACharacterAndStagesOnlyWhatTheUserChanged) {
  startQuietly();
  view.clickRow(rowE);
  EXPECT_EQ(view.label, kLongLabel.substr(0, 32)) << "a longer label is shown cut";
  view.clickRow(rowD);
  EXPECT_EQ(view.labelCaret, 6u) << "filled from the row, the caret at the end";
  view.labelCaret = 2;
  view.typeIntoLabel("-");
  EXPECT_EQ(view.label, "SY-STEM");
  EXPECT_EQ(view.labelCaret, 7u);
  const std::string chinese16 = "卷卷卷卷卷卷卷卷卷卷卷卷卷卷卷卷";
  for (const auto& [before, typed, after] : {std::make_tuple(std::string(32, 'x'), "y", std::string(32, 'x')),
                                             std::make_tuple(std::string(31, 'x'), "中", std::string(31, 'x')),
                                             std::make_tuple(chinese16, "a", chinese16)}) {
    view.setLabelText(before);
    view.labelCaret = before.size();
    view.typeIntoLabel(typed);
    EXPECT_EQ(view.label, after);
  }
  // The field cannot hold every label: more than 32 bytes, or bytes that are no GBK text. Left
  // alone, it stages none, so a row whose type alone changes keeps its label byte for byte.
  state.list.rows[rowH][kLabelColumn] = state.list.ScannedLabel[rowH] = "DATA\xB5";
  stageType(rowH, "0C");
  EXPECT_EQ(view.label, "DATA?");
  stageType(rowE, "0B");
  EXPECT_EQ(row(rowH)[kLabelColumn], "DATA\xB5");
  EXPECT_EQ(row(rowE)[kLabelColumn], kLongLabel);
  view.setLabelText("DATA?");  // typed, even back to what the field showed: staged
  view.clickModify();
  EXPECT_EQ(row(rowE)[kLabelColumn], "DATA?");
}

TEST_F(MainWindow, ContainersAreGreyHiddenTypesAndHiddenGptRowsRedAndStagedTypesRecoloured) {
  startQuietly();
  EXPECT_EQ(colourOf(rowD), 0x123456u);
  EXPECT_EQ(colourOf(rowExtended), 0x808080u);
  EXPECT_EQ(colourOf(rowH), 0x0000FFu);
  EXPECT_EQ(colourOf(99), 0x123456u) << "a row the list does not have";
  std::uint32_t colour = 0;
  EXPECT_EQ(presenter.rowTextColour(-1, colour), 0x20) << "every row and cell, at the list's pre-paint stage";
  stageType(rowE, "1b");
  EXPECT_EQ(colourOf(rowE), 0x0000FFu);
  stageType(rowH, "c");
  EXPECT_EQ(colourOf(rowH), 0x123456u);
  state.list.rows[rowExtended][kKindColumn] = "扩展，活动";
  EXPECT_EQ(colourOf(rowExtended), 0x123456u) << "only the kind exactly \"扩展\" is grey";
  // Row I made a hidden GPT entry, as the scan lists one: no PrimaryRecord, a four-digit code.
  PartitionList& list = state.list;
  list.PrimaryList.erase(list.PrimaryList.begin() + 2);
  list.GptList = {GptRecord{rowI, 0, 3, true}};
  list.rows[rowI][kTypeIdColumn] = list.ScannedTypeId[rowI] = "0700";
  list.rows[rowI][kKindColumn] = "GPT，隐藏";
  EXPECT_EQ(colourOf(rowI), 0x0000FFu);
  view.clickRow(rowI);
  EXPECT_FALSE(view.typeOn);
  EXPECT_EQ(view.typeId, "") << "not a code cut to an MBR type";
  EXPECT_EQ(view.choice, -1);
  EXPECT_FALSE(view.activeOn);
  view.typeIntoLabel("2");
  view.clickModify();
  EXPECT_EQ(row(rowI)[kLabelColumn], "2");
  EXPECT_EQ(row(rowI)[kTypeIdColumn], "0700");
  list.rows[rowI][kKindColumn] = "GPT";
  EXPECT_EQ(colourOf(rowI), 0x123456u);
  view.clickRow(rowE);
  EXPECT_TRUE(view.typeOn) << "open again for an MBR row";
}

TEST_F(MainWindow, TheWindowMenuShowsTheAboutAndHelpBoxes) {
  startQuietly();
  presenter.handleSystemCommand(0x401);
  presenter.handleSystemCommand(0x402);
  presenter.handleSystemCommand(0xF060);  // SC_CLOSE: not ours
  const Lines boxes = machine.logged("box ");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], "版本信息|作者: Quenbolt 开发组\r日期: 2026-12-06\rhttps://quenbolt.example.org|0x40");
  EXPECT_EQ(boxes[1], "命令行参数|" + buildCommandLineHelp() + "|0x20");
  EXPECT_TRUE(machine.logged("requestClose").empty());
}

TEST_F(MainWindow, ConfirmWritesWhatWasStagedAndClosesWithoutABox) {
  startQuietly();
  stageType(rowE, "17");
  presenter.confirmChanges();
  EXPECT_EQ(machine.disks[0].bytes(typeAt(kEbr1, 0), 1), "\x17");
  EXPECT_TRUE(machine.logged("box ").empty());
  EXPECT_EQ(machine.logged("requestClose").size(), 1u);
}

TEST_F(MainWindow, ConfirmListsWhatFailedInOneBoxAndClosesOnlyOnceTheBoxIsGone) {
  startQuietly();
  stageType(rowI, "0B");
  stageType(rowH, "0B");
  machine.disks[0].faults = {{FaultOn::OpenForWriting}};
  machine.log.clear();
  bool closedUnderTheBox = true;
  machine.whileBoxOpen = [&] { closedUnderTheBox = presenter.closeRequested(); };
  presenter.confirmChanges();
  EXPECT_EQ(machine.logged("box "), Lines{"写入失败|以下更改未能写入磁盘:\r\n磁盘 1 分区 4：分区标记 \"0B\" 未写入（打开磁盘失败）\r\n"
                                         "磁盘 1 分区 5：分区标记 \"0B\" 未写入（打开磁盘失败）|0x30"});
  EXPECT_FALSE(closedUnderTheBox) << "the letters stay while the box is up";
  EXPECT_EQ(machine.logged("requestClose").size(), 2u) << "applyChanges' request, then the one that waited";
  EXPECT_TRUE(presenter.closeRequested());
  EXPECT_TRUE(machine.defined.empty());
}

// D is a mounted FAT32 volume: Windows keeps its label in the root directory, the boot sector and
// its backup hold copies, and a file system check wants all three alike.
TEST_F(MainWindow, AConfirmedFat32LabelLeavesItsThreeCopiesAlikeAndATableNotReadAgainIsTold) {
  startQuietly();
  machine.rereadFails = true;
  view.clickRow(rowD);
  view.setLabelText("");
  view.typeIntoLabel("数据");
  view.clickModify();
  stageType(rowE, "17");
  presenter.confirmChanges();
  for (std::uint64_t at : {kBootD + 0x47, kBootD + 6 * 512 + 0x47, kBootD + kFat32RootSector * 512}) {
    EXPECT_EQ(machine.disks[0].bytes(at, 11), "数据       ") << at;
  }
  EXPECT_EQ(machine.logged("box "), Lines{"提示|磁盘 1：分区表已写入，但系统未能重新读取，重新启动 Windows 后生效|0x40"});
}

TEST_F(MainWindow, TheBootLabelBoxReloadsFat32LabelsAndShowsThem) {
  startQuietly();
  machine.disks[0].put(kBootD, fat32Boot("BOOTLABEL"));
  view.bootLabelFirst = true;
  presenter.bootLabelFirstClicked();
  EXPECT_EQ(view.rows[rowD][kLabelColumn], "BOOTLABEL");
  view.bootLabelFirst = false;
  presenter.bootLabelFirstClicked();
  EXPECT_EQ(view.rows[rowD][kLabelColumn], "SYSTEM");
}

}  // namespace
}  // namespace quenbolt

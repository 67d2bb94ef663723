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
  MainWindow() { build(machine); }
  // Start-up as the program runs it: the help step, then the sequence.
  CommandResult start(Lines args = {"Quenbolt.exe"}) {
    state.args = std::move(args);
    runHelpStep(platform, state);
    return runStartup(platform, view, state);
  }
  void startQuietly() {  // without arguments, forgetting what start-up did
    start();
    machine.log.clear();
  }
  std::string cell(int row, Column column) const { return state.list.rows.at(row)[column]; }
  void stageType(int row, const std::string& id) {
    view.clickRow(row);
    view.retypeTypeId(id);
    view.clickModify();
  }
  std::uint32_t colourOf(long row) const {
    std::uint32_t colour = 0x123456;  // the list's own, whatever it is
    presenter.rowTextColour(row, colour);
    return colour;
  }
  std::size_t count(const std::string& line) const { return std::count(machine.log.begin(), machine.log.end(), line); }

  SimulatedMachine machine;
  Platform platform = machine.platform();
  MainWindowState state;
  FakeView view{machine.log, presenter};
  MainWindowPresenter presenter{platform, view, state};
};

TEST_F(MainWindow, WithoutArgumentsStartUpShowsTheWindowBeforeTheScanAndEndsWithRowZeroInTheEditor) {
  EXPECT_EQ(start().exitStatus, kExitDone);
  const Lines& log = machine.log;
  EXPECT_EQ(Lines(log.begin(), std::find(log.begin(), log.end(), "open 0 read ok")),
            (Lines{"view menuItem", "view menuItem", "view menuItem", "view showWindow", "view addTypeChoice"}));
  EXPECT_EQ(Lines(log.end() - 3, log.end()), (Lines{"view showRows 7", "view selectRow 0", "status Offset: 000000100000"}));
  EXPECT_EQ(view.choices, TypeCatalogue().typeChoiceEntries());
  EXPECT_EQ(view.rows.at(rowH)[kDriveLetterColumn], "H") << "scan, temporary letters, scan again";
  EXPECT_EQ(view.typeId + "|" + view.label, "0C|SYSTEM");
  EXPECT_EQ(count("requestClose") + machine.logged("write ").size() + machine.logged("box ").size(), 0u);
  ASSERT_EQ(view.menu.size(), 3u);
  EXPECT_EQ(view.menu[0].flags, 0x800u);
  EXPECT_EQ(std::tie(view.menu[1].text, view.menu[1].id, view.menu[1].flags), std::make_tuple("命令行参数(&P)", 0x402u, 0u));
  EXPECT_EQ(std::tie(view.menu[2].text, view.menu[2].id, view.menu[2].flags), std::make_tuple("关于(&A)...", 0x401u, 0x8u));
}

TEST_F(MainWindow, ArgumentsKeepTheWindowHiddenAndALoneHelpSwitchShowsTheHelpFirst) {
  const struct { Lines args; Lines first; } cases[] = {{{"q", "/X"}, {"view menuItem"}}, {{"q", "/?", "x"}, {"view menuItem"}},
                                                       {{"q", "/h"}, {"box 命令行参数|" + buildCommandLineHelp() + "|0x20", "requestClose"}}};
  for (const auto& c : cases) {
    machine.log.clear();
    start(c.args);
    EXPECT_EQ(Lines(machine.log.begin(), machine.log.begin() + c.first.size()), c.first);
    EXPECT_EQ(count("requestClose"), c.first.size()) << "the help's close, then start-up's for one argument";
    EXPECT_EQ(count("view showWindow"), 0u);
    EXPECT_EQ(state.list.size(), rowCount) << "start-up still scans";
  }
  // GetVersion: bit 31 with major version 4 is the 95/98/Millennium family; NT 4 and Win32s on 3.x
  // are not. Start-up goes on regardless.
  for (const auto& [version, closes] : {std::pair<std::uint32_t, std::size_t>{0x80000004, 1}, {0x00000004, 0}, {0x80000003, 0}}) {
    machine.rawVersion = version;
    machine.log.clear();
    start();
    EXPECT_EQ(count("requestClose"), closes) << version;
    EXPECT_EQ(count("view showWindow"), 1u);
  }
}

TEST_F(MainWindow, ABatchCommandWritesWithoutTheWindowAndTheLettersGoOnceAtTheClose) {
  machine.setDiskCount(3);  // the registry lists a third disk that is not there
  EXPECT_EQ(start({"q", "/M", "1", "5", "17"}).exitStatus, kExitDone);
  EXPECT_EQ(count("view showWindow"), 0u);
  EXPECT_EQ(machine.disks[0].bytes(typeAt(0, 3), 1), "\x17");
  EXPECT_EQ(machine.logged("status ").back(), "磁盘 3 无法读取（设备不存在）");
  EXPECT_EQ(count("requestClose"), 2u) << "applyChanges' and the command step's";
  ASSERT_EQ(machine.defined.size(), 2u);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(presenter.closeRequested());
  EXPECT_EQ(machine.logged("remove ").size(), 2u);
  machine.setDiskCount(0);  // no disk: an empty list, an empty editor
  view.typeId.clear();
  start();
  view.clickRow(-1);
  EXPECT_EQ(state.list.size() + view.typeId.size(), 0u);
  EXPECT_EQ(view.selectedRow(), -1);
}

TEST_F(MainWindow, TheEditorShowsWhatEachRowAllowsAndTheActiveBoxTheFlagTheScanFound) {
  startQuietly();
  view.clickRow(rowExtended);  // after the active row: its check mark must not stay
  EXPECT_FALSE(view.labelOn || view.activeOn || view.active);
  view.clickModify();
  EXPECT_EQ(cell(rowExtended, kKindColumn), "扩展");
  view.clickRow(rowE);
  EXPECT_TRUE(view.labelOn && !view.activeOn) << "a logical partition has no active flag";
  EXPECT_EQ(view.letter, "E");
  EXPECT_EQ(machine.logged("status ").back(), "Offset: 000006507E00");
  view.clickRow(-1);  // below the last row: the last row
  EXPECT_EQ(machine.logged("status ").back(), "Offset: 000000100000");
  presenter.openDrive();
  view.clickRow(rowI);
  presenter.openDrive();  // no letter: nothing to open
  EXPECT_EQ(machine.logged("shell "), Lines{"G:"});
  view.clickRow(rowD);
  view.active = false;
  view.clickModify();
  EXPECT_EQ(cell(rowD, kKindColumn) + view.rows[rowD][kKindColumn], "主主") << "staged, and shown";
  view.clickRow(rowE);
  view.clickRow(rowD);
  EXPECT_TRUE(view.active) << "what the disk holds, not what was staged";
  view.clickRow(rowH);
  view.active = true;
  view.clickModify();
  EXPECT_EQ(cell(rowH, kKindColumn) + cell(rowI, kKindColumn), "主，活动主");
  EXPECT_TRUE(machine.logged("write ").empty()) << "staging writes nothing";
}

TEST_F(MainWindow, TheTypeFieldTakesTwoHexDigitsAndStagesALoneOneWithALeadingZeroAndItsName) {
  startQuietly();
  view.clickRow(rowE);
  view.typeIntoTypeId(std::string("g \x16G-\r\x1b", 7));  // Ctrl+V is 0x16
  EXPECT_EQ(view.typeId, "07");
  view.retypeTypeId("b");
  view.clickModify();
  EXPECT_EQ(view.typeId + cell(rowE, kTypeIdColumn) + cell(rowE, kFormatNameColumn), "0B0BFAT32");
  EXPECT_EQ(view.choices.at(view.choice), "0B|FAT32");
  view.choose("17");
  EXPECT_EQ(view.typeId, "17");
  view.retypeTypeId("0C7");  // a third character is cut away
  EXPECT_EQ(view.typeId + view.choices.at(view.choice), "0C0C|FAT32 LBA");
  view.setTypeIdText("0中");  // what a paste past the filter could leave
  EXPECT_EQ(view.typeId, "0") << "no half of a character is kept";
  view.retypeTypeId("13");  // not in the catalogue: the choice stays, no name is staged
  view.clickModify();
  EXPECT_EQ(view.choices.at(view.choice) + cell(rowE, kFormatNameColumn), "0C|FAT32 LBA");
  stageType(rowE, "");
  EXPECT_EQ(cell(rowE, kTypeIdColumn), "") << "an emptied field stages an empty ID";
}

TEST_F(MainWindow, TheLabelFieldKeeps32BytesNeverHalfACharacterAndStagesOnlyWhatTheUserChanged) {
  startQuietly();
  view.clickRow(rowE);
  EXPECT_EQ(view.label, kLongLabel.substr(0, 32)) << "a longer label shown cut";
  view.clickRow(rowD);
  view.labelCaret = 2;
  view.typeIntoLabel("-");
  EXPECT_EQ(view.label + std::to_string(view.labelCaret), "SY-STEM7");
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
  EXPECT_EQ(cell(rowH, kLabelColumn) + cell(rowE, kLabelColumn), "DATA\xB5" + kLongLabel);
  view.setLabelText("DATA?");  // typed, even back to what the field showed: staged
  view.clickModify();
  EXPECT_EQ(cell(rowE, kLabelColumn), "DATA?");
}

TEST_F(MainWindow, ContainersAreGreyHiddenTypesAndHiddenGptRowsRedAndAGptRowShutsTheTypeControls) {
  startQuietly();
  EXPECT_EQ(std::make_tuple(colourOf(rowD), colourOf(rowExtended), colourOf(rowH), colourOf(99)),
            std::make_tuple(0x123456u, 0x808080u, 0x0000FFu, 0x123456u));
  std::uint32_t colour = 0;
  EXPECT_EQ(presenter.rowTextColour(-1, colour), 0x20) << "every row and cell, at the list's pre-paint stage";
  stageType(rowE, "1b");
  stageType(rowH, "c");
  state.list.rows[rowExtended][kKindColumn] = "扩展，活动";  // only the kind exactly "扩展" is grey
  EXPECT_EQ(std::make_tuple(colourOf(rowE), colourOf(rowH), colourOf(rowExtended)), std::make_tuple(0x0000FFu, 0x123456u, 0x123456u));
  PartitionList& list = state.list;  // row I made a hidden GPT entry, as the scan lists one
  list.PrimaryList.erase(list.PrimaryList.begin() + 2);
  list.GptList = {GptRecord{rowI, 0, 3, true}};
  list.rows[rowI][kTypeIdColumn] = list.ScannedTypeId[rowI] = "0700";
  list.rows[rowI][kKindColumn] = "GPT，隐藏";
  EXPECT_EQ(colourOf(rowI), 0x0000FFu);
  view.clickRow(rowI);
  EXPECT_EQ(std::make_tuple(view.typeOn, view.typeId, view.choice, view.activeOn), std::make_tuple(false, std::string(), -1, false));
  view.typeIntoLabel("2");
  view.clickModify();
  EXPECT_EQ(cell(rowI, kLabelColumn) + cell(rowI, kTypeIdColumn), "20700");
  view.clickRow(rowE);
  EXPECT_TRUE(view.typeOn) << "open again for an MBR row";
}

TEST_F(MainWindow, TheWindowMenuShowsTheAboutAndHelpBoxesAndTheBootLabelBoxReloadsLabels) {
  startQuietly();
  for (unsigned command : {0x401u, 0x402u, 0xF060u}) presenter.handleSystemCommand(command);  // SC_CLOSE is not ours
  EXPECT_EQ(machine.logged("box "), (Lines{"版本信息|作者: Quenbolt 开发组\r日期: 2026-12-06\rhttps://quenbolt.example.org|0x40",
                                           "命令行参数|" + buildCommandLineHelp() + "|0x20"}));
  machine.disks[0].put(kBootD, fat32Boot("BOOTLABEL"));
  view.bootLabelFirst = true;
  presenter.bootLabelFirstClicked();
  EXPECT_EQ(view.rows[rowD][kLabelColumn], "BOOTLABEL");
  view.bootLabelFirst = false;
  presenter.bootLabelFirstClicked();
  EXPECT_EQ(view.rows[rowD][kLabelColumn], "SYSTEM");
  EXPECT_EQ(count("requestClose"), 0u);
}

// D is a mounted FAT32 volume: Windows keeps its label in the root directory, the boot sector and
// its backup hold copies, and a file system check wants all three alike.
TEST_F(MainWindow, ConfirmWritesAFat32LabelsThreeCopiesAlikeAndTellsATableNotReadAgain) {
  startQuietly();
  machine.rereadFails = true;
  view.clickRow(rowD);
  view.setLabelText("数据");
  view.clickModify();
  stageType(rowE, "17");
  presenter.confirmChanges();
  for (std::uint64_t at : {kBootD + 0x47, kBootD + 6 * 512 + 0x47, kBootD + kFat32RootSector * 512}) {
    EXPECT_EQ(machine.disks[0].bytes(at, 11), "数据       ") << at;
  }
  EXPECT_EQ(machine.disks[0].bytes(typeAt(kEbr1, 0), 1), "\x17");
  EXPECT_EQ(machine.logged("box "), Lines{"提示|磁盘 1：分区表已写入，但系统未能重新读取，重新启动 Windows 后生效|0x40"});
  EXPECT_EQ(count("requestClose"), 1u);
}

TEST_F(MainWindow, ConfirmListsWhatFailedInOneBoxAndClosesOnlyOnceTheBoxIsGone) {
  startQuietly();
  stageType(rowI, "0B");
  stageType(rowH, "0B");
  machine.disks[0].faults = {{FaultOn::OpenForWriting}};
  bool closedUnderTheBox = true;
  machine.whileBoxOpen = [&] { closedUnderTheBox = presenter.closeRequested(); };
  presenter.confirmChanges();
  EXPECT_EQ(machine.logged("box "), Lines{"写入失败|以下更改未能写入磁盘:\r\n磁盘 1 分区 4：分区标记 \"0B\" 未写入（打开磁盘失败）\r\n"
                                         "磁盘 1 分区 5：分区标记 \"0B\" 未写入（打开磁盘失败）|0x30"});
  EXPECT_FALSE(closedUnderTheBox) << "the letters stay while the box is up";
  EXPECT_EQ(count("requestClose"), 2u) << "applyChanges' request, then the one that waited";
  EXPECT_TRUE(presenter.closeRequested());
  EXPECT_TRUE(machine.defined.empty());
}

}  // namespace
}  // namespace quenbolt

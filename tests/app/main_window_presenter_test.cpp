#include "app/main_window_presenter.h"

#include <gtest/gtest.h>

#include "editing/apply_changes.h"
#include "main_window_fixture.h"

namespace quenbolt {
namespace {

class EditorTest : public MainWindowTest {
 protected:
  void SetUp() override { startQuietly(); }
};

TEST_F(EditorTest, ContainerRowDisablesLabelAndActiveBoxAndALogicalRowEnablesOnlyTheLabel) {
  view.clickRow(kRowContainer);
  EXPECT_FALSE(view.labelEnabled()) << "label field and its caption";
  EXPECT_FALSE(view.activeEnabled());
  EXPECT_FALSE(view.activeChecked()) << "the active row before left its check mark behind";
  EXPECT_EQ(view.typeIdText(), "0F");
  EXPECT_EQ(view.driveLetterText, "");
  view.clickModify();
  EXPECT_EQ(row(kRowContainer)[kKindColumn], "扩展") << "a container keeps its kind and label";
  EXPECT_EQ(row(kRowContainer)[kLabelColumn], "");

  view.clickRow(kRowD);
  EXPECT_TRUE(view.labelEnabled()) << "enabled again after the container";
  EXPECT_FALSE(view.activeEnabled()) << "a logical partition has no active flag";
  EXPECT_FALSE(view.activeChecked());
  EXPECT_EQ(view.driveLetterText, "D");
  EXPECT_EQ(machine.statusText(), "Offset: 000000B07E00");
}

TEST_F(EditorTest, AnActivePrimaryShowsTheScanTimeFlagAndClearingItStagesPrimary) {
  view.clickRow(kRowD);
  view.clickRow(kRowC);
  EXPECT_TRUE(view.activeEnabled());
  EXPECT_TRUE(view.activeChecked());
  view.setActiveByUser(false);
  view.clickModify();
  EXPECT_EQ(row(kRowC)[kKindColumn], "主");
  EXPECT_EQ(row(kRowHidden)[kKindColumn], "主") << "no other row changes";
  EXPECT_EQ(view.displayedRows[kRowC][kKindColumn], "主") << "the list shows the staged row";

  // Selected anew, the box shows what the disk holds, not what was staged.
  view.clickRow(kRowD);
  view.clickRow(kRowC);
  EXPECT_TRUE(view.activeChecked());

  view.clickRow(kRowHidden);
  EXPECT_FALSE(view.activeChecked());
  view.setActiveByUser(true);
  view.clickModify();
  EXPECT_EQ(row(kRowHidden)[kKindColumn], "主，活动");
  EXPECT_TRUE(machine.diskLog(DiskOp::Write).empty()) << "staging writes nothing";
}

TEST_F(EditorTest, TheIdFieldTakesHexDigitsAndStagesALoneOneWithALeadingZeroAndItsName) {
  view.clickRow(kRowD);
  view.typeIntoTypeId(std::string("g \x16G-\r\x1b", 7));  // Ctrl+V is 0x16
  EXPECT_EQ(view.typeIdText(), "07");
  view.retypeTypeId("b");
  view.clickModify();
  EXPECT_EQ(view.typeIdText(), "0B");
  EXPECT_EQ(view.typeChoiceSelection(), choiceOf("0B"));
  EXPECT_EQ(row(kRowD)[kTypeIdColumn], "0B");
  EXPECT_EQ(row(kRowD)[kFormatNameColumn], state.catalogue->NameOf("0B"));
  EXPECT_FALSE(row(kRowD)[kFormatNameColumn].empty());

  view.chooseTypeChoice(static_cast<std::size_t>(choiceOf("07")));
  EXPECT_EQ(view.typeIdText(), "07") << "a chosen item puts its ID into the field";
}

TEST_F(EditorTest, AThirdCharacterIsCutAwayAndTheCaretStays) {
  view.clickRow(kRowD);
  view.setTypeIdCaret(1);
  view.typeIntoTypeId("C");  // "0C7" with the caret after the C
  EXPECT_EQ(view.typeIdText(), "0C");
  EXPECT_EQ(view.typeIdCaret(), 2u);
  EXPECT_EQ(view.typeChoiceSelection(), choiceOf("0C"));
  view.setTypeIdText("0中");  // what a paste past the filter could leave
  EXPECT_EQ(view.typeIdText(), "0") << "the cut keeps no half of a character";
}

TEST_F(EditorTest, AnIdOutsideTheCatalogueKeepsTheSelectionAndStagesNoName) {
  ASSERT_EQ(state.catalogue->NameOf("13"), "");
  view.clickRow(kRowD);
  ASSERT_EQ(view.typeChoiceSelection(), choiceOf("07"));
  view.retypeTypeId("13");
  EXPECT_EQ(view.typeChoiceSelection(), choiceOf("07"));
  view.clickModify();
  EXPECT_EQ(row(kRowD)[kTypeIdColumn], "13");
  EXPECT_EQ(row(kRowD)[kFormatNameColumn], "");

  stageTypeId(kRowD, "");
  EXPECT_EQ(row(kRowD)[kTypeIdColumn], "") << "an emptied field stages an empty ID";
}

TEST_F(EditorTest, TheLabelFieldKeeps32BytesAndNeverHalfACharacter) {
  view.clickRow(kRowD);
  EXPECT_EQ(view.labelText(), kLongLabel.substr(0, 32)) << "a longer label is shown cut";
  EXPECT_EQ(row(kRowD)[kLabelColumn], kLongLabel) << "showing it does not change the row";

  view.clickRow(kRowC);
  EXPECT_EQ(view.labelCaret, 6u) << "filled from the row, caret at the end";
  view.labelCaret = 2;
  view.typeIntoLabel("-");
  EXPECT_EQ(view.labelText(), "SY-STEM");
  EXPECT_EQ(view.labelCaret, 7u);

  view.setLabelText(std::string(32, 'x'));
  view.typeIntoLabel("y");
  EXPECT_EQ(view.labelText(), std::string(32, 'x')) << "a 33rd byte is cut";
  view.setLabelText(std::string(31, 'x'));
  view.typeIntoLabel("中");  // its lead byte would be byte 32
  EXPECT_EQ(view.labelText(), std::string(31, 'x'));
  EXPECT_EQ(view.labelCaret, 31u);

  std::string chinese;
  for (int i = 0; i < 16; ++i) chinese += "卷";
  view.setLabelText(chinese);
  view.typeIntoLabel("a");
  EXPECT_EQ(view.labelText(), chinese) << "sixteen two-byte characters fill the field exactly";
}

// The field cannot hold every label: more than 32 bytes, or bytes that are no GBK text (a
// boot-sector label cut after a lead byte comes back as "DATA?"). What it shows is staged only
// when the user changed it, so a row whose type alone changes keeps its label bytes.
TEST_F(EditorTest, ALabelFieldLeftAloneStagesNoLabel) {
  state.list.rows[kRowHidden][kLabelColumn] = state.list.ScannedLabel[kRowHidden] = "DATA\xB5";
  stageTypeId(kRowHidden, "0C");
  EXPECT_EQ(view.labelText(), "DATA?");
  stageTypeId(kRowD, "0C");
  EXPECT_EQ(row(kRowHidden)[kLabelColumn], "DATA\xB5");
  EXPECT_EQ(row(kRowD)[kLabelColumn], kLongLabel);
  presenter.confirmChanges();
  EXPECT_TRUE(machine.calls(CallKind::SetLabel).empty());

  // Typed, even back to what the field first showed, a label is staged.
  view.clickRow(kRowHidden);
  view.setLabelText("NEW");
  view.clickModify();
  EXPECT_EQ(row(kRowHidden)[kLabelColumn], "NEW");
  view.setLabelText("DATA?");
  view.clickModify();
  EXPECT_EQ(row(kRowHidden)[kLabelColumn], "DATA?");
}

TEST_F(EditorTest, AClickBelowTheLastRowSelectsTheLastRow) {
  view.clickRow(kRowC);
  view.clickBelowRows();
  EXPECT_EQ(view.selectedRow(), kRowHidden);
  EXPECT_EQ(view.typeIdText(), "1C");
  EXPECT_EQ(machine.statusText(), "Offset: 000001F00000");

  view.filledRows.clear();
  presenter.keepSelection();
  EXPECT_TRUE(view.filledRows.empty()) << "with a row selected, a click changes nothing";
}

TEST_F(EditorTest, DoubleClickOpensTheSelectedRowsDriveOnly) {
  view.clickRow(kRowContainer);
  presenter.openDrive();
  EXPECT_TRUE(machine.shellOpens().empty()) << "a row without a letter";
  view.clickRow(kRowD);
  presenter.openDrive();
  EXPECT_EQ(machine.shellOpens(), std::vector<std::string>{"D:"});
}

TEST_F(EditorTest, ContainersAreGreyHiddenTypesRedAndStagedRowsChangeColour) {
  EXPECT_EQ(colourOf(kRowC), 0x123456u);
  EXPECT_EQ(colourOf(kRowContainer), kContainerRowColour);
  EXPECT_EQ(colourOf(kRowHidden), kHiddenTypeRowColour);
  EXPECT_EQ(colourOf(99), 0x123456u) << "a row the list does not have";
  std::uint32_t colour = 0;
  EXPECT_EQ(presenter.rowTextColour(-1, colour), 0x20) << "the list's pre-paint stage";

  stageTypeId(kRowD, "1b");
  EXPECT_EQ(colourOf(kRowD), kHiddenTypeRowColour);
  stageTypeId(kRowHidden, "c");
  EXPECT_EQ(colourOf(kRowHidden), 0x123456u);

  state.list.rows[kRowContainer][kKindColumn] = "扩展，活动";
  EXPECT_EQ(colourOf(kRowContainer), 0x123456u) << "only the kind exactly \"扩展\" is grey";
}

TEST_F(EditorTest, AGptRowShutsTheTypeControlsKeepsItsTypeAndIsRedWhenHidden) {
  // Row 3 made a hidden GPT entry, as the scan lists one: no PrimaryRecord, a four-digit code.
  PartitionList& list = state.list;
  list.PrimaryList.erase(list.PrimaryList.begin() + 1);
  ASSERT_EQ(list.primaryRecordOf(kRowHidden), nullptr);
  list.GptList = {GptRecord{kRowHidden, 0, 2, true}};
  list.rows[kRowHidden][kTypeIdColumn] = list.ScannedTypeId[kRowHidden] = "0700";
  list.rows[kRowHidden][kFormatNameColumn] = "基本数据";
  list.rows[kRowHidden][kKindColumn] = "GPT，隐藏";

  view.clickRow(kRowD);
  view.clickRow(kRowHidden);
  EXPECT_FALSE(view.typeEnabled());
  EXPECT_EQ(view.typeIdText(), "") << "not a code cut to an MBR type";
  EXPECT_EQ(view.typeChoiceSelection(), -1) << "not the item of the row before";
  EXPECT_FALSE(view.activeEnabled());
  EXPECT_TRUE(view.labelEnabled());
  view.typeIntoLabel("2");
  view.clickModify();
  EXPECT_EQ(row(kRowHidden)[kLabelColumn], "HIDDEN2");
  EXPECT_EQ(row(kRowHidden)[kTypeIdColumn], "0700");
  EXPECT_EQ(row(kRowHidden)[kFormatNameColumn], "基本数据");
  EXPECT_EQ(row(kRowHidden)[kKindColumn], "GPT，隐藏");
  EXPECT_EQ(colourOf(kRowHidden), kHiddenTypeRowColour);
  list.rows[kRowHidden][kKindColumn] = "GPT";
  EXPECT_EQ(colourOf(kRowHidden), 0x123456u);

  view.clickRow(kRowD);
  EXPECT_TRUE(view.typeEnabled()) << "open again for an MBR row";
  EXPECT_EQ(view.typeIdText(), "07");
}

TEST_F(EditorTest, TheWindowMenuShowsTheAboutAndHelpBoxes) {
  presenter.handleSystemCommand(0x401);
  presenter.handleSystemCommand(0x402);
  presenter.handleSystemCommand(0xF060);  // SC_CLOSE: not ours
  ASSERT_EQ(machine.messageBoxes().size(), 2u);
  const MessageBoxRecord& about = machine.messageBoxes()[0];
  const MessageBoxRecord& help = machine.messageBoxes()[1];
  EXPECT_EQ(about.caption, "版本信息");
  EXPECT_EQ(about.style, 0x40u);
  EXPECT_EQ(about.text.rfind("作者: ", 0), 0u);
  EXPECT_NE(about.text.find("\r日期: "), std::string::npos);
  EXPECT_EQ(about.text.find('\n'), std::string::npos) << "lines are separated by CR alone";
  EXPECT_EQ(help.caption, "命令行参数");
  EXPECT_EQ(help.style, 0x20u);
  EXPECT_EQ(help.text, state.commandLineHelp);
  EXPECT_EQ(machine.closeRequests(), 0u);
}

TEST_F(EditorTest, ConfirmWithoutFailuresWritesAndClosesWithoutAMessage) {
  stageTypeId(kRowD, "17");
  presenter.confirmChanges();
  EXPECT_EQ(machine.disk(0).byte(kEbr + 0x1C2), 0x17);
  EXPECT_TRUE(machine.messageBoxes().empty());
  EXPECT_EQ(machine.closeRequests(), 1u);
}

TEST_F(EditorTest, ConfirmShowsOneBoxListingWhatCouldNotBeWritten) {
  stageTypeId(kRowD, "17");
  stageTypeId(kRowHidden, "0C");
  machine.disk(0).failOpen(OpenFault::ReadWriteOnly);
  presenter.confirmChanges();

  ASSERT_EQ(machine.messageBoxes().size(), 1u);
  const MessageBoxRecord& box = machine.messageBoxes()[0];
  EXPECT_EQ(box.style, 0x30u);
  for (int failed : {kRowD, kRowHidden}) {
    const ChangeFailure failure{static_cast<std::size_t>(failed), ChangeKind::TypeId,
                                FailureReason::OpenFailed};
    EXPECT_NE(box.text.find(describeFailure(state.list, failure)), std::string::npos) << box.text;
  }
  EXPECT_EQ(machine.closeRequests(), 1u) << "the window still closes";
}

// C is a mounted FAT32 volume: Windows keeps its label in the root directory, the boot sector and
// the backup boot sector hold copies, and a file system check wants all three alike.
TEST_F(EditorTest, ConfirmingAFat32LabelLeavesItsThreeCopiesAlike) {
  Sector boot = fat32BootSector("SYSTEM");
  boot[0x32] = 6;  // BPB_BkBootSec: sector 6 of the 32 reserved ones
  machine.disk(0).setSector(kStartC, boot);
  machine.disk(0).setSector(kStartC + 6 * 512, boot);
  view.clickRow(kRowC);
  view.setLabelText("");
  view.typeIntoLabel("数据");
  view.clickModify();
  presenter.confirmChanges();
  EXPECT_TRUE(machine.messageBoxes().empty());
  const std::string stored = "数据       ";
  for (std::uint64_t at : {kStartC + 0x47, kStartC + 6 * 512 + 0x47, kStartC + kFat32RootSector * 512}) {
    EXPECT_EQ(machine.disk(0).bytes(at, 11), std::vector<std::uint8_t>(stored.begin(), stored.end())) << at;
  }
}

TEST_F(EditorTest, ATableTheSystemDidNotReadAgainIsToldInABoxOfItsOwn) {
  machine.setUpdateRequestsFail(true);
  stageTypeId(kRowD, "17");
  presenter.confirmChanges();
  ASSERT_EQ(machine.messageBoxes().size(), 1u);
  const MessageBoxRecord& box = machine.messageBoxes()[0];
  EXPECT_EQ(box.caption, "提示");
  EXPECT_EQ(box.style, 0x40u);
  EXPECT_EQ(box.text, "磁盘 1：分区表已写入，但系统未能重新读取，重新启动 Windows 后生效");
  EXPECT_EQ(machine.disk(0).byte(kEbr + 0x1C2), 0x17);
}

TEST_F(EditorTest, ACloseArrivingWhileTheFailureBoxIsOpenWaitsForTheBox) {
  stageTypeId(kRowD, "17");
  machine.disk(0).failOpen();
  bool closedUnderTheBox = true;
  ui.whileMessageBoxOpen = [&] { closedUnderTheBox = presenter.closeRequested(); };
  presenter.confirmChanges();
  ui.whileMessageBoxOpen = nullptr;

  EXPECT_FALSE(closedUnderTheBox);
  EXPECT_TRUE(machine.calls(CallKind::RemoveName).empty()) << "letters stay while the box is up";
  EXPECT_EQ(machine.closeRequests(), 2u) << "applyChanges' request, then the one that waited";
  EXPECT_TRUE(presenter.closeRequested());
  EXPECT_TRUE(machine.definedNames().empty());
}

TEST_F(EditorTest, TheBootLabelBoxReloadsFat32LabelsAndShowsThem) {
  machine.disk(0).setSector(kStartC, fat32BootSector("BOOTLABEL"));
  view.bootLabelFirst = true;
  presenter.bootLabelFirstClicked();
  EXPECT_EQ(row(kRowC)[kLabelColumn], "BOOTLABEL");
  EXPECT_EQ(view.displayedRows[kRowC][kLabelColumn], "BOOTLABEL");
  view.bootLabelFirst = false;
  presenter.bootLabelFirstClicked();
  EXPECT_EQ(row(kRowC)[kLabelColumn], "SYSTEM");
}

}  // namespace
}  // namespace quenbolt

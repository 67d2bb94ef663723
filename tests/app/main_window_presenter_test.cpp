#include "app/main_window_presenter.h"

#include <gtest/gtest.h>

#include "editing/apply_changes.h"
#include "main_window_fixture.h"

namespace quenbolt {
namespace {

using EditorTest = MainWindowTest;

// ---- fillEditor -----------------------------------------------------------------------------

TEST_F(EditorTest, ContainerRowDisablesLabelAndActiveBoxAndALogicalRowEnablesOnlyTheLabel) {
  startQuietly();

  view.clickRow(kRowContainer);
  EXPECT_FALSE(view.labelEnabled()) << "label field and its caption";
  EXPECT_FALSE(view.activeEnabled());
  EXPECT_FALSE(view.activeChecked()) << "the active row before left its check mark behind";
  EXPECT_EQ(view.typeIdText(), "0F");
  EXPECT_EQ(view.driveLetterText, "");

  view.clickRow(kRowD);
  EXPECT_TRUE(view.labelEnabled()) << "enabled again after the container";
  EXPECT_FALSE(view.activeEnabled()) << "a logical partition has no active flag";
  EXPECT_FALSE(view.activeChecked());
  EXPECT_EQ(view.driveLetterText, "D");
  EXPECT_EQ(machine.statusText(), "Offset: 000000B07E00");
}

TEST_F(EditorTest, AnActivePrimaryShowsTheScanTimeFlagAndClearingItStagesPrimary) {
  startQuietly();
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
  EXPECT_EQ(row(kRowC)[kKindColumn], "主");

  view.clickRow(kRowHidden);
  EXPECT_TRUE(view.activeEnabled());
  EXPECT_FALSE(view.activeChecked());
  view.setActiveByUser(true);
  view.clickModify();
  EXPECT_EQ(row(kRowHidden)[kKindColumn], "主，活动");
  EXPECT_TRUE(machine.diskLog(DiskOp::Write).empty()) << "staging writes nothing";
}

TEST_F(EditorTest, StagingAContainerLeavesItsLabelAndKindAlone) {
  startQuietly();
  view.clickRow(kRowContainer);
  view.clickModify();
  EXPECT_EQ(row(kRowContainer)[kKindColumn], "扩展");
  EXPECT_EQ(row(kRowContainer)[kLabelColumn], "");
  EXPECT_EQ(row(kRowContainer)[kTypeIdColumn], "0F");
}

TEST_F(EditorTest, ALabelLongerThanTheFieldIsShownCutAndStagedCut) {
  startQuietly();
  ASSERT_EQ(row(kRowD)[kLabelColumn], longLabel());
  view.clickRow(kRowD);
  EXPECT_EQ(view.labelText(), longLabel().substr(0, 32));
  EXPECT_EQ(row(kRowD)[kLabelColumn], longLabel()) << "showing it does not change the row";
  view.clickModify();
  EXPECT_EQ(row(kRowD)[kLabelColumn], longLabel().substr(0, 32));
}

// ---- TypeIdEdit and TypeChoiceList ----------------------------------------------------------

TEST_F(EditorTest, ALoneDigitIsStagedWithALeadingZeroAndItsCatalogueName) {
  startQuietly();
  view.clickRow(kRowD);
  view.setTypeIdText("");
  view.typeIntoTypeId("b");
  EXPECT_EQ(view.typeIdText(), "B");
  view.clickModify();
  EXPECT_EQ(view.typeIdText(), "0B");
  EXPECT_EQ(view.typeChoiceSelection(), choiceOf("0B"));
  EXPECT_EQ(row(kRowD)[kTypeIdColumn], "0B");
  EXPECT_EQ(row(kRowD)[kFormatNameColumn], state.catalogue->NameOf("0B"));
  EXPECT_FALSE(row(kRowD)[kFormatNameColumn].empty());
}

TEST_F(EditorTest, OnlyHexDigitsAndBackspaceReachTheField) {
  startQuietly();
  view.clickRow(kRowD);
  view.typeIntoTypeId(std::string("g \x16G-\r\x1b", 7));  // Ctrl+V is 0x16
  EXPECT_EQ(view.typeIdText(), "07");
  view.retypeTypeId("");
  EXPECT_EQ(view.typeIdText(), "");
  view.typeIntoTypeId("1c");
  EXPECT_EQ(view.typeIdText(), "1C");
  EXPECT_EQ(view.typeChoiceSelection(), choiceOf("1C"));
}

TEST_F(EditorTest, AThirdCharacterIsCutAwayAndTheCaretStays) {
  startQuietly();
  view.clickRow(kRowD);
  view.setTypeIdCaret(1);
  view.typeIntoTypeId("C");  // "0C7" with the caret after the C
  EXPECT_EQ(view.typeIdText(), "0C");
  EXPECT_EQ(view.typeIdCaret(), 2u);
  EXPECT_EQ(view.typeChoiceSelection(), choiceOf("0C"));
}

TEST_F(EditorTest, AnIdOutsideTheCatalogueKeepsTheSelectionAndStagesNoName) {
  startQuietly();
  ASSERT_EQ(state.catalogue->NameOf("13"), "");
  view.clickRow(kRowD);
  const int before = view.typeChoiceSelection();
  ASSERT_EQ(before, choiceOf("07"));
  view.retypeTypeId("13");
  EXPECT_EQ(view.typeChoiceSelection(), before);
  view.clickModify();
  EXPECT_EQ(row(kRowD)[kTypeIdColumn], "13");
  EXPECT_EQ(row(kRowD)[kFormatNameColumn], "");

  view.retypeTypeId("");
  view.clickModify();
  EXPECT_EQ(row(kRowD)[kTypeIdColumn], "") << "an emptied field stages an empty ID";
  EXPECT_EQ(row(kRowD)[kFormatNameColumn], "");
}

TEST_F(EditorTest, ChoosingAnItemPutsItsIdIntoTheField) {
  startQuietly();
  view.clickRow(kRowC);
  const int ntfs = choiceOf("07");
  ASSERT_GE(ntfs, 0);
  view.chooseTypeChoice(static_cast<std::size_t>(ntfs));
  EXPECT_EQ(view.typeIdText(), "07");
  EXPECT_EQ(view.typeChoiceSelection(), ntfs);
}

// ---- LabelEdit ------------------------------------------------------------------------------

TEST_F(EditorTest, TheLabelFieldKeeps32BytesAndNeverHalfACharacter) {
  startQuietly();
  view.clickRow(kRowC);
  view.setLabelText("");
  view.typeIntoLabel(std::string(32, 'x'));
  EXPECT_EQ(view.labelText(), std::string(32, 'x'));
  view.typeIntoLabel("y");
  EXPECT_EQ(view.labelText(), std::string(32, 'x')) << "a 33rd byte is cut";

  view.setLabelText(std::string(31, 'x'));
  view.typeIntoLabel("中");  // its lead byte would be byte 32
  EXPECT_EQ(view.labelText(), std::string(31, 'x'));
  EXPECT_EQ(view.labelCaret, 31u);

  // Sixteen two-byte characters fill the field exactly.
  std::string chinese;
  for (int i = 0; i < 16; ++i) chinese += "卷";
  view.setLabelText(chinese);
  EXPECT_EQ(view.labelText(), chinese);
  view.typeIntoLabel("a");
  EXPECT_EQ(view.labelText(), chinese);
}

TEST_F(EditorTest, TypingInTheMiddleOfTheLabelPutsTheCaretAtTheEnd) {
  startQuietly();
  view.clickRow(kRowC);
  EXPECT_EQ(view.labelCaret, 6u) << "filled from the row, caret at the end";
  view.labelCaret = 2;
  view.typeIntoLabel("-");
  EXPECT_EQ(view.labelText(), "SY-STEM");
  EXPECT_EQ(view.labelCaret, 7u);
}

// ---- Clicks and double clicks ---------------------------------------------------------------

TEST_F(EditorTest, AClickBelowTheLastRowSelectsTheLastRow) {
  startQuietly();
  view.clickRow(kRowC);
  view.clickBelowRows();
  EXPECT_EQ(view.selectedRow(), static_cast<int>(kRowHidden));
  EXPECT_EQ(view.typeIdText(), "1C");
  EXPECT_EQ(machine.statusText(), "Offset: 000001F00000");

  // With a row selected, a click changes nothing.
  view.filledRows.clear();
  presenter.keepSelection();
  EXPECT_EQ(view.selectedRow(), static_cast<int>(kRowHidden));
  EXPECT_TRUE(view.filledRows.empty());
}

TEST_F(EditorTest, DoubleClickOpensTheSelectedRowsDriveOnly) {
  startQuietly();
  view.clickRow(kRowContainer);
  presenter.openDrive();
  EXPECT_TRUE(machine.shellOpens().empty()) << "a row without a letter";
  view.clickRow(kRowD);
  presenter.openDrive();
  EXPECT_EQ(machine.shellOpens(), std::vector<std::string>{"D:"});
}

// ---- Colours --------------------------------------------------------------------------------

TEST_F(EditorTest, ContainersAreGreyHiddenTypesRedAndStagedRowsChangeColour) {
  startQuietly();
  EXPECT_EQ(colourOf(kRowC), 0x123456u);
  EXPECT_EQ(colourOf(kRowContainer), kContainerRowColour);
  EXPECT_EQ(colourOf(kRowHidden), kHiddenTypeRowColour);
  std::uint32_t colour = 0x123456;
  EXPECT_EQ(presenter.rowTextColour(-1, colour), 0x20) << "the list's pre-paint stage";
  EXPECT_EQ(presenter.rowTextColour(static_cast<long>(kRowD), colour), 0x20);
  EXPECT_EQ(colour, 0x123456u);
  EXPECT_EQ(colourOf(99), 0x123456u) << "a row the list does not have";

  view.clickRow(kRowD);
  view.retypeTypeId("1b");
  view.clickModify();
  EXPECT_EQ(colourOf(kRowD), kHiddenTypeRowColour);

  view.clickRow(kRowHidden);
  view.retypeTypeId("c");
  view.clickModify();
  EXPECT_EQ(row(kRowHidden)[kTypeIdColumn], "0C");
  EXPECT_EQ(colourOf(kRowHidden), 0x123456u);

  state.list.rows[kRowContainer][kKindColumn] = "扩展，活动";
  EXPECT_EQ(colourOf(kRowContainer), 0x123456u) << "only the kind exactly \"扩展\" is grey";
}

// ---- Window menu ----------------------------------------------------------------------------

TEST_F(EditorTest, TheWindowMenuShowsTheAboutAndHelpBoxes) {
  startQuietly();
  presenter.handleSystemCommand(0x401);
  presenter.handleSystemCommand(0x402);
  presenter.handleSystemCommand(0xF060);  // SC_CLOSE: not ours
  ASSERT_EQ(machine.messageBoxes().size(), 2u);
  EXPECT_EQ(machine.messageBoxes()[0].caption, "版本信息");
  EXPECT_EQ(machine.messageBoxes()[0].style, 0x40u);
  const std::string& about = machine.messageBoxes()[0].text;
  EXPECT_EQ(about.rfind("作者: ", 0), 0u);
  EXPECT_NE(about.find("\r日期: "), std::string::npos);
  EXPECT_EQ(about.find('\n'), std::string::npos) << "lines are separated by CR alone";
  EXPECT_EQ(machine.messageBoxes()[1].caption, "命令行参数");
  EXPECT_EQ(machine.messageBoxes()[1].text, state.commandLineHelp);
  EXPECT_EQ(machine.messageBoxes()[1].style, 0x20u);
  EXPECT_EQ(machine.closeRequests(), 0u);
}

// ---- Confirming and closing -----------------------------------------------------------------

TEST_F(EditorTest, ConfirmWithoutFailuresWritesAndClosesWithoutAMessage) {
  startQuietly();
  view.clickRow(kRowD);
  view.retypeTypeId("17");
  view.clickModify();
  presenter.confirmChanges();
  EXPECT_EQ(machine.disk(0).byte(kEbr + 0x1C2), 0x17);
  EXPECT_TRUE(machine.messageBoxes().empty());
  EXPECT_EQ(machine.closeRequests(), 1u);
}

TEST_F(EditorTest, ConfirmShowsOneBoxListingWhatCouldNotBeWritten) {
  startQuietly();
  view.clickRow(kRowD);
  view.retypeTypeId("17");
  view.clickModify();
  view.clickRow(kRowHidden);
  view.retypeTypeId("0C");
  view.clickModify();
  machine.disk(0).failOpen(OpenFault::ReadWriteOnly);

  presenter.confirmChanges();

  ASSERT_EQ(machine.messageBoxes().size(), 1u);
  const MessageBoxRecord& box = machine.messageBoxes()[0];
  EXPECT_EQ(box.style, 0x30u);
  ChangeFailure d{kRowD, ChangeKind::TypeId, FailureReason::OpenFailed};
  ChangeFailure hidden{kRowHidden, ChangeKind::TypeId, FailureReason::OpenFailed};
  EXPECT_NE(box.text.find(describeFailure(state.list, d)), std::string::npos) << box.text;
  EXPECT_NE(box.text.find(describeFailure(state.list, hidden)), std::string::npos) << box.text;
  EXPECT_EQ(machine.closeRequests(), 1u) << "the window still closes";
}

TEST_F(EditorTest, ACloseArrivingWhileTheFailureBoxIsOpenWaitsForTheBox) {
  startQuietly();
  ASSERT_FALSE(state.tempLetters.empty());
  view.clickRow(kRowD);
  view.retypeTypeId("17");
  view.clickModify();
  machine.disk(0).failOpen();

  bool closedUnderTheBox = true;
  ui.whileMessageBoxOpen = [&] { closedUnderTheBox = presenter.closeRequested(); };
  presenter.confirmChanges();
  ui.whileMessageBoxOpen = nullptr;

  EXPECT_FALSE(closedUnderTheBox);
  EXPECT_EQ(machine.calls(CallKind::RemoveName).size(), 0u) << "letters stay while the box is up";
  EXPECT_EQ(machine.closeRequests(), 2u) << "applyChanges' request, then the one that waited";
  EXPECT_TRUE(presenter.closeRequested());
  EXPECT_TRUE(machine.definedNames().empty());
}

TEST_F(EditorTest, TheCloseHandlerRemovesTheTemporaryLettersOnce) {
  startQuietly();
  ASSERT_EQ(state.tempLetters, std::vector<std::string>{"E:"});
  ASSERT_EQ(machine.definedNames(), std::vector<std::string>{"E:"});
  EXPECT_TRUE(presenter.closeRequested());
  EXPECT_TRUE(presenter.closeRequested());
  presenter.releaseTemporaryLetters();
  EXPECT_TRUE(machine.definedNames().empty());
  EXPECT_EQ(machine.calls(CallKind::RemoveName).size(), 1u);
}

TEST_F(EditorTest, ExitClosesWithoutWriting) {
  startQuietly();
  view.clickRow(kRowD);
  view.retypeTypeId("17");
  view.clickModify();
  presenter.exitWithoutWriting();
  EXPECT_EQ(machine.closeRequests(), 1u);
  EXPECT_TRUE(presenter.closeRequested());
  EXPECT_TRUE(machine.diskLog(DiskOp::Write).empty());
}

TEST_F(EditorTest, TheBootLabelBoxReloadsFat32LabelsAndShowsThem) {
  startQuietly();
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

#include "app/main_window_presenter.h"

#include "cli/help_text.h"
#include "editing/apply_changes.h"
#include "editing/boot_sector_label_writer.h"
#include "model/gbk_text.h"
#include "model/gpt_types.h"
#include "model/type_catalogue.h"

namespace quenbolt {

const char* const kAboutCaption = "版本信息";

std::string aboutText() {
  return std::string("作者: Quenbolt 开发组") + '\r' + "日期: 2026-12-06" + '\r' +
         "https://quenbolt.example.org";
}

namespace {

const char* const kStatusOffsetPrefix = "Offset: ";
const char* const kFailureCaption = "写入失败";
const char* const kFailureIntro = "以下更改未能写入磁盘:";
const char* const kNoteCaption = "提示";
const char* const kNotStagedCaption = "未修改";
const char* const kNotGbkLabelText = "卷标含有 GBK 无法表示的字符，这一行没有修改。";
const char* const kNotGptTypeText = "GPT 分区的分区标记应为列表中的四位类型代码，这一行没有修改。";
const char* const kActiveCaption = "活动";
const char* const kHiddenCaption = "隐藏";

}  // namespace

void MainWindowPresenter::fillEditor(std::size_t row) {
  const PartitionList& list = state_.list;
  if (row >= list.size()) return;
  const PartitionRow& cells = list.rows[row];
  const GptRecord* gpt = list.gptRecordOf(row);

  view_.setLabelEnabled(!isInGroup(TypeGroup::ExtendedTypes, cells[kTypeIdColumn]));
  view_.setTypeEnabled(true);
  showTypeChoices(gpt != nullptr);

  // The check mark shows the flag the scan found, not the kind column: a staged but unwritten
  // change of the flag is visible in the row only. For a GPT row the box is "隐藏".
  view_.setActiveCaption(gpt ? kHiddenCaption : kActiveCaption);
  view_.setActiveEnabled(gpt != nullptr);
  view_.setActiveChecked(gpt && gpt->hidden());
  // A protective EE entry (a GPT disk whose table could not be read) never gets the flag.
  if (const PrimaryRecord* record = list.primaryRecordOf(row)) {
    view_.setActiveEnabled(!list.isProtectiveEntry(row));
    view_.setActiveChecked(record->flag == 1);
  }

  view_.setDriveLetterText(cells[kDriveLetterColumn]);
  view_.setLabelText(cells[kLabelColumn]);
  // Read back: what the field made of the label (cut to its length, through UTF-16 and back) is
  // what it holds while the user leaves it alone.
  labelAsFilled_ = view_.labelText();
  // A type GUID without a code does not fit the field: it stays empty until a code is chosen.
  const std::string& type = cells[kTypeIdColumn];
  view_.setTypeIdText(type.size() <= typeIdLimit() ? type : std::string());
  if (view_.typeIdText().empty()) view_.clearTypeChoice();
  typeAsFilled_ = view_.typeIdText();
  const std::string offset =
      row < list.BootSectorOffsetText.size() ? list.BootSectorOffsetText[row] : std::string();
  platform_.ui.setStatusText(kStatusOffsetPrefix + offset);
}

void MainWindowPresenter::showTypeChoices(bool gpt) {
  if (gptChoices_ == gpt) return;
  gptChoices_ = gpt;
  view_.clearTypeChoices();
  const std::vector<std::string> entries =
      gpt ? gptTypeChoiceEntries()
          : (state_.catalogue ? state_.catalogue->typeChoiceEntries() : std::vector<std::string>());
  for (const std::string& entry : entries) view_.addTypeChoice(entry);
}

std::size_t MainWindowPresenter::typeIdLimit() const { return gptChoices_ ? 4 : 2; }

void MainWindowPresenter::keepSelection() {
  if (view_.selectedRow() >= 0) return;
  const std::size_t count = state_.list.size();
  if (count == 0) return;
  view_.selectRow(count - 1);
}

void MainWindowPresenter::openDrive() {
  const int row = view_.selectedRow();
  if (row < 0 || static_cast<std::size_t>(row) >= state_.list.size()) return;
  const std::string& letter = state_.list.rows[static_cast<std::size_t>(row)][kDriveLetterColumn];
  if (letter.empty()) return;
  platform_.ui.shellOpen(letter + ":");
}

long MainWindowPresenter::findRow(const std::string& text, std::size_t start, bool partial,
                                  bool wrap) const {
  const std::vector<PartitionRow>& rows = state_.list.rows;
  const std::string wanted = upperCased(text);
  const std::size_t count = rows.size();
  const std::size_t tries = wrap ? count : (start < count ? count - start : 0);
  for (std::size_t i = 0; i < tries; ++i) {
    const std::size_t row = (start + i) % count;
    const std::string cell = upperCased(rows[row][kDriveLetterColumn]);
    if (partial ? cell.compare(0, wanted.size(), wanted) == 0 : cell == wanted) {
      return static_cast<long>(row);
    }
  }
  return -1;
}

long MainWindowPresenter::rowTextColour(long row, std::uint32_t& colour) const {
  const PartitionList& list = state_.list;
  if (row >= 0 && static_cast<std::size_t>(row) < list.size()) {
    const PartitionRow& cells = list.rows[static_cast<std::size_t>(row)];
    if (cells[kKindColumn] == kKindExtended) colour = kContainerRowColour;
    if (isInGroup(TypeGroup::HiddenTypes, cells[kTypeIdColumn]) ||
        cells[kKindColumn] == gptKindText(std::uint64_t{1} << kGptHiddenAttributeBit)) {
      colour = kHiddenTypeRowColour;
    }
  }
  return kNotifyEveryCell;
}

void MainWindowPresenter::stageRowEdit() {
  const bool typeEnabled = view_.typeEnabled();
  const int selected = view_.selectedRow();
  if (selected < 0 || static_cast<std::size_t>(selected) >= state_.list.size()) return;
  const std::size_t row = static_cast<std::size_t>(selected);
  PartitionList& list = state_.list;
  PartitionRow& cells = list.rows[row];
  GptRecord* gpt = list.gptRecordOf(row);
  if (typeEnabled && !gpt && view_.typeIdText().size() == 1)
    view_.setTypeIdText("0" + view_.typeIdText());

  const bool labelEdited = view_.labelEnabled() && view_.labelText() != labelAsFilled_;
  // Staged, such a character would reach the volume as a question mark.
  if (labelEdited && holdsNoGbkCharacter(view_.labelText())) {
    showMessageBox(kNotGbkLabelText, kNotStagedCaption, kMbIconWarning);
    return;
  }
  // A GPT type is staged only when the field was changed, and only as a code of the list.
  const bool gptTypeEdited = gpt && typeEnabled && view_.typeIdText() != typeAsFilled_;
  const std::optional<Guid> gptType = gptTypeEdited && view_.typeIdText().size() == 4
                                          ? gptTypeOf(view_.typeIdText())
                                          : std::nullopt;
  if (gptTypeEdited && !gptType) {
    showMessageBox(kNotGptTypeText, kNotStagedCaption, kMbIconWarning);
    return;
  }

  if (gpt) {
    if (gptType) list.stageGptType(*gpt, *gptType);
    typeAsFilled_ = view_.typeIdText();
    // "隐藏" sets or clears hidden and no drive letter together; left as the scan found it, the
    // attributes stay as scanned.
    if (view_.activeEnabled()) {
      const std::uint64_t attributes =
          view_.activeChecked() == gpt->hidden()
              ? gpt->attributes
              : (view_.activeChecked() ? gpt->attributes | kGptHideAttributes
                                       : gpt->attributes & ~kGptHideAttributes);
      list.stageGptAttributes(*gpt, attributes);
    }
  } else if (typeEnabled) {
    cells[kTypeIdColumn] = view_.typeIdText();
    cells[kFormatNameColumn] =
        state_.catalogue ? state_.catalogue->NameOf(cells[kTypeIdColumn]) : std::string();
  }
  // Only an edited label is staged: the field cannot hold every label byte for byte (more than
  // 32 bytes, bytes that are no GBK text), and staging what it shows would rewrite the label of
  // a row whose type alone was changed.
  if (labelEdited) {
    cells[kLabelColumn] = view_.labelText();
    labelAsFilled_ = cells[kLabelColumn];
  }
  if (!gpt && view_.activeEnabled()) {
    cells[kKindColumn] = view_.activeChecked() ? kKindPrimaryActive : kKindPrimary;
  }
  view_.updateRow(list, row);
}

bool MainWindowPresenter::filterTypeIdChar(unsigned character) const {
  return (character >= '0' && character <= '9') || (character >= 'A' && character <= 'F') ||
         (character >= 'a' && character <= 'f') || character == 0x08;
}

void MainWindowPresenter::syncTypeChoice() {
  const std::size_t caret = view_.typeIdCaret();
  std::string text = view_.typeIdText();
  if (text.size() > typeIdLimit()) {
    // Raises this handler again, and that inner run selects the item for the two characters
    // left; looking again below changes nothing then. Only hex digits pass the field's filter,
    // but a cut must not leave half a character should anything else get in.
    view_.setTypeIdText(cutGbk(text, typeIdLimit()));
    view_.setTypeIdCaret(caret);
    text = view_.typeIdText();
  }
  for (std::size_t i = 0; i < view_.typeChoiceCount(); ++i) {
    if (typeChoiceId(view_.typeChoiceText(i)) == text) {
      view_.selectTypeChoice(i);
      return;
    }
  }
}

void MainWindowPresenter::limitLabelText() {
  const std::string text = view_.labelText();
  // Never cut a double-byte character in half: a lone lead byte would be written to the volume
  // as part of the label.
  if (text.size() > kLabelFieldBytes) view_.setLabelText(cutGbk(text, kLabelFieldBytes));
  view_.setLabelCaret(kLabelFieldBytes);
}

void MainWindowPresenter::takeTypeChoice() {
  const int selected = view_.typeChoiceSelection();
  if (selected < 0) return;
  view_.setTypeIdText(typeChoiceId(view_.typeChoiceText(static_cast<std::size_t>(selected))));
}

void MainWindowPresenter::confirmChanges() {
  const ChangeReport report = applyChanges(platform_, state_.list);
  std::vector<std::string> lines;
  if (!report.succeeded()) lines.push_back(kFailureIntro);
  for (const ChangeFailure& failure : report.failures) {
    lines.push_back(describeFailure(state_.list, failure));
  }
  // A hidden partition that stays visible until a restart looks like a change not made.
  for (unsigned disk : report.tablesNotReread) lines.push_back(describeTableNotReread(disk));
  if (lines.empty()) return;
  std::string text = lines.front();
  for (std::size_t i = 1; i < lines.size(); ++i) text += "\r\n" + lines[i];
  if (report.succeeded()) {
    showMessageBox(text, kNoteCaption, kMbIconInformation);
  } else {
    showMessageBox(text, kFailureCaption, kMbIconWarning);
  }
}

void MainWindowPresenter::exitWithoutWriting() { platform_.ui.requestClose(); }

void MainWindowPresenter::bootLabelFirstClicked() {
  refreshBootLabels(platform_, state_.list, view_.bootLabelFirstChecked());
  for (std::size_t row = 0; row < state_.list.size(); ++row) view_.updateRow(state_.list, row);
}

void MainWindowPresenter::handleSystemCommand(unsigned id) {
  if (id == kAboutCommand) {
    showMessageBox(aboutText(), kAboutCaption, kMbIconInformation);
  } else if (id == kHelpCommand) {
    showMessageBox(state_.commandLineHelp, kHelpCaption, kMbIconQuestion);
  }
}

bool MainWindowPresenter::closeRequested() {
  if (openMessageBoxes_ > 0) {
    closeWaiting_ = true;
    return false;
  }
  releaseTemporaryLetters();
  return true;
}

void MainWindowPresenter::releaseTemporaryLetters() {
  if (state_.tempLettersRemoved) return;
  state_.tempLettersRemoved = true;
  removeTemporaryLetters(platform_, state_.tempLetters);
}

void MainWindowPresenter::showMessageBox(const std::string& text, const std::string& caption,
                                         unsigned style) {
  // A message box runs its own message loop, which would hand a queued close request (such as
  // the one applyChanges leaves) to the window behind the box and tear it down under it.
  ++openMessageBoxes_;
  platform_.ui.messageBox(text, caption, style);
  --openMessageBoxes_;
  if (openMessageBoxes_ == 0 && closeWaiting_) {
    closeWaiting_ = false;
    platform_.ui.requestClose();
  }
}

}  // namespace quenbolt

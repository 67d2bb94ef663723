#pragma once
// A main window made of plain fields. It raises the same events as the real controls (a changed
// field runs its handler, a selection change runs fillEditor for each row it touches), holds text
// as they do (in UTF-16: bytes that are no GBK text come back as '?'), and it plays the user:
// typing, clicking and choosing go through the presenter like real input.

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window_presenter.h"
#include "app/main_window_view.h"

namespace quenbolt {

class FakeMainWindowView : public MainWindowView {
 public:
  void attach(MainWindowPresenter& presenter) { presenter_ = &presenter; }

  // Called with the name of every window-level view call, in order ("showWindow",
  // "selectRow 0", ...), so a test can put them beside what the machine saw.
  std::function<void(const std::string&)> onEvent;

  // --- The user ----------------------------------------------------------------------------
  // Each character through the field's filter, as typed at the caret (0x08 erases).
  void typeIntoTypeId(const std::string& characters);
  // Clicks at the end of TypeIdEdit, erases it with backspaces and types `characters`.
  void retypeTypeId(const std::string& characters);
  void typeIntoLabel(const std::string& bytes);  // inserted at the caret as one change
  void clickRow(std::size_t row) { click(static_cast<int>(row)); }  // selects, then the click event
  void clickBelowRows() { click(-1); }                                // deselects, then the click
  void chooseTypeChoice(std::size_t index) {
    choice_ = static_cast<int>(index);
    presenter_->takeTypeChoice();
  }
  void setActiveByUser(bool checked) { activeChecked_ = checked; }
  void clickModify() { presenter_->stageRowEdit(); }

  // --- Recorded state ----------------------------------------------------------------------
  std::vector<WindowMenuItem> menuItems;
  std::vector<std::vector<std::string>> displayedRows;  // cells as last shown
  std::vector<std::size_t> filledRows;  // fillEditor calls raised by selection changes
  std::string driveLetterText;
  std::size_t labelCaret = 0;
  bool bootLabelFirst = false;

  // --- MainWindowView ----------------------------------------------------------------------
  void appendWindowMenuItem(const WindowMenuItem& item) override {
    event("menuItem");
    menuItems.push_back(item);
  }
  void showWindow() override { event("showWindow"); }
  void showRows(const PartitionList& list) override;
  void updateRow(const PartitionList& list, std::size_t row) override {
    displayedRows.at(row).assign(list.rows.at(row).cells.begin(), list.rows.at(row).cells.end());
  }
  int selectedRow() const override { return selected_; }
  void selectRow(std::size_t row) override {
    event("selectRow " + std::to_string(row));
    changeSelection(static_cast<int>(row));
  }
  void setLabelEnabled(bool enabled) override { labelEnabled_ = enabled; }
  bool labelEnabled() const override { return labelEnabled_; }
  void setActiveEnabled(bool enabled) override { activeEnabled_ = enabled; }
  bool activeEnabled() const override { return activeEnabled_; }
  void setActiveChecked(bool checked) override { activeChecked_ = checked; }
  bool activeChecked() const override { return activeChecked_; }
  void setDriveLetterText(const std::string& text) override { driveLetterText = text; }
  std::string labelText() const override { return label_; }
  void setLabelText(const std::string& text) override;  // caret to the start, like a real field
  void setLabelCaret(std::size_t position) override {
    labelCaret = std::min(position, label_.size());
  }
  void setTypeEnabled(bool enabled) override { typeEnabled_ = enabled; }
  bool typeEnabled() const override { return typeEnabled_; }
  std::string typeIdText() const override { return typeId_; }
  void setTypeIdText(const std::string& text) override;
  std::size_t typeIdCaret() const override { return typeIdCaret_; }
  void setTypeIdCaret(std::size_t position) override {
    typeIdCaret_ = std::min(position, typeId_.size());
  }
  void addTypeChoice(const std::string& text) override {
    event("addTypeChoice");
    choices_.push_back(text);
  }
  std::size_t typeChoiceCount() const override { return choices_.size(); }
  std::string typeChoiceText(std::size_t index) const override { return choices_.at(index); }
  int typeChoiceSelection() const override { return choice_; }
  void selectTypeChoice(std::size_t index) override { choice_ = static_cast<int>(index); }
  void clearTypeChoice() override { choice_ = -1; }
  bool bootLabelFirstChecked() const override { return bootLabelFirst; }

 private:
  void event(const std::string& name) {
    if (onEvent) onEvent(name);
  }
  void click(int row) {
    changeSelection(row);
    presenter_->keepSelection();
  }
  // Raises fillEditor for the row losing the selection, then for the one gaining it.
  void changeSelection(int row);

  MainWindowPresenter* presenter_ = nullptr;
  int selected_ = -1;
  bool labelEnabled_ = true;
  bool activeEnabled_ = true;
  bool typeEnabled_ = true;
  bool activeChecked_ = false;
  std::string label_;
  std::string typeId_;
  std::size_t typeIdCaret_ = 0;
  std::vector<std::string> choices_;
  int choice_ = -1;
};

}  // namespace quenbolt

#pragma once
// The main window as plain fields. It raises the events the real controls raise (a changed field runs
// its handler, a selection change fills the editor for each row it touches), holds text as they do
// (UTF-16: bytes that are no GBK text come back as '?'), and plays the user through the presenter.
// Window-level calls go to the machine's log ("view showWindow"), beside the disk accesses.

#include "app/main_window_presenter.h"
#include "support/sectors.h"

namespace quenbolt {

class FakeView : public MainWindowView {
 public:
  FakeView(std::vector<std::string>& log, MainWindowPresenter& presenter) : log_(log), presenter_(presenter) {}

  void typeIntoTypeId(const std::string& keys) {  // each through the field's filter, at the caret; 0x08 erases
    for (char c : keys) {
      if (!presenter_.filterTypeIdChar(static_cast<unsigned char>(c))) continue;
      if (c != '\b') typeId.insert(typeIdCaret_++, upperAscii(std::string(1, c)));
      else if (typeIdCaret_ > 0) typeId.erase(--typeIdCaret_, 1);
      presenter_.syncTypeChoice();
    }
  }
  void retypeTypeId(const std::string& keys) {  // the caret to the end, backspaces, then `keys`
    typeIdCaret_ = typeId.size();
    typeIntoTypeId(std::string(typeId.size(), '\b') + keys);
  }
  void typeIntoLabel(const std::string& bytes) {  // at the caret, as one change
    labelCaret = std::min(labelCaret, label.size());
    label.insert(labelCaret, bytes);
    labelCaret += bytes.size();
    presenter_.limitLabelText();
  }
  void clickRow(int row) {  // -1: below the last row
    const int old = selected_;
    selected_ = row;
    for (int touched : {old, row}) {
      if (old != row && touched >= 0) presenter_.fillEditor(static_cast<std::size_t>(touched));
    }
    presenter_.keepSelection();
  }
  void choose(const std::string& id) {
    for (std::size_t i = 0; i < choices.size(); ++i) choice = typeChoiceId(choices[i]) == id ? static_cast<int>(i) : choice;
    presenter_.takeTypeChoice();
  }
  void clickModify() { presenter_.stageRowEdit(); }

  std::vector<WindowMenuItem> menu;
  std::vector<std::vector<std::string>> rows;
  std::string label, typeId, letter;
  std::size_t labelCaret = 0;
  std::vector<std::string> choices;
  int choice = -1;
  bool labelOn = true, activeOn = true, typeOn = true, active = false, bootLabelFirst = false;

  void appendWindowMenuItem(const WindowMenuItem& item) override { log_.push_back("view menuItem"), menu.push_back(item); }
  void showWindow() override { log_.push_back("view showWindow"); }
  void showRows(const PartitionList& list) override {
    log_.push_back("view showRows " + std::to_string(list.size()));
    selected_ = -1;
    rows.clear();
    for (const PartitionRow& row : list.rows) rows.emplace_back(row.cells.begin(), row.cells.end());
  }
  void updateRow(const PartitionList& list, std::size_t row) override { rows.at(row).assign(list.rows[row].cells.begin(), list.rows[row].cells.end()); }
  int selectedRow() const override { return selected_; }
  void selectRow(std::size_t row) override { log_.push_back("view selectRow " + std::to_string(row)), clickRow(static_cast<int>(row)); }
  void setLabelEnabled(bool on) override { labelOn = on; }
  bool labelEnabled() const override { return labelOn; }
  void setActiveEnabled(bool on) override { activeOn = on; }
  bool activeEnabled() const override { return activeOn; }
  void setActiveChecked(bool checked) override { active = checked; }
  bool activeChecked() const override { return active; }
  void setDriveLetterText(const std::string& text) override { letter = text; }
  std::string labelText() const override { return label; }
  void setLabelText(const std::string& text) override { label = throughUtf16(text), labelCaret = 0, presenter_.limitLabelText(); }
  void setLabelCaret(std::size_t position) override { labelCaret = std::min(position, label.size()); }
  void setTypeEnabled(bool on) override { typeOn = on; }
  bool typeEnabled() const override { return typeOn; }
  std::string typeIdText() const override { return typeId; }
  void setTypeIdText(const std::string& text) override { typeId = upperAscii(throughUtf16(text)), typeIdCaret_ = 0, presenter_.syncTypeChoice(); }
  std::size_t typeIdCaret() const override { return typeIdCaret_; }
  void setTypeIdCaret(std::size_t position) override { typeIdCaret_ = std::min(position, typeId.size()); }
  void addTypeChoice(const std::string& text) override {
    if (choices.empty()) log_.push_back("view addTypeChoice");
    choices.push_back(text);
  }
  std::size_t typeChoiceCount() const override { return choices.size(); }
  std::string typeChoiceText(std::size_t index) const override { return choices.at(index); }
  int typeChoiceSelection() const override { return choice; }
  void selectTypeChoice(std::size_t index) override { choice = static_cast<int>(index); }
  void clearTypeChoice() override { choice = -1; }
  bool bootLabelFirstChecked() const override { return bootLabelFirst; }

 private:
  // Code page 936 both ways: what is no GBK character comes back as '?'.
  static std::string throughUtf16(const std::string& gbk) {
    std::string out;
    for (std::size_t i = 0; i < gbk.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(gbk[i]), next = i + 1 < gbk.size() ? static_cast<unsigned char>(gbk[i + 1]) : 0;
      const bool lead = c >= 0x81 && c <= 0xFE;
      if (lead && next >= 0x40 && next != 0x7F && next != 0xFF) out += gbk.substr(i++, 2);
      else out += lead || c == 0xFF ? '?' : static_cast<char>(c);
    }
    return out;
  }

  std::vector<std::string>& log_;
  MainWindowPresenter& presenter_;
  int selected_ = -1;
  std::size_t typeIdCaret_ = 0;
};

}  // namespace quenbolt

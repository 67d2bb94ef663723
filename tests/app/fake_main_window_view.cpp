#include "fake_main_window_view.h"

#include "model/gbk_text.h"

namespace quenbolt {

void FakeMainWindowView::typeIntoTypeId(const std::string& characters) {
  for (char c : characters) {
    if (!presenter_->filterTypeIdChar(static_cast<unsigned char>(c))) continue;
    if (c == 0x08) {
      if (typeIdCaret_ == 0) continue;
      typeId_.erase(typeIdCaret_ - 1, 1);
      --typeIdCaret_;
    } else {
      // An upper-case field.
      typeId_.insert(typeIdCaret_, upperCased(std::string(1, c)));
      ++typeIdCaret_;
    }
    presenter_->syncTypeChoice();
  }
}

void FakeMainWindowView::retypeTypeId(const std::string& characters) {
  typeIdCaret_ = typeId_.size();
  typeIntoTypeId(std::string(typeId_.size(), '\b') + characters);
}

void FakeMainWindowView::typeIntoLabel(const std::string& bytes) {
  const std::size_t at = labelCaret < label_.size() ? labelCaret : label_.size();
  label_.insert(at, bytes);
  labelCaret = at + bytes.size();
  presenter_->limitLabelText();
}

void FakeMainWindowView::clickRow(std::size_t row) {
  changeSelection(static_cast<int>(row));
  presenter_->keepSelection();
}

void FakeMainWindowView::clickBelowRows() {
  changeSelection(-1);
  presenter_->keepSelection();
}

void FakeMainWindowView::chooseTypeChoice(std::size_t index) {
  choice_ = static_cast<int>(index);
  presenter_->takeTypeChoice();
}

void FakeMainWindowView::appendWindowMenuItem(const WindowMenuItem& item) {
  event("menuItem");
  menuItems.push_back(item);
}

void FakeMainWindowView::showWindow() {
  event("showWindow");
  shown = true;
}

void FakeMainWindowView::showRows(const PartitionList& list) {
  event("showRows " + std::to_string(list.size()));
  selected_ = -1;
  displayedRows.clear();
  for (const PartitionRow& row : list.rows) {
    displayedRows.emplace_back(row.cells.begin(), row.cells.end());
  }
}

void FakeMainWindowView::updateRow(const PartitionList& list, std::size_t row) {
  updatedRows.push_back(row);
  displayedRows.at(row).assign(list.rows.at(row).cells.begin(), list.rows.at(row).cells.end());
}

void FakeMainWindowView::selectRow(std::size_t row) {
  event("selectRow " + std::to_string(row));
  changeSelection(static_cast<int>(row));
}

void FakeMainWindowView::changeSelection(int row) {
  if (row == selected_) return;
  const int old = selected_;
  selected_ = row;
  if (old >= 0) {
    filledRows.push_back(static_cast<std::size_t>(old));
    presenter_->fillEditor(static_cast<std::size_t>(old));
  }
  if (row >= 0) {
    filledRows.push_back(static_cast<std::size_t>(row));
    presenter_->fillEditor(static_cast<std::size_t>(row));
  }
}

void FakeMainWindowView::setLabelText(const std::string& text) {
  label_ = text;
  labelCaret = 0;  // like a real field: setting the text puts the caret at the start
  presenter_->limitLabelText();
}

void FakeMainWindowView::setLabelCaret(std::size_t position) {
  labelCaret = position < label_.size() ? position : label_.size();
}

void FakeMainWindowView::setTypeIdText(const std::string& text) {
  typeId_ = upperCased(text);
  typeIdCaret_ = 0;
  presenter_->syncTypeChoice();
}

void FakeMainWindowView::setTypeIdCaret(std::size_t position) {
  typeIdCaret_ = position < typeId_.size() ? position : typeId_.size();
}

void FakeMainWindowView::addTypeChoice(const std::string& text) {
  event("addTypeChoice");
  choices_.push_back(text);
}

}  // namespace quenbolt

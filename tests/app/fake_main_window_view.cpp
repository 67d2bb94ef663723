#include "fake_main_window_view.h"

#include "model/gbk_text.h"

namespace quenbolt {

namespace {

// What a control gives back of GBK bytes it was given: it holds UTF-16, converted with code page
// 936 both ways, and a byte sequence that is no GBK character comes back as '?'.
std::string throughUtf16(const std::string& gbk) {
  std::string out;
  for (std::size_t i = 0; i < gbk.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(gbk[i]);
    const unsigned char next = i + 1 < gbk.size() ? static_cast<unsigned char>(gbk[i + 1]) : 0;
    if (isGbkLeadByte(c) && next >= 0x40 && next != 0x7F && next != 0xFF) {
      out += gbk.substr(i++, 2);
    } else {
      out += c == 0xFF || isGbkLeadByte(c) ? '?' : static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

void FakeMainWindowView::typeIntoTypeId(const std::string& characters) {
  for (char c : characters) {
    if (!presenter_->filterTypeIdChar(static_cast<unsigned char>(c))) continue;
    if (c != 0x08) {
      typeId_.insert(typeIdCaret_++, upperCased(std::string(1, c)));  // an upper-case field
    } else if (typeIdCaret_ > 0) {
      typeId_.erase(--typeIdCaret_, 1);
    }
    presenter_->syncTypeChoice();
  }
}

void FakeMainWindowView::retypeTypeId(const std::string& characters) {
  typeIdCaret_ = typeId_.size();
  typeIntoTypeId(std::string(typeId_.size(), '\b') + characters);
}

void FakeMainWindowView::typeIntoLabel(const std::string& bytes) {
  const std::size_t at = std::min(labelCaret, label_.size());
  label_.insert(at, bytes);
  labelCaret = at + bytes.size();
  presenter_->limitLabelText();
}

void FakeMainWindowView::showRows(const PartitionList& list) {
  event("showRows " + std::to_string(list.size()));
  selected_ = -1;
  displayedRows.clear();
  for (const PartitionRow& row : list.rows) {
    displayedRows.emplace_back(row.cells.begin(), row.cells.end());
  }
}

void FakeMainWindowView::changeSelection(int row) {
  if (row == selected_) return;
  const int old = selected_;
  selected_ = row;
  for (int touched : {old, row}) {
    if (touched < 0) continue;
    filledRows.push_back(static_cast<std::size_t>(touched));
    presenter_->fillEditor(static_cast<std::size_t>(touched));
  }
}

void FakeMainWindowView::setLabelText(const std::string& text) {
  label_ = throughUtf16(text);
  labelCaret = 0;
  presenter_->limitLabelText();
}

void FakeMainWindowView::setTypeIdText(const std::string& text) {
  typeId_ = upperCased(throughUtf16(text));
  typeIdCaret_ = 0;
  presenter_->syncTypeChoice();
}

}  // namespace quenbolt

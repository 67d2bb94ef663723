#pragma once
// What the main window's behaviour needs from its controls. The Win32 window implements it over
// real controls; tests implement it over plain fields.
//
// Events travel the other way: the view calls the MainWindowPresenter handler wired to each
// control event. Some setters raise such an event themselves, exactly as the controls do, and
// the presenter relies on it (noted per method).

#include <cstddef>
#include <string>

#include "discovery/partition_list.h"

namespace quenbolt {

// One item appended to the window menu.
struct WindowMenuItem {
  std::string text;  // empty for the separator (GBK)
  unsigned id = 0;
  unsigned flags = 0;  // MF_SEPARATOR 0x800, MF_STRING 0, MF_CHECKED 0x8
};

class MainWindowView {
 public:
  virtual ~MainWindowView() = default;

  // --- The window --------------------------------------------------------------------------
  virtual void appendWindowMenuItem(const WindowMenuItem& item) = 0;
  // Shows the window, brings it to the foreground and gives it the keyboard focus.
  virtual void showWindow() = 0;

  // --- PartitionListView: a view of the rows, which stay the source of truth ----------------
  // Replaces every displayed row by the rows of `list` (cells and image index). Selects nothing.
  virtual void showRows(const PartitionList& list) = 0;
  // Shows the current cells of one row again; its colour is asked anew when it is repainted.
  virtual void updateRow(const PartitionList& list, std::size_t row) = 0;
  // The selected row, or -1.
  virtual int selectedRow() const = 0;
  // Selects `row` alone and gives it the focus mark. Raises fillEditor for every row whose state
  // changes (the old one first), as the list control does.
  virtual void selectRow(std::size_t row) = 0;

  // --- Editor row --------------------------------------------------------------------------
  // LabelEdit together with its caption "卷标:".
  virtual void setLabelEnabled(bool enabled) = 0;
  virtual bool labelEnabled() const = 0;
  virtual void setActiveEnabled(bool enabled) = 0;
  virtual bool activeEnabled() const = 0;
  virtual void setActiveChecked(bool checked) = 0;
  virtual bool activeChecked() const = 0;
  // The check box's caption: "活动", or "隐藏" for a GPT row.
  virtual void setActiveCaption(const std::string& caption) = 0;
  virtual void setDriveLetterText(const std::string& text) = 0;

  virtual std::string labelText() const = 0;
  // Raises limitLabelText, like every change of the field.
  virtual void setLabelText(const std::string& text) = 0;
  // Puts the caret at `position`; a position past the end puts it at the end.
  virtual void setLabelCaret(std::size_t position) = 0;

  // TypeIdEdit, its caption "分区标记:" and TypeChoiceList, together.
  virtual void setTypeEnabled(bool enabled) = 0;
  virtual bool typeEnabled() const = 0;

  // TypeIdEdit is an upper-case field: what it shows and returns is upper-cased.
  virtual std::string typeIdText() const = 0;
  // Raises syncTypeChoice, like every change of the field.
  virtual void setTypeIdText(const std::string& text) = 0;
  virtual std::size_t typeIdCaret() const = 0;
  // A position past the end puts the caret at the end.
  virtual void setTypeIdCaret(std::size_t position) = 0;

  // --- TypeChoiceList ----------------------------------------------------------------------
  virtual void addTypeChoice(const std::string& text) = 0;
  // Removes every item.
  virtual void clearTypeChoices() = 0;
  virtual std::size_t typeChoiceCount() const = 0;
  virtual std::string typeChoiceText(std::size_t index) const = 0;
  // The selected item, or -1.
  virtual int typeChoiceSelection() const = 0;
  // Selects an item without raising takeTypeChoice (that event belongs to the user's choice).
  virtual void selectTypeChoice(std::size_t index) = 0;
  // Leaves no item selected, again without raising takeTypeChoice.
  virtual void clearTypeChoice() = 0;

  // --- BootLabelFirstCheck -----------------------------------------------------------------
  virtual bool bootLabelFirstChecked() const = 0;
};

}  // namespace quenbolt

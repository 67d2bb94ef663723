#pragma once
// The behaviour of the main window between start-up and close. Each public handler is wired to
// one control event by the window; none writes to a disk except confirmChanges ("确定").

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/main_window_state.h"
#include "app/main_window_view.h"
#include "platform/platform.h"

namespace quenbolt {

// Text colours (COLORREF, 0x00BBGGRR).
constexpr std::uint32_t kContainerRowColour = 0x808080;   // grey
constexpr std::uint32_t kHiddenTypeRowColour = 0x0000FF;  // red
// The custom-draw answer that asks for every row and every cell (CDRF_NOTIFYITEMDRAW at the
// list's pre-paint stage, CDRF_NOTIFYSUBITEMDRAW at a row's).
constexpr long kNotifyEveryCell = 0x20;

// Window-menu command ids.
constexpr unsigned kAboutCommand = 0x401;
constexpr unsigned kHelpCommand = 0x402;

// The longest label the label field keeps, in GBK bytes.
constexpr std::size_t kLabelFieldBytes = 32;

// The three texts of the About box, and its caption.
extern const char* const kAboutCaption;  // "版本信息"
std::string aboutText();

class MainWindowPresenter {
 public:
  MainWindowPresenter(Platform& platform, MainWindowView& view, MainWindowState& state)
      : platform_(platform), view_(view), state_(state) {}
  MainWindowPresenter(const MainWindowPresenter&) = delete;
  MainWindowPresenter& operator=(const MainWindowPresenter&) = delete;

  // --- PartitionListView -------------------------------------------------------------------
  // A row's state changed (selected, deselected, focused): shows `row` in the editor row.
  void fillEditor(std::size_t row);
  // A click with either button: an empty click below the rows selects the last row.
  void keepSelection();
  // A double click: opens the selected row's drive in the shell.
  void openDrive();
  // Typing in the list: the first row from `start` on (going on from the top with `wrap`) whose
  // first cell equals `text`, or with `partial` starts with it, letters compared without case;
  // -1 for none, which leaves the selection, and the editor, as they are.
  long findRow(const std::string& text, std::size_t start, bool partial, bool wrap) const;
  // Custom draw: sets `colour` for `row` (no row at the list's pre-paint stage, pass -1) and
  // returns the answer for the notification.
  long rowTextColour(long row, std::uint32_t& colour) const;

  // --- Editor row --------------------------------------------------------------------------
  // "修改": puts the editor's values into the selected row, the label only when the user changed
  // the field's text. A GPT row stages a changed type code through its record, and "隐藏" as
  // hidden and no drive letter together (attribute bits 62 and 63), set or cleared. A changed
  // label holding a character GBK cannot hold, or a GPT type that is no code of the list, stages
  // nothing of the row and says so in a message box.
  void stageRowEdit();
  // A character typed into TypeIdEdit; false drops it before the field sees it.
  bool filterTypeIdChar(unsigned character) const;
  // TypeIdEdit changed: keeps it to two bytes (four for a GPT row's code), never half a character,
  // and selects the matching drop-down item.
  void syncTypeChoice();
  // LabelEdit changed: keeps it to 32 bytes and puts the caret at the end.
  void limitLabelText();
  // The user chose a drop-down item: its ID goes into TypeIdEdit.
  void takeTypeChoice();

  // --- Buttons, check box and window menu -----------------------------------------------------
  // "确定": writes every staged edit. The window closes afterwards in every case; what could not
  // be written is listed in one message box first, so that nobody believes it was, and so is
  // every disk whose new table the system could not be asked to read (alone: in a box of its own,
  // "提示").
  void confirmChanges();
  // "退出" and Escape: closes without writing.
  void exitWithoutWriting();
  // "引导区卷标优先" was clicked; the box already shows its new state.
  void bootLabelFirstClicked();
  // A window-menu command: the About box or the help box. The command is never consumed.
  void handleSystemCommand(unsigned id);

  // --- Closing -----------------------------------------------------------------------------
  // The main window was asked to close. Returns true when it may close now; the temporary
  // letters are then gone. While one of this window's message boxes is open the close waits
  // (false) and is asked again once the box is closed.
  bool closeRequested();
  // Removes the temporary letters unless that has been done already. Safe to call on any path
  // that ends the window.
  void releaseTemporaryLetters();

 private:
  void showMessageBox(const std::string& text, const std::string& caption, unsigned style);
  // TypeChoiceList shows the GPT types for a GPT row, the catalogue for any other.
  void showTypeChoices(bool gpt);
  std::size_t typeIdLimit() const;

  Platform& platform_;
  MainWindowView& view_;
  MainWindowState& state_;
  // The label field's text right after fillEditor put the row's label there (or after "修改"
  // staged it): only a text that differs from it is an edit.
  std::string labelAsFilled_;
  std::string typeAsFilled_;  // the same for TypeIdEdit
  bool gptChoices_ = false;   // TypeChoiceList shows the GPT types
  int openMessageBoxes_ = 0;
  bool closeWaiting_ = false;
};

}  // namespace quenbolt

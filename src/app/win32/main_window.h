#pragma once
// MainWindow: the one window of the program, its controls, and the Win32 side of its behaviour
// (which it forwards to MainWindowPresenter).

#include <windows.h>

#include "app/main_window_presenter.h"
#include "app/main_window_state.h"
#include "app/main_window_view.h"
#include "app/win32/controls.h"
#include "app/win32/form.h"
#include "cli/commands.h"
#include "platform/platform.h"
#include "platform/win32/win32_platform.h"

namespace quenbolt {

// A font handle that is deleted with its owner.
class Font {
 public:
  Font(const wchar_t* face, int height);
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  ~Font() {
    if (font_) DeleteObject(font_);
  }
  HFONT handle() const { return font_; }

 private:
  HFONT font_ = nullptr;
};

class MainWindow : public win32::Form, public MainWindowView {
 public:
  MainWindow(Platform& platform, Win32UiServices& ui, MainWindowState& state);
  ~MainWindow() override;

  // Builds the window hidden, with its controls, and runs the start-up sequence as its last step.
  // False when Windows refused to create the window itself.
  bool create();
  // What the command step of start-up did.
  const CommandResult& startupResult() const { return startupResult_; }
  void releaseTemporaryLetters() { presenter_.releaseTemporaryLetters(); }

  // MainWindowView
  void appendWindowMenuItem(const WindowMenuItem& item) override;
  void showWindow() override;
  void showRows(const PartitionList& list) override;
  void updateRow(const PartitionList& list, std::size_t row) override;
  int selectedRow() const override { return partitionListView_.selected(); }
  void selectRow(std::size_t row) override { partitionListView_.select(row); }
  void setLabelEnabled(bool enabled) override;
  bool labelEnabled() const override { return labelEdit_.enabled(); }
  void setActiveEnabled(bool enabled) override { activeCheck_.setEnabled(enabled); }
  bool activeEnabled() const override { return activeCheck_.enabled(); }
  void setActiveChecked(bool checked) override { activeCheck_.setChecked(checked); }
  bool activeChecked() const override { return activeCheck_.checked(); }
  void setActiveCaption(const std::string& caption) override { activeCheck_.setText(caption); }
  void setDriveLetterText(const std::string& text) override { driveLetterEdit_.setText(text); }
  std::string labelText() const override { return labelEdit_.text(); }
  void setLabelText(const std::string& text) override { labelEdit_.setText(text); }
  void setLabelCaret(std::size_t position) override { labelEdit_.setCaret(position); }
  void setTypeEnabled(bool enabled) override;
  bool typeEnabled() const override { return typeIdEdit_.enabled(); }
  std::string typeIdText() const override { return typeIdEdit_.text(); }
  void setTypeIdText(const std::string& text) override { typeIdEdit_.setText(text); }
  std::size_t typeIdCaret() const override { return typeIdEdit_.caret(); }
  void setTypeIdCaret(std::size_t position) override { typeIdEdit_.setCaret(position); }
  void addTypeChoice(const std::string& text) override { typeChoiceList_.add(text); }
  void clearTypeChoices() override { typeChoiceList_.send(CB_RESETCONTENT); }
  std::size_t typeChoiceCount() const override { return typeChoiceList_.count(); }
  std::string typeChoiceText(std::size_t index) const override {
    return typeChoiceList_.itemText(index);
  }
  int typeChoiceSelection() const override { return typeChoiceList_.selection(); }
  void selectTypeChoice(std::size_t index) override { typeChoiceList_.select(index); }
  void clearTypeChoice() override { typeChoiceList_.clearSelection(); }
  bool bootLabelFirstChecked() const override { return bootLabelFirstCheck_.checked(); }

 protected:
  LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  bool createControls();
  void onCommand(int id, int code);
  LRESULT onNotify(const NMHDR& header, LPARAM lParam);
  LRESULT onListCustomDraw(NMLVCUSTOMDRAW& draw);
  // The list asks for a cell's text or a row's image as it draws them.
  void onListDisplayInfo(NMLVDISPINFOW& info) const;
  void setStatusText(const std::string& text);

  Platform& platform_;
  Win32UiServices& ui_;
  MainWindowState& state_;
  MainWindowPresenter presenter_;
  CommandResult startupResult_;
  const PartitionList* shownRows_ = nullptr;  // what PartitionListView shows

  Font font_;
  Font exitButtonFont_;
  win32::ImageList partitionImages_;
  win32::Button okButton_;
  win32::Button exitButton_;
  win32::CheckBox bootLabelFirstCheck_;
  win32::ListView partitionListView_;
  win32::GroupBox propertiesGroup_;
  win32::Label driveLetterCaption_;
  win32::Label typeIdCaption_;
  win32::Label labelCaption_;
  win32::Edit labelEdit_;
  win32::Edit typeIdEdit_;
  win32::Button modifyButton_;
  win32::Edit driveLetterEdit_;
  win32::CheckBox activeCheck_;
  win32::DropDownList typeChoiceList_;
  win32::StatusBar statusLine_;
  HWND lastFocus_ = nullptr;
};

}  // namespace quenbolt

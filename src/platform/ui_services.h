#pragma once
// What the logic asks of the window system. Texts are GBK.

#include <string>

namespace quenbolt {

enum class Cursor { Arrow, Wait };

// Message box styles used by the program.
enum : unsigned {
  kMbIconInformation = 0x40,
  kMbIconQuestion = 0x20,
  kMbIconWarning = 0x30,
};

class UiServices {
 public:
  virtual ~UiServices() = default;
  virtual void setCursor(Cursor cursor) = 0;
  // Puts `text` into the main window's status line (creating it the first time).
  virtual void setStatusText(const std::string& text) = 0;
  // Queues WM_CLOSE for the main window; it acts once the message loop runs.
  virtual void requestClose() = 0;
  // A modal message box owned by the thread's active window.
  virtual void messageBox(const std::string& text, const std::string& caption, unsigned style) = 0;
  // ShellExecuteA(owner, "open", file, no parameters, no directory, SW_SHOWNORMAL).
  virtual void shellOpen(const std::string& file) = 0;
};

}  // namespace quenbolt

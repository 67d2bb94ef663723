#pragma once
// A top-level window whose messages arrive at one virtual handler.

#include <windows.h>

#include <string>

#include "app/win32/window.h"

namespace quenbolt {
namespace win32 {

class Form : public Window {
 public:
  ~Form() override;

  // Creates the window hidden, with `style` and `caption` at `x`, `y` (size follows later).
  bool create(const std::string& caption, DWORD style, int x, int y);
  // Gives the window a client area of `width` x `height`.
  void setClientSize(int width, int height);
  // Centres the window on the screen; an odd difference loses its half pixel upward/leftward.
  void centreOnScreen();

 protected:
  // Every message of the window. The default is DefWindowProc.
  virtual LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT defaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd_, message, wParam, lParam);
  }

 private:
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// Runs the thread's message loop until WM_QUIT, with Tab, Shift+Tab and Escape handled the way a
// dialog handles them for `navigationWindow`. Returns the WM_QUIT exit code.
int runMessageLoop(HWND navigationWindow);

}  // namespace win32
}  // namespace quenbolt

#pragma once
// The window-object layer: a window handle with the few operations the program uses, texts in GBK.

#include <windows.h>

#include <string>

namespace quenbolt {
namespace win32 {

// Position in the parent's client area and size, in pixels.
struct Geometry {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window() = default;

  HWND handle() const { return hwnd_; }
  bool exists() const { return hwnd_ != nullptr; }

  void setText(const std::string& gbk);
  std::string text() const;
  void setEnabled(bool enabled) { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }
  bool enabled() const { return IsWindowEnabled(hwnd_) != FALSE; }
  void setFont(HFONT font) { send(WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }
  LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return SendMessageW(hwnd_, message, wParam, lParam);
  }

 protected:
  HWND hwnd_ = nullptr;
};

// Width and height of `gbk` drawn in `font`.
SIZE textExtent(HFONT font, const std::string& gbk);
// The height of a line in `font`.
int lineHeight(HFONT font);

}  // namespace win32
}  // namespace quenbolt

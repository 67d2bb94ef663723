#include "app/win32/window.h"

#include "platform/win32/wide_text.h"

namespace quenbolt {
namespace win32 {

void Window::setText(const std::string& gbk) { SetWindowTextW(hwnd_, widen(gbk).c_str()); }

std::string Window::text() const {
  const int length = GetWindowTextLengthW(hwnd_);
  if (length <= 0) return std::string();
  std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(hwnd_, &wide[0], length + 1);
  wide.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return narrowMarking(wide);
}

SIZE textExtent(HFONT font, const std::string& gbk) {
  SIZE size{0, 0};
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  const std::wstring wide = widen(gbk);
  GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return size;
}

int lineHeight(HFONT font) {
  TEXTMETRICW metrics{};
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return metrics.tmHeight;
}

}  // namespace win32
}  // namespace quenbolt

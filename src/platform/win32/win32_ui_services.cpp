#include "platform/win32/win32_platform.h"

#include <shellapi.h>

#include "platform/win32/wide_text.h"

namespace quenbolt {

HCURSOR Win32UiServices::cursorHandle(Cursor cursor) {
  return LoadCursor(nullptr, cursor == Cursor::Wait ? IDC_WAIT : IDC_ARROW);
}

void Win32UiServices::setCursor(Cursor cursor) {
  cursor_ = cursor;
  SetCursor(cursorHandle(cursor));
}

void Win32UiServices::setStatusText(const std::string& text) {
  if (statusSink_) statusSink_(text);
}

void Win32UiServices::requestClose() {
  if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
}

void Win32UiServices::messageBox(const std::string& text, const std::string& caption,
                                 unsigned style) {
  MessageBoxW(GetActiveWindow(), win32::widen(text).c_str(), win32::widen(caption).c_str(), style);
}

void Win32UiServices::shellOpen(const std::string& file) {
  ShellExecuteW(window_, L"open", win32::widen(file).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace quenbolt

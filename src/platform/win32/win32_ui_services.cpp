#include "platform/win32/win32_platform.h"

#include <shellapi.h>

namespace quenbolt {

namespace {

// Texts are GBK whatever the system's ANSI code page, so they are widened explicitly.
std::wstring widenGbk(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length = MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

}  // namespace

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

void Win32UiServices::messageBox(const std::string& text, const std::string& caption, unsigned style) {
  MessageBoxW(GetActiveWindow(), widenGbk(text).c_str(), widenGbk(caption).c_str(), style);
}

void Win32UiServices::shellOpen(const std::string& file) {
  ShellExecuteW(window_, L"open", widenGbk(file).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace quenbolt

#include "app/win32/wide_text.h"

#include <windows.h>

namespace quenbolt {
namespace win32 {

namespace {
constexpr UINT kGbk = 936;
}

std::wstring widen(const std::string& gbk) {
  if (gbk.empty()) return std::wstring();
  const int size = static_cast<int>(gbk.size());
  const int length = MultiByteToWideChar(kGbk, 0, gbk.data(), size, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(kGbk, 0, gbk.data(), size, &wide[0], length);
  return wide;
}

namespace {

std::string fromWide(UINT codePage, const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  const int length = WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), size, &text[0], length, nullptr, nullptr);
  return text;
}

}  // namespace

std::string narrow(const std::wstring& wide) { return fromWide(kGbk, wide); }

std::string utf8FromWide(const std::wstring& wide) { return fromWide(CP_UTF8, wide); }

}  // namespace win32
}  // namespace quenbolt

#include "platform/win32/wide_text.h"

#include <windows.h>

namespace quenbolt {
namespace win32 {

namespace {

constexpr UINT kGbk = 936;

std::optional<std::wstring> toWide(const std::string& gbk, DWORD flags) {
  if (gbk.empty()) return std::wstring();
  const int size = static_cast<int>(gbk.size());
  const int length = MultiByteToWideChar(kGbk, flags, gbk.data(), size, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  if (MultiByteToWideChar(kGbk, flags, gbk.data(), size, &wide[0], length) != length) return std::nullopt;
  return wide;
}

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

std::wstring widen(const std::string& gbk) { return toWide(gbk, 0).value_or(std::wstring()); }

std::optional<std::wstring> widenExactly(const std::string& gbk) {
  return toWide(gbk, MB_ERR_INVALID_CHARS);
}

std::string narrow(const std::wstring& wide) { return fromWide(kGbk, wide); }

std::string utf8FromWide(const std::wstring& wide) { return fromWide(CP_UTF8, wide); }

}  // namespace win32
}  // namespace quenbolt

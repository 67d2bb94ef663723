#include "platform/win32/wide_text.h"

#include <windows.h>

#include "model/gbk_text.h"

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
  if (MultiByteToWideChar(kGbk, flags, gbk.data(), size, &wide[0], length) != length)
    return std::nullopt;
  return wide;
}

std::string fromWide(UINT codePage, const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), size, &text[0], length, nullptr, nullptr);
  return text;
}

// One character (one or two UTF-16 units) in `codePage`, or nothing without an exact equivalent.
std::optional<std::string> characterIn(UINT codePage, const wchar_t* units, int count) {
  char bytes[8] = {};
  BOOL usedDefault = FALSE;
  const int length = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, units, count, bytes,
                                         sizeof bytes, nullptr, &usedDefault);
  if (length <= 0 || usedDefault) return std::nullopt;
  return std::string(bytes, static_cast<std::size_t>(length));
}

bool isHighSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// Calls `each` with every character of `wide` converted, or nothing where it has no equivalent.
template <typename Each>
void forEachCharacter(UINT codePage, const std::wstring& wide, Each each) {
  for (std::size_t i = 0; i < wide.size();) {
    const int count = isHighSurrogate(wide[i]) && i + 1 < wide.size() ? 2 : 1;
    each(characterIn(codePage, wide.data() + i, count));
    i += static_cast<std::size_t>(count);
  }
}

}  // namespace

std::string narrowMarking(const std::wstring& wide) {
  std::string text;
  forEachCharacter(kGbk, wide, [&text](const std::optional<std::string>& character) {
    text += character ? *character : std::string(1, kNoGbkCharacter);
  });
  return text;
}

std::optional<std::string> narrowExactly(const std::wstring& wide, unsigned codePage) {
  std::string text;
  bool exact = true;
  forEachCharacter(codePage, wide, [&](const std::optional<std::string>& character) {
    if (character) {
      text += *character;
    } else {
      exact = false;
    }
  });
  if (!exact) return std::nullopt;
  return text;
}

std::wstring widen(const std::string& gbk) { return toWide(gbk, 0).value_or(std::wstring()); }

std::optional<std::wstring> widenExactly(const std::string& gbk) {
  return toWide(gbk, MB_ERR_INVALID_CHARS);
}

std::string narrow(const std::wstring& wide) { return fromWide(kGbk, wide); }

std::string utf8FromWide(const std::wstring& wide) { return fromWide(CP_UTF8, wide); }

}  // namespace win32
}  // namespace quenbolt

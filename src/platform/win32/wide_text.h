#pragma once
// The program's texts are GBK bytes whatever the system's ANSI code page; Windows gets them as
// UTF-16, converted explicitly with code page 936, so Chinese shows and is stored correctly on
// every display language. The one conversion of both the platform and the window layer.

#include <optional>
#include <string>

namespace quenbolt {
namespace win32 {

std::wstring widen(const std::string& gbk);
// The UTF-16 text of `gbk`, or nothing when it holds a byte sequence that is no GBK character
// (a lone lead byte, a lead byte before a byte that cannot follow it): for texts that are stored
// rather than shown, where a substituted character would be a silent change.
std::optional<std::wstring> widenExactly(const std::string& gbk);
// Characters GBK cannot hold become '?': for texts that are only shown.
std::string narrow(const std::wstring& wide);
// Each character GBK cannot hold, best-fit look-alikes included, becomes kNoGbkCharacter: for
// texts the user gives (the command line, the editor's fields), which must reach a disk exactly
// as given or not at all.
std::string narrowMarking(const std::wstring& wide);
// The text in code page `codePage`, or nothing when a character has no exact equivalent there.
std::optional<std::string> narrowExactly(const std::wstring& wide, unsigned codePage);
std::string utf8FromWide(const std::wstring& wide);

}  // namespace win32
}  // namespace quenbolt

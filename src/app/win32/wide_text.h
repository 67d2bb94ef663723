#pragma once
// The program's texts are GBK bytes whatever the system's ANSI code page; Windows gets them as
// UTF-16, converted explicitly with code page 936, so Chinese shows on every display language.

#include <string>

namespace quenbolt {
namespace win32 {

std::wstring widen(const std::string& gbk);
// Characters GBK cannot hold become '?'.
std::string narrow(const std::wstring& wide);
std::string utf8FromWide(const std::wstring& wide);

}  // namespace win32
}  // namespace quenbolt

#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace quenbolt {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, GivesTheArgumentsByteForByte) {
  // "卷标" and a full-width blank (A1 A1): every byte is above 32 and none is a quote.
  const std::string gbk = "\xBE\xED\xB1\xEA\xA1\xA1\xBE\xED";
  const std::vector<std::pair<std::string, Args>> cases = {
      // Runs of blanks, tabs and control bytes separate once; 0x7F is part of an argument.
      {"q.exe  /M\t1 \x01\x1F 2\r\n0C   ", {"q.exe", "/M", "1", "2", "0C"}},
      {std::string("q.exe\0/H", 8), {"q.exe", "/H"}},
      {"", {}},
      {" \t ", {}},
      {"q.exe a\x7F" "b", {"q.exe", "a\x7F" "b"}},
      // A quoted program path is argument zero.
      {"\"C:\\Program Files\\Q\\Quenbolt.exe\" /L 1 1 \"my new label\"",
       {"C:\\Program Files\\Q\\Quenbolt.exe", "/L", "1", "1", "my new label"}},
      // A quoted stretch keeps separators; quotes inside an argument stay, outer ones go.
      {"q a\"b c\"d", {"q", "a\"b c\"d"}},
      {"q \"x\"\"y\"", {"q", "x\"\"y"}},
      {"q \"a\tb\" c", {"q", "a\tb", "c"}},
      {"q \"a b", {"q", "\"a b"}},  // never closed: runs to the end, kept
      {"q \"", {"q", "\""}},        // a lone quote is one character: nothing to strip
      {"q \"a\"", {"q", "a"}},
      // Empty quotes where an argument starts are no argument; elsewhere they are part of it.
      {"q \"\" /H", {"q", "/H"}},
      {"q \"\"\"\"", {"q"}},
      {"q \"\"abc", {"q", "abc"}},
      {"q \"\"\"a b\"", {"q", "a b"}},
      {"q ab\"\"", {"q", "ab\"\""}},
      // A double-byte character is never cut.
      {"q /S 0B " + gbk, {"q", "/S", "0B", gbk}},
      {"q \"" + gbk + " x\"", {"q", gbk + " x"}},
  };
  for (const auto& [line, args] : cases) {
    EXPECT_EQ(splitCommandLine(line), args) << ::testing::PrintToString(line);
  }
}

}  // namespace
}  // namespace quenbolt

#include "cli/command_line.h"

#include <gtest/gtest.h>

namespace quenbolt {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, GivesTheArgumentsByteForByte) {
  const std::string gbk = "\xBE\xED\xB1\xEA\xA1\xA1\xBE\xED";  // 卷标, a full-width blank, 卷: no byte <= 32
  const std::pair<std::string, Args> cases[] = {
      // Runs of blanks, tabs and control bytes separate once; 0x7F belongs to an argument.
      {"q.exe  /M\t1 \x01\x1F 2\r\n0C   ", {"q.exe", "/M", "1", "2", "0C"}},
      {std::string("q.exe\0/H", 8), {"q.exe", "/H"}}, {"", {}}, {" \t ", {}}, {"q a\x7F" "b", {"q", "a\x7F" "b"}},
      {"\"C:\\Program Files\\Q\\Quenbolt.exe\" /L 1 1 \"my new label\"",
       {"C:\\Program Files\\Q\\Quenbolt.exe", "/L", "1", "1", "my new label"}},
      // Quotes keep separators; inner quotes stay, outer ones of two or more bytes go.
      {"q a\"b c\"d", {"q", "a\"b c\"d"}}, {"q \"x\"\"y\"", {"q", "x\"\"y"}}, {"q \"a\tb\" c", {"q", "a\tb", "c"}},
      {"q \"a b", {"q", "\"a b"}}, {"q \"", {"q", "\""}}, {"q \"a\"", {"q", "a"}},
      // Empty quotes where an argument starts are no argument; elsewhere they are part of it.
      {"q \"\" /H", {"q", "/H"}}, {"q \"\"\"\"", {"q"}}, {"q \"\"abc", {"q", "abc"}}, {"q \"\"\"a b\"", {"q", "a b"}},
      {"q ab\"\"", {"q", "ab\"\""}}, {"q /S 0B " + gbk, {"q", "/S", "0B", gbk}}, {"q \"" + gbk + " x\"", {"q", gbk + " x"}}};
  for (const auto& [line, args] : cases) EXPECT_EQ(splitCommandLine(line), args) << testing::PrintToString(line);
}

}  // namespace
}  // namespace quenbolt

#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quenbolt {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, RunsOfBlanksTabsAndControlBytesSeparateOnce) {
  EXPECT_EQ(splitCommandLine("q.exe  /M\t1 \x01\x1F 2\r\n0C   "), (Args{"q.exe", "/M", "1", "2", "0C"}));
  EXPECT_EQ(splitCommandLine(std::string("q.exe\0/H", 8)), (Args{"q.exe", "/H"}));
  EXPECT_EQ(splitCommandLine(""), Args{});
  EXPECT_EQ(splitCommandLine(" \t "), Args{});
  // 0x7F and every byte above 32 belong to an argument.
  EXPECT_EQ(splitCommandLine("q.exe a\x7F" "b"), (Args{"q.exe", "a\x7F" "b"}));
}

TEST(SplitCommandLine, QuotedProgramPathIsArgumentZero) {
  EXPECT_EQ(splitCommandLine("\"C:\\Program Files\\Quenbolt\\Quenbolt.exe\" /L 1 1 \"my new label\""),
            (Args{"C:\\Program Files\\Quenbolt\\Quenbolt.exe", "/L", "1", "1", "my new label"}));
  EXPECT_EQ(splitCommandLine("C:\\Tools\\Quenbolt.exe /a 1 2 1"),
            (Args{"C:\\Tools\\Quenbolt.exe", "/a", "1", "2", "1"}));
}

TEST(SplitCommandLine, QuotedStretchKeepsSeparatorsAndOnlyOuterQuotesGo) {
  // Quotes inside an argument stay; the stretch between them holds blanks.
  EXPECT_EQ(splitCommandLine("q a\"b c\"d"), (Args{"q", "a\"b c\"d"}));
  EXPECT_EQ(splitCommandLine("q \"x\"\"y\""), (Args{"q", "x\"\"y"}));
  EXPECT_EQ(splitCommandLine("q \"a\tb\" c"), (Args{"q", "a\tb", "c"}));
  // A quote that is never closed runs to the end of the line and is kept.
  EXPECT_EQ(splitCommandLine("q \"a b"), (Args{"q", "\"a b"}));
  // A lone quote is one character: nothing to strip.
  EXPECT_EQ(splitCommandLine("q \""), (Args{"q", "\""}));
  EXPECT_EQ(splitCommandLine("q \"a\""), (Args{"q", "a"}));
}

TEST(SplitCommandLine, EmptyQuotesWhereAnArgumentStartsAreNoArgument) {
  EXPECT_EQ(splitCommandLine("q \"\" /H"), (Args{"q", "/H"}));
  EXPECT_EQ(splitCommandLine("q \"\"\"\""), (Args{"q"}));
  EXPECT_EQ(splitCommandLine("q \"\"abc"), (Args{"q", "abc"}));
  EXPECT_EQ(splitCommandLine("q \"\"\"a b\""), (Args{"q", "a b"}));
  // Not at the start of an argument they are part of it.
  EXPECT_EQ(splitCommandLine("q ab\"\""), (Args{"q", "ab\"\""}));
}

TEST(SplitCommandLine, GbkDoubleByteCharactersAreNeverCut) {
  // "卷标" and a full-width blank (A1 A1): every byte is above 32 and none is a quote.
  const std::string label = "\xBE\xED\xB1\xEA\xA1\xA1\xBE\xED";
  EXPECT_EQ(splitCommandLine("q /S 0B " + label), (Args{"q", "/S", "0B", label}));
  EXPECT_EQ(splitCommandLine("q \"" + label + " x\""), (Args{"q", label + " x"}));
}

}  // namespace
}  // namespace quenbolt

// What the argument count and the command word decide, and the listing for scripts.

#include "cli/listing.h"
#include "cli_machine.h"

namespace quenbolt {
namespace cli_test {
namespace {

class CommandStep : public BatchRun {};

TEST_F(CommandStep, NoArgumentsIsTheWindowAndNoCloseRequest) {
  const CommandResult result = runCommandStep(platform, list, {"Quenbolt.exe"});
  EXPECT_EQ(result.exitStatus, kExitDone);
  EXPECT_EQ(machine.closeRequests(), 0u);
  EXPECT_TRUE(machine.journal().empty());
}

TEST_F(CommandStep, OneArgumentRunsNothingAndLeavesTheCloseToStartUp) {
  for (const char* word : {"/?", "/h", "/list", "/List"}) {
    const CommandResult result = run(word);
    EXPECT_EQ(result.exitStatus, kExitDone) << word;
    EXPECT_TRUE(result.errorLines.empty()) << word;
    EXPECT_TRUE(isHelpRequest(splitCommandLine(std::string("q ") + word)) ||
                isListRequest(splitCommandLine(std::string("q ") + word)))
        << word;
  }
  for (const char* word : {"/X", "/M", "LIST", "/LIST2"}) {
    const CommandResult result = run(word);
    EXPECT_EQ(result.exitStatus, kExitNotUnderstood) << word;
    EXPECT_EQ(result.errorLines.size(), 1u) << word;
  }
  EXPECT_EQ(machine.closeRequests(), 0u);
  EXPECT_TRUE(machine.diskLog().empty());
}

TEST_F(CommandStep, UnknownWordsAndWrongCountsEndTheRunWithoutTouchingAnything) {
  for (const char* command :
       {"/X 1 2", "/X 1 2 3", "/A 1 1", "/S 0B", "/L 1 1 a b", "/? x", "/LIST x", "1 1 07",
        "/M 1 1 07 0C 0B", "/S 0B \"\""}) {
    machine.clearLogs();
    const CommandResult result = run(command);
    EXPECT_EQ(result.exitStatus, kExitNotUnderstood) << command;
    EXPECT_EQ(result.errorLines.size(), 1u) << command;
    EXPECT_FALSE(result.ranApplyChanges) << command;
    EXPECT_EQ(machine.closeRequests(), 1u) << command;
    EXPECT_TRUE(machine.diskLog().empty()) << command;
    EXPECT_TRUE(labelCalls().empty()) << command;
  }
}

TEST_F(CommandStep, ACommandRunsAtMostOnceAndTheCloseFollowsTheWrites) {
  EXPECT_EQ(run("/M 1 1 0B").exitStatus, kExitDone);
  EXPECT_EQ(machine.diskLog(DiskOp::Write).size(), 1u);
  EXPECT_EQ(machine.journal().back(), "requestClose");
}

TEST_F(CommandStep, ListingIsTheListAsTabSeparatedLines) {
  const std::string listing = formatListing(list);
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = listing.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(listing.substr(start, end - start));
  }
  EXPECT_EQ(start, listing.size()) << "the last line ends with \\n";
  ASSERT_EQ(lines.size(), 1 + kRowCount);
  EXPECT_EQ(lines[0], "盘符\t卷标\t磁盘\t分区\t分区标记\t分区格式\t分区类型\t容量（M）\t剩余空间（M）\t磁盘类型");
  EXPECT_EQ(lines[1 + kRowC], "C\tSYSTEM\t1\t1\t07\tNTFS\t主，活动\t100\t10\t硬盘");
  EXPECT_EQ(lines[1 + kRowContainer], "\t\t1\t\t0F\t扩展 LBA\t扩展\t200\t\t");
  EXPECT_EQ(lines[1 + kRowUnlettered], "\t\t2\t2\t07\tNTFS\t主\t49\t\t");
  for (const std::string& line : lines) EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 9);
  EXPECT_EQ(listing.find('\r'), std::string::npos);
}

TEST_F(CommandStep, ListingKeepsOneLinePerRowWhateverACellHolds) {
  list.rows[kRowE][kLabelColumn] = std::string("A\tB\r\nC\0D", 8);
  const std::string listing = formatListing(list);
  EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 1 + kRowCount);
  EXPECT_NE(listing.find("E\tA B  C D\t1\t3\t"), std::string::npos);
}

}  // namespace
}  // namespace cli_test
}  // namespace quenbolt

// "/M" names one partition by disk and display number; "/F" replaces a type ID everywhere.

#include "cli_machine.h"

namespace quenbolt {
namespace cli_test {
namespace {

class TypeCommands : public BatchRun {};

TEST_F(TypeCommands, MStoresTheIdAsTypedAndTheWriterLandsItsByte) {
  const CommandResult result = run("/m 1 2 0c");
  EXPECT_EQ(result.exitStatus, kExitDone);
  EXPECT_TRUE(result.errorLines.empty());
  EXPECT_TRUE(result.ranApplyChanges);
  // Display number 2 of disk 1 is the first logical partition, not the container.
  EXPECT_EQ(list.rows[kRowLogical][kTypeIdColumn], "0c");
  expectDisks({{0, typeByte(kEbr1, 0), byteText(0x0C)}});
  EXPECT_GE(machine.closeRequests(), 1u);
}

TEST_F(TypeCommands, MNamesThePrimaryBehindTheLogicalsByItsDisplayNumber) {
  EXPECT_EQ(run("/M 1 4 0C").exitStatus, kExitDone);
  expectDisks({{0, typeByte(kMbr, 3), byteText(0x0C)}});
}

TEST_F(TypeCommands, MTakesASingleHexDigit) {
  EXPECT_EQ(run("/M 2 2 c").exitStatus, kExitDone);
  expectDisks({{1, typeByte(kMbr, 1), byteText(0x0C)}});
}

TEST_F(TypeCommands, MRefusesAnIdThatIsNotOneOrTwoHexDigitsBeforeTouchingAnyDisk) {
  for (const char* command : {"/M 1 1 007", "/M 1 1 G7", "/M 1 1 $7", "/M 1 9 007"}) {
    const CommandResult result = run(command);
    EXPECT_EQ(result.exitStatus, kExitNotUnderstood) << command;
    EXPECT_EQ(result.errorLines.size(), 1u) << command;
    EXPECT_FALSE(result.ranApplyChanges) << command;
  }
  EXPECT_TRUE(machine.diskLog().empty());
  EXPECT_EQ(list.rows[kRowC][kTypeIdColumn], "07");
  EXPECT_GE(machine.closeRequests(), 4u);
}

TEST_F(TypeCommands, MComparesDiskAndPartitionAsText) {
  // "01" is not "1" for /M, and a container has no number to be named by.
  for (const char* command : {"/M 01 1 0C", "/M 1 01 0C", "/M 1 5 0C", "/M 3 1 0C", "/M 1 X 0C"}) {
    const CommandResult result = run(command);
    EXPECT_EQ(result.exitStatus, kExitNoSuchPartition) << command;
    EXPECT_EQ(result.errorLines.size(), 1u) << command;
    EXPECT_FALSE(result.ranApplyChanges) << command;
  }
  EXPECT_TRUE(machine.diskLog().empty());
  EXPECT_GE(machine.closeRequests(), 5u);
}

TEST_F(TypeCommands, MWithTooFewArgumentsChangesNothing) {
  const CommandResult result = run("/M 1 1");
  EXPECT_EQ(result.exitStatus, kExitNotUnderstood);
  EXPECT_EQ(result.errorLines.size(), 1u);
  EXPECT_TRUE(machine.diskLog().empty());
  EXPECT_GE(machine.closeRequests(), 1u);
}

TEST_F(TypeCommands, AFailedWriteGivesStatusOneAndALine) {
  machine.disk(0).failWrite(kEbr1);
  const CommandResult result = run("/M 1 2 0C");
  EXPECT_EQ(result.exitStatus, kExitWriteFailed);
  ASSERT_EQ(result.errorLines.size(), 1u);
  EXPECT_FALSE(result.report.succeeded());
  expectDisksUnchanged();
}

TEST_F(TypeCommands, FChangesEveryPartitionOfTheTypeOnEveryDiskLogicalsIncluded) {
  const CommandResult result = run("/F 07 0C");
  EXPECT_EQ(result.exitStatus, kExitDone);
  expectDisks({{0, typeByte(kMbr, 0), byteText(0x0C)},
               {0, typeByte(kEbr1, 0), byteText(0x0C)},
               {1, typeByte(kMbr, 1), byteText(0x0C)}});
}

TEST_F(TypeCommands, FUpperCasesBothIds) {
  EXPECT_EQ(run("/f 0b c").exitStatus, kExitDone);
  EXPECT_EQ(list.rows[kRowD][kTypeIdColumn], "C");
  expectDisks({{0, typeByte(kEbr2, 0), byteText(0x0C)}, {0, typeByte(kMbr, 3), byteText(0x0C)}});
}

TEST_F(TypeCommands, FMatchesTheCellTextSoASingleDigitFindsNothing) {
  const CommandResult result = run("/F 7 0C");
  EXPECT_EQ(result.exitStatus, kExitDone);  // nothing to do is no failure
  EXPECT_TRUE(result.ranApplyChanges);
  EXPECT_TRUE(machine.diskLog(DiskOp::Write).empty());
  expectDisksUnchanged();
  EXPECT_GE(machine.closeRequests(), 1u);
}

TEST_F(TypeCommands, FChangesContainersToo) {
  EXPECT_EQ(run("/F 0f 05").exitStatus, kExitDone);
  expectDisks({{0, typeByte(kMbr, 1), byteText(0x05)}});
}

TEST_F(TypeCommands, FRefusesMalformedIdsAndWrongCounts) {
  for (const char* command : {"/F 07 0C0", "/F x7 0C", "/F 07 \"\"\"\"", "/F 07", "/F 07 0C 0B"}) {
    const CommandResult result = run(command);
    EXPECT_EQ(result.exitStatus, kExitNotUnderstood) << command;
    EXPECT_EQ(result.errorLines.size(), 1u) << command;
    EXPECT_FALSE(result.ranApplyChanges) << command;
  }
  EXPECT_TRUE(machine.diskLog().empty());
}

}  // namespace
}  // namespace cli_test
}  // namespace quenbolt

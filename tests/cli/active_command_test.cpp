// "/A" names a primary partition by its system number and reads the disk number leniently.

#include "cli_machine.h"

namespace quenbolt {
namespace cli_test {
namespace {

class ActiveCommand : public BatchRun {};

TEST_F(ActiveCommand, SystemNumberTwoIsTheSlotThreePrimaryBehindTheLogicals) {
  const CommandResult result = run("/A 1 2 1");
  EXPECT_EQ(result.exitStatus, kExitDone);
  EXPECT_EQ(list.rows[kRowD][kKindColumn], kKindPrimaryActive);
  // Only that entry: the active first primary keeps its flag.
  expectDisks({{0, bootIndicator(kMbr, 3), byteText(0x80)}});
}

TEST_F(ActiveCommand, DisplayNumberFourIsNoSystemNumber) {
  for (const char* command : {"/A 1 4 1", "/A 1 5 1", "/A 1 01 1", "/A X 1 1", "/A 0 1 1"}) {
    const CommandResult result = run(command);
    EXPECT_EQ(result.exitStatus, kExitNoSuchPartition) << command;
    EXPECT_EQ(result.errorLines.size(), 1u) << command;
    EXPECT_FALSE(result.ranApplyChanges) << command;
  }
  EXPECT_TRUE(machine.diskLog().empty());
}

TEST_F(ActiveCommand, SecondDiskIsNamedByItsOwnNumbers) {
  EXPECT_EQ(run("/a 2 2 1").exitStatus, kExitDone);
  expectDisks({{1, bootIndicator(kMbr, 1), byteText(0x80)}});
}

// The disk number is read as a number: these all name disk 1.
class ActiveClear : public BatchRun, public ::testing::WithParamInterface<const char*> {};

TEST_P(ActiveClear, ClearsTheFlagOfTheFirstPrimary) {
  const CommandResult result = run(GetParam());
  EXPECT_EQ(result.exitStatus, kExitDone);
  EXPECT_EQ(list.rows[kRowC][kKindColumn], kKindPrimary);
  expectDisks({{0, bootIndicator(kMbr, 0), byteText(0x00)}});
}

INSTANTIATE_TEST_SUITE_P(DiskAndFlagForms, ActiveClear,
                         ::testing::Values("/A 1 1 0", "/A 01 1 0", "/A +1 1 0", "/A 1st 1 0",
                                           "/A 1 1 yes", "/A 1 1 2", "/A 1 1 01"));

TEST_F(ActiveCommand, AnUnreadableTableGivesStatusOneAndNoWrite) {
  machine.disk(0).shortRead(kMbr, 100);
  const CommandResult result = run("/A 1 2 1");
  EXPECT_EQ(result.exitStatus, kExitWriteFailed);
  EXPECT_EQ(result.errorLines.size(), 1u);
  EXPECT_TRUE(machine.diskLog(DiskOp::Write).empty());
  expectDisksUnchanged();
}

}  // namespace
}  // namespace cli_test
}  // namespace quenbolt

// "/L" names one partition by disk and display number; "/S" labels every partition of a type.

#include "cli_machine.h"

namespace quenbolt {
namespace cli_test {
namespace {

class LabelCommands : public BatchRun {};

TEST_F(LabelCommands, LKeepsTheFirstElevenBytesAsTyped) {
  const CommandResult result = run("/L 1 3 \"my new label\"");
  EXPECT_EQ(result.exitStatus, kExitDone);
  EXPECT_TRUE(result.errorLines.empty());
  EXPECT_EQ(labelCalls(), std::vector<std::string>{"E:\\ my new labe"});
  EXPECT_EQ(machine.volume('E')->label, "my new labe");
  // The boot sector of a FAT32 partition gets it too, in its own upper-case form.
  expectDisks({{0, kBootE + kLabelField, labelField("MY NEW LABE")}});
}

TEST_F(LabelCommands, LNeverCutsADoubleByteCharacterInHalf) {
  // Ten ASCII bytes and "卷": the eleventh byte is the first half of the character.
  const CommandResult result = run("/L 1 1 ABCDEFGHIJ卷");
  EXPECT_EQ(result.exitStatus, kExitDone);
  EXPECT_EQ(labelCalls(), std::vector<std::string>{"C:\\ ABCDEFGHIJ"});
  expectDisksUnchanged();  // NTFS: the system sets the label, no boot sector is written
}

TEST_F(LabelCommands, LReachesAPartitionThroughItsTemporaryLetter) {
  EXPECT_EQ(run("/L 1 2 work2").exitStatus, kExitDone);
  EXPECT_EQ(labelCalls(), std::vector<std::string>{"H:\\ work2"});
}

TEST_F(LabelCommands, LOnAPartitionWithoutALetterIsAFailureNotSuccess) {
  const CommandResult result = run("/L 2 2 NAME");
  EXPECT_EQ(result.exitStatus, kExitWriteFailed);
  EXPECT_EQ(result.errorLines.size(), 1u);
  EXPECT_TRUE(labelCalls().empty());
  expectDisksUnchanged();
}

TEST_F(LabelCommands, LNamingNoPartitionChangesNothing) {
  for (const char* command : {"/L 1 5 X", "/L 01 1 X", "/L 2 3 X"}) {
    const CommandResult result = run(command);
    EXPECT_EQ(result.exitStatus, kExitNoSuchPartition) << command;
    EXPECT_FALSE(result.ranApplyChanges) << command;
  }
  EXPECT_TRUE(labelCalls().empty());
  EXPECT_TRUE(machine.diskLog().empty());
}

TEST_F(LabelCommands, ARefusedLabelGivesStatusOne) {
  machine.volume('C')->refusesLabel = true;
  const CommandResult result = run("/L 1 1 BOOT");
  EXPECT_EQ(result.exitStatus, kExitWriteFailed);
  EXPECT_EQ(result.errorLines.size(), 1u);
}

TEST_F(LabelCommands, SLabelsEveryPartitionOfTheTypeThroughTheVolumeAndTheBootSector) {
  const CommandResult result = run("/S 0b data");
  EXPECT_EQ(result.exitStatus, kExitDone);
  EXPECT_TRUE(result.errorLines.empty());
  EXPECT_EQ(labelCalls(), (std::vector<std::string>{"E:\\ DATA", "D:\\ DATA"}));
  expectDisks({{0, kBootE + kLabelField, labelField("DATA")},
               {0, kBootD + kLabelField, labelField("DATA")}});
}

TEST_F(LabelCommands, SReportsThePartitionItCouldNotReach) {
  const CommandResult result = run("/S 07 Work2");
  EXPECT_EQ(result.exitStatus, kExitWriteFailed);
  EXPECT_EQ(result.errorLines.size(), 1u);  // disk 2's unlettered primary
  EXPECT_EQ(labelCalls(), (std::vector<std::string>{"C:\\ WORK2", "H:\\ WORK2"}));
  expectDisksUnchanged();
}

TEST_F(LabelCommands, SRefusesContainerTypesInAnyCaseAndMalformedIds) {
  for (const char* command : {"/S 05 DATA", "/S 0f DATA", "/S 0F DATA", "/S 0BB DATA"}) {
    const CommandResult result = run(command);
    EXPECT_EQ(result.exitStatus, kExitNotUnderstood) << command;
    EXPECT_EQ(result.errorLines.size(), 1u) << command;
    EXPECT_FALSE(result.ranApplyChanges) << command;
  }
  EXPECT_TRUE(labelCalls().empty());
  EXPECT_TRUE(machine.diskLog().empty());
}

TEST_F(LabelCommands, SWithATypeNoPartitionHasDoesNothingAndSucceeds) {
  const CommandResult result = run("/S 1C DATA");
  EXPECT_EQ(result.exitStatus, kExitDone);
  EXPECT_TRUE(labelCalls().empty());
  EXPECT_TRUE(machine.diskLog(DiskOp::Write).empty());
}

}  // namespace
}  // namespace cli_test
}  // namespace quenbolt

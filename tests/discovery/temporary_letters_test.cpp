#include "discovery/temporary_letters.h"

#include "discovery/startup_scan.h"
#include "discovery_fixture.h"

namespace quenbolt {
namespace {

// Two disks, each: slot 0 an active primary, slot 1 a container holding one logical, slot 2 a
// primary. Only disk 0's first primary has a letter (C).
class TemporaryLettersTest : public DiscoveryTest {
 protected:
  void SetUp() override {
    for (unsigned n = 0; n < 2; ++n) {
      addDisk(n, table()
                     .entry(0, 0x80, 0x07, 2048, 20480)
                     .entry(1, 0x00, 0x0F, 100000, 50000)
                     .entry(2, 0x00, 0x0B, 200000, 20480))
          .setSector(bytes(100000), table().entry(0, 0x00, 0x07, 63, 20480));
    }
    machine.mountVolume('C', volumeAt(0, bytes(2048), "SYSTEM"));
  }
  TempLetterList scanAndAssign() {
    scan();
    machine.clearLogs();
    return assignTemporaryLetters(platform, list);
  }
};

TEST_F(TemporaryLettersTest, PrimariesOfAllDisksComeFirstThenLogicalsWithTheirSystemNumbers) {
  machine.takeLetter('D', kDriveCdrom);
  machine.mountVolume('E', volumeAt(1, bytes(2048)));
  const TempLetterList letters = scanAndAssign();
  EXPECT_EQ(letters, strings({"F:", "G:", "H:", "I:"}));
  EXPECT_EQ(machine.definedNames(), letters);
  std::vector<std::string> targets;
  for (const std::string& name : letters) targets.push_back(machine.definedTarget(name));
  EXPECT_EQ(targets, strings({"\\Device\\Harddisk0\\Partition2", "\\Device\\Harddisk1\\Partition2",
                              "\\Device\\Harddisk0\\Partition3", "\\Device\\Harddisk1\\Partition3"}));
  EXPECT_EQ(partitionDevicePath(12, 10), "\\Device\\Harddisk12\\Partition10");
  EXPECT_EQ(machine.journal().front(), "cursor wait");
  EXPECT_EQ(machine.journal().back(), "cursor arrow");
}

TEST_F(TemporaryLettersTest, WhenLettersRunOutTheRestGetNoneAndNothingIsRecordedForThem) {
  // A and B stay free, but only D to Z are ever offered.
  for (char letter = 'D'; letter < 'Z'; ++letter) machine.takeLetter(letter, kDriveRemote);
  EXPECT_EQ(firstFreeLetter(platform.volumes), 'Z');
  const TempLetterList letters = scanAndAssign();
  EXPECT_EQ(letters, strings({"Z:"}));
  EXPECT_EQ(firstFreeLetter(platform.volumes), std::nullopt);
  EXPECT_EQ(machine.definedNames(), letters);
  EXPECT_EQ(machine.calls(CallKind::DefineName).size(), 1u);
}

TEST_F(TemporaryLettersTest, AMachineWhereEveryPartitionHasALetterGetsNone) {
  const char letters[] = "DEFGH";
  const std::uint64_t starts[] = {bytes(100063), bytes(200000), bytes(2048), bytes(100063), bytes(200000)};
  for (unsigned i = 0; i < 5; ++i) machine.mountVolume(letters[i], volumeAt(i < 2 ? 0 : 1, starts[i]));
  TempLetterList none = scanAndAssign();
  EXPECT_TRUE(none.empty());
  removeTemporaryLetters(platform, none);
  EXPECT_TRUE(machine.calls(CallKind::DefineName).empty());
  EXPECT_TRUE(machine.calls(CallKind::RemoveName).empty());
}

TEST_F(TemporaryLettersTest, RemovingLeavesNoTemporaryNameAndTouchesNoOtherLetter) {
  machine.takeLetter('D', kDriveCdrom);
  TempLetterList letters = scanAndAssign();
  ASSERT_EQ(letters.size(), 5u);
  removeTemporaryLetters(platform, letters);
  EXPECT_TRUE(letters.empty());
  EXPECT_TRUE(machine.definedNames().empty());
  EXPECT_NE(machine.volume('C'), nullptr);
  EXPECT_EQ(machine.calls(CallKind::RemoveName).size(), 5u);
  for (const PlatformCall& call : machine.calls(CallKind::RemoveName)) EXPECT_TRUE(call.ok);
  EXPECT_EQ(machine.journal().back(), "cursor arrow");
}

TEST_F(TemporaryLettersTest, TheSecondScanShowsTheVolumesBehindTheTemporaryLetters) {
  machine.addPartitionDevice(0, 2, volumeAt(0, bytes(200000), "RECOVERY", 2 * kGiB));
  SimulatedVolume logical = volumeAt(1, bytes(100063), "ARCHIVE");
  logical.driveType = kDriveRemovable;
  machine.addPartitionDevice(1, 3, logical);
  TempLetterList letters;

  scanWithTemporaryLetters(platform, catalogue, list, letters);

  // Rows of disk 0: C primary, container, logical, primary; then the same on disk 1. Only the
  // names that lead to a partition device show a volume.
  EXPECT_EQ(letters, strings({"D:", "E:", "F:", "G:", "H:"}));
  EXPECT_EQ(machine.definedTarget("H:"), "\\Device\\Harddisk1\\Partition3");
  EXPECT_EQ(column(kDriveLetterColumn), strings({"C", "", "", "D", "", "", "H", ""}));
  EXPECT_EQ(column(kLabelColumn), strings({"SYSTEM", "", "", "RECOVERY", "", "", "ARCHIVE", ""}));
  EXPECT_EQ(list.rows[3][kFreeSpaceColumn], "2048");
  EXPECT_EQ(list.rows[3].imageIndex, 0);
  EXPECT_EQ(list.rows[6][kDiskTypeColumn], "可移动磁盘");
  EXPECT_EQ(list.ScannedLabel, column(kLabelColumn));
  removeTemporaryLetters(platform, letters);
  EXPECT_TRUE(machine.definedNames().empty());
}

TEST_F(TemporaryLettersTest, NamesAlreadyRecordedStayRecordedAcrossTheStartupScan) {
  machine.takeLetter('D', kDriveCdrom);
  TempLetterList letters{"Q:"};
  scanWithTemporaryLetters(platform, catalogue, list, letters);
  ASSERT_FALSE(letters.empty());
  EXPECT_EQ(letters.front(), "Q:");
}

}  // namespace
}  // namespace quenbolt

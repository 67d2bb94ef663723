#include "discovery/temporary_letters.h"

#include "discovery/scan_disks.h"
#include "discovery/startup_scan.h"
#include "discovery_fixture.h"

namespace quenbolt {
namespace {

constexpr std::uint64_t bytes(std::uint32_t sectors) { return std::uint64_t{sectors} * 512; }

// Disk `index`: slot 0 a primary, slot 1 a container holding one logical, slot 2 a primary.
void addMixedDisk(SimulatedDisk& disk) {
  disk.setSector(0, TableSector()
                        .entry(0, 0x80, 0x07, 2048, 20480)
                        .entry(1, 0x00, 0x0F, 100000, 50000)
                        .entry(2, 0x00, 0x0B, 200000, 20480)
                        .signature());
  disk.setSector(bytes(100000), TableSector().entry(0, 0x00, 0x07, 63, 20480).signature());
}

SimulatedVolume volumeAt(unsigned disk, std::uint64_t offset, const std::string& label = "") {
  SimulatedVolume volume;
  volume.disk = disk;
  volume.startOffset = offset;
  volume.label = label;
  return volume;
}

class TemporaryLettersTest : public DiscoveryTest {
 protected:
  void SetUp() override {
    machine.setDiskCount(2);
    addMixedDisk(addDisk(0));
    addMixedDisk(addDisk(1));
    machine.mountVolume('C', volumeAt(0, bytes(2048), "SYSTEM"));
  }
  void scan() { scanDisks(platform, catalogue, list); }
};

TEST(PartitionDevicePath, NamesDiskAndPartitionInDecimal) {
  EXPECT_EQ(partitionDevicePath(0, 3), "\\Device\\Harddisk0\\Partition3");
  EXPECT_EQ(partitionDevicePath(12, 10), "\\Device\\Harddisk12\\Partition10");
}

TEST_F(TemporaryLettersTest, FirstFreeLetterNeverOffersAToC) {
  // Only C is taken (by the fixture); A and B are free but never offered.
  EXPECT_EQ(firstFreeLetter(machine.platform().volumes), 'D');
  for (char letter = 'D'; letter < 'Z'; ++letter) machine.takeLetter(letter, kDriveRemote);
  machine.unmountVolume('C');
  EXPECT_EQ(firstFreeLetter(platform.volumes), 'Z');
  machine.takeLetter('Z', kDriveCdrom);
  EXPECT_EQ(firstFreeLetter(platform.volumes), std::nullopt);
}

TEST_F(TemporaryLettersTest, PrimariesOfAllDisksComeFirstThenLogicalsWithTheirSystemNumbers) {
  machine.takeLetter('D', kDriveCdrom);
  machine.mountVolume('E', volumeAt(1, bytes(2048)));
  scan();
  machine.clearLogs();

  const TempLetterList letters = assignTemporaryLetters(platform, list);

  EXPECT_EQ(letters, strings({"F:", "G:", "H:", "I:"}));
  EXPECT_EQ(machine.definedNames(), letters);
  EXPECT_EQ(machine.definedTarget("F:"), "\\Device\\Harddisk0\\Partition2");
  EXPECT_EQ(machine.definedTarget("G:"), "\\Device\\Harddisk1\\Partition2");
  EXPECT_EQ(machine.definedTarget("H:"), "\\Device\\Harddisk0\\Partition3");
  EXPECT_EQ(machine.definedTarget("I:"), "\\Device\\Harddisk1\\Partition3");
  EXPECT_EQ(machine.journal().front(), "cursor wait");
  EXPECT_EQ(machine.journal().back(), "cursor arrow");
}

TEST_F(TemporaryLettersTest, WhenLettersRunOutTheRestGetNoneAndNothingIsRecordedForThem) {
  for (char letter = 'D'; letter < 'Z'; ++letter) machine.takeLetter(letter, kDriveRemote);
  scan();

  const TempLetterList letters = assignTemporaryLetters(platform, list);

  EXPECT_EQ(letters, strings({"Z:"}));
  EXPECT_EQ(machine.definedNames(), letters);
  EXPECT_EQ(machine.calls(CallKind::DefineName).size(), 1u);
}

TEST_F(TemporaryLettersTest, AMachineWhereEveryPartitionHasALetterGetsNone) {
  machine.mountVolume('D', volumeAt(0, bytes(100000 + 63)));
  machine.mountVolume('E', volumeAt(0, bytes(200000)));
  machine.mountVolume('F', volumeAt(1, bytes(2048)));
  machine.mountVolume('G', volumeAt(1, bytes(100000 + 63)));
  machine.mountVolume('H', volumeAt(1, bytes(200000)));
  scan();

  TempLetterList letters = assignTemporaryLetters(platform, list);
  EXPECT_TRUE(letters.empty());
  machine.clearLogs();
  removeTemporaryLetters(platform, letters);
  EXPECT_TRUE(machine.calls(CallKind::RemoveName).empty());
}

TEST_F(TemporaryLettersTest, RemovingLeavesNoTemporaryNameAndTouchesNoOtherLetter) {
  machine.takeLetter('D', kDriveCdrom);
  scan();
  TempLetterList letters = assignTemporaryLetters(platform, list);
  ASSERT_EQ(letters.size(), 5u);

  removeTemporaryLetters(platform, letters);

  EXPECT_TRUE(letters.empty());
  EXPECT_TRUE(machine.definedNames().empty());
  EXPECT_NE(machine.volume('C'), nullptr);
  for (const PlatformCall& call : machine.calls(CallKind::RemoveName)) EXPECT_TRUE(call.ok);
  EXPECT_EQ(machine.journal().back(), "cursor arrow");
}

TEST_F(TemporaryLettersTest, TheSecondScanShowsTheVolumesBehindTheTemporaryLetters) {
  SimulatedVolume recovery;
  recovery.startOffset = bytes(200000);
  recovery.label = "RECOVERY";
  recovery.freeBytes = 2 * kGiB;
  machine.addPartitionDevice(0, 2, recovery);
  SimulatedVolume logical;
  logical.startOffset = bytes(100000 + 63);
  logical.label = "ARCHIVE";
  logical.driveType = kDriveRemovable;
  machine.addPartitionDevice(1, 3, logical);
  TempLetterList letters;

  scanWithTemporaryLetters(platform, catalogue, list, letters);

  // Rows of disk 0: C primary, container, logical, primary; then the same on disk 1. Only the
  // names that lead to a partition device show a volume.
  ASSERT_EQ(list.size(), 8u);
  EXPECT_EQ(letters, strings({"D:", "E:", "F:", "G:", "H:"}));
  EXPECT_EQ(machine.definedTarget("H:"), "\\Device\\Harddisk1\\Partition3");
  EXPECT_EQ(column(kDriveLetterColumn), strings({"C", "", "", "D", "", "", "H", ""}));
  const PartitionRow& row = list.rows[3];
  EXPECT_EQ(row[kLabelColumn], "RECOVERY");
  EXPECT_EQ(row[kFreeSpaceColumn], "2048");
  EXPECT_EQ(row[kDiskTypeColumn], "硬盘");
  EXPECT_EQ(row.imageIndex, 0);
  EXPECT_EQ(list.rows[6][kLabelColumn], "ARCHIVE");
  EXPECT_EQ(list.rows[6][kDiskTypeColumn], "可移动磁盘");
  EXPECT_EQ(list.ScannedLabel[3], "RECOVERY");

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

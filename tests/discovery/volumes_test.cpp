#include "discovery/disk_enumeration.h"
#include "discovery/volume_matching.h"
#include "scan_fixture.h"

namespace quenbolt {
namespace {

TEST_F(ScanTest, AMountedPartitionGetsItsLetterLabelFreeSpaceAndDiskType) {
  disk(0, table({{0, 0, 0x07, 2048, 2048}, {1, 0, 0x07, 8192, 2048}, {2, 0, 0x07, 16384, 2048}, {3, 0, 0x07, 2048 + 8388608, 2048}}));
  disk(1, table({{0, 0, 0x07, 2048, 2048}}));
  disk(2, table({{0, 0, 0x07, 2048, 2048}, {1, 0, 0x07, 0, 2048}}));
  mount('D', 0, 2048, "DATA", 3 << 19);  // free space in whole MB, halves to even: 1.5 and 2.5 give 2
  mount('E', 0, 8192, "MORE", 5 << 19);
  SimulatedVolume& mute = mount('F', 0, 16384, "NEVER SEEN", 1 << 30);
  mute.noInformation = mute.noFreeSpace = true;
  mount('K', 0, 2048 + 8388608, "HIGH").driveType = kDriveRamdisk;  // unlike D's offset only above 4 GiB
  mount('G', 1, 2048);
  mount('H', 2, 2048);
  mount('B', 0, 8192, "FLOPPY");          // below C: never matched
  mount('Z', 2, 0, "BROKEN").noExtent = true;  // an extent the system cannot tell reads as offset 0
  machine.enumValues["1"] = std::string("usbstor\\Disk&Ven_Kingston");  // removable, whatever its drive type
  machine.enumValues["2"] = std::string("USBSTORX\\Disk");
  scan();
  EXPECT_EQ(column(kDriveLetterColumn), (Strings{"D", "E", "F", "K", "G", "H", ""}));
  EXPECT_EQ(column(kLabelColumn), (Strings{"DATA", "MORE", "", "HIGH", "", "", ""}));
  EXPECT_EQ(column(kFreeSpaceColumn), (Strings{"2", "2", "0", "0", "0", "0", ""}));
  EXPECT_EQ(column(kDiskTypeColumn), (Strings{"硬盘", "硬盘", "硬盘", "内存虚拟盘", "可移动磁盘", "硬盘", ""}));
  EXPECT_EQ(list.rows[0].imageIndex, 0);
  mount('L', 0, 2048, "DATA").driveType = kDriveRemote;  // two letters for one partition: the later one
  scan();
  EXPECT_EQ(list.rows[0][kDriveLetterColumn] + list.rows[0][kDiskTypeColumn], "L远程磁盘");
  for (unsigned type : {kDriveUnknown, kDriveNoRootDir, kDriveCdrom}) EXPECT_EQ(diskTypeText(type), type == kDriveCdrom ? "光驱" : "");
}

TEST_F(ScanTest, UsbStorageIsAnInstancePathStartingUsbstorBackslashInEitherCase) {
  const std::pair<const char*, bool> paths[] = {{"USBSTOR\\Disk&Ven_SanDisk", true}, {"usbstor\\disk", true}, {"USBSTO", false},
                                                {"USBSTORX\\Disk", false}, {"IDE\\Disk", false}};
  for (unsigned n = 0; n < 5; ++n) machine.enumValues[std::to_string(n)] = std::string(paths[n].first);
  machine.enumValues["5"] = std::vector<std::uint8_t>{'U', 'S', 'B', 'S', 'T', 'O', 'R', '\\'};  // not REG_SZ
  for (unsigned n = 0; n < 7; ++n) EXPECT_EQ(isUsbStorageDisk(platform.registry, n), n < 5 && paths[n].second) << n;
}

// NT 4 and later, and the 95 family from OSR2 on, have GetDiskFreeSpaceExA; the older call's
// clusters multiply in 64 bits.
TEST_F(ScanTest, FreeSpaceUsesTheNewerCallWhereTheSystemHasIt) {
  mount('D', 0, 2048, "", 5ull << 30).clusters = ClusterFreeSpace{64, 512, 0x200000, 0x400000};  // 64 GiB by the older call
  const std::pair<OsVersion, std::uint64_t> cases[] = {{{2, 4, 0, 1381}, 5}, {{1, 4, 0, 0x04001111}, 5}, {{1, 4, 10, 1998}, 5},
                                                       {{1, 4, 0, 950}, 64}, {{2, 3, 51, 1057}, 64}};
  for (const auto& [version, gib] : cases) {
    machine.version = version;
    EXPECT_EQ(freeSpaceBytes(platform, "D:"), gib << 30) << version.major << "." << version.minor;
  }
  machine.version = OsVersion{2, 6, 1, 7601};
  machine.hasFreeSpaceEx = false;  // a kernel32 without it
  EXPECT_EQ(freeSpaceBytes(platform, "D:"), 64ull << 30);
}

// Two disks, each: an active primary, a container of one logical, a primary. Only disk 0's first
// primary has a letter, D:; C: is free, yet temporary letters start at D.
TEST_F(ScanTest, TemporaryLettersGoToPrimariesThenLogicalsWhileLettersLastAndAreRemovedAtTheEnd) {
  for (unsigned n = 0; n < 2; ++n) {
    disk(n, table({{0, 0x80, 0x07, 2048, 20480}, {1, 0, 0x0F, 100000, 50000}, {2, 0, 0x0B, 200000, 20480}}))
        .put(100000 * 512, table({{0, 0, 0x07, 63, 20480}}));
  }
  mount('D', 0, 2048, "SYSTEM");
  mount('E', 9, 0).noExtent = true;  // a CD drive
  machine.partitionDevices[{0, 2}].start = 200000 * 512;
  machine.partitionDevices[{0, 2}].label = "RECOVERY";
  machine.partitionDevices[{1, 3}] = SimulatedVolume{1, 100063 * 512, 0, "ARCHIVE", "NTFS", 2ull << 30, {}, kDriveRemovable};
  TempLetterList letters{"Q:"};  // recorded before: it stays recorded
  scanWithTemporaryLetters(platform, catalogue, list, letters);
  EXPECT_EQ(machine.logged("define "), (Strings{"F: \\Device\\Harddisk0\\Partition2 ok", "G: \\Device\\Harddisk1\\Partition1 ok",
                                               "H: \\Device\\Harddisk1\\Partition2 ok", "I: \\Device\\Harddisk0\\Partition3 ok",
                                               "J: \\Device\\Harddisk1\\Partition3 ok"}));
  EXPECT_EQ(letters, (Strings{"Q:", "F:", "G:", "H:", "I:", "J:"}));
  EXPECT_EQ(column(kDriveLetterColumn), (Strings{"D", "", "", "F", "", "", "J", ""}));
  EXPECT_EQ(column(kLabelColumn), (Strings{"SYSTEM", "", "", "RECOVERY", "", "", "ARCHIVE", ""}));
  EXPECT_EQ(list.rows[6][kFreeSpaceColumn] + list.rows[6][kDiskTypeColumn], "2048可移动磁盘");
  letters.erase(letters.begin());
  removeTemporaryLetters(platform, letters);
  EXPECT_TRUE(letters.empty() && machine.defined.empty() && machine.letters.count('D'));
  // When letters run out the rest get none: A to C are never offered.
  for (char letter = 'E'; letter < 'Z'; ++letter) mount(letter, 9, 0).noExtent = true;
  machine.log.clear();
  EXPECT_EQ(assignTemporaryLetters(platform, list), Strings{"Z:"});
  EXPECT_EQ(machine.logged("define ").size(), 1u);
  EXPECT_EQ(machine.cursor, Cursor::Arrow);
}

}  // namespace
}  // namespace quenbolt

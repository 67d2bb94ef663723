#include <tuple>

#include "discovery/disk_enumeration.h"
#include "discovery/temporary_letters.h"
#include "discovery/volume_matching.h"
#include "scan_fixture.h"

namespace quenbolt {
namespace {

TEST_F(ScanTest, AMountedPartitionGetsItsLetterLabelFreeSpaceAndDiskType) {
  disk(0, table({{0, 0, 0x07, 2048, 2048}, {1, 0, 0x07, 8192, 2048}, {2, 0, 0x07, 16384, 2048},
                 {3, 0, 0x07, 2048 + 8388608, 2048}}));
  disk(1, table({{0, 0, 0x07, 2048, 2048}}));
  disk(2, table({{0, 0, 0x07, 2048, 2048}, {1, 0, 0x07, 0, 2048}}));
  machine.enumValues["1"] = std::string("usbstor\\Disk&Ven_Kingston");  // removable, whatever its type
  machine.enumValues["2"] = std::string("USBSTORX\\Disk");
  mount('D', 0, 2048, "DATA", 3 * kMiB / 2);  // whole MB, halves to even: 1.5 and 2.5 give 2
  mount('E', 0, 8192, "MORE", 5 * kMiB / 2);
  SimulatedVolume& mute = mount('F', 0, 16384, "NEVER SEEN", 1ull << 30);
  mute.noInformation = mute.noFreeSpace = true;
  mount('G', 1, 2048);
  mount('H', 2, 2048);
  // Offsets compared in all twelve digits: this one differs from D's only above 4 GiB.
  mount('K', 0, 2048 + 8388608, "HIGH").driveType = kDriveRamdisk;
  // Never matched: a letter below C, an extent the system cannot tell (it would read as the MBR).
  mount('B', 0, 8192, "FLOPPY");
  mount('Z', 0, 0, "BROKEN").noExtent = true;
  scan();
  EXPECT_EQ(column(kDriveLetterColumn), (Strings{"D", "E", "F", "K", "G", "H", ""}));
  EXPECT_EQ(column(kLabelColumn), (Strings{"DATA", "MORE", "", "HIGH", "", "", ""}));
  EXPECT_EQ(column(kFreeSpaceColumn), (Strings{"2", "2", "0", "0", "0", "0", ""}));
  EXPECT_EQ(column(kDiskTypeColumn), (Strings{"硬盘", "硬盘", "硬盘", "内存虚拟盘", "可移动磁盘", "硬盘", ""}));
  EXPECT_EQ(list.BootSectorOffsetText[3], "000100100000");
  EXPECT_EQ(list.rows[0].imageIndex, 0);
  const Strings types{"", "", "可移动磁盘", "硬盘", "远程磁盘", "光驱", "内存虚拟盘", ""};
  for (unsigned type = 0; type < types.size(); ++type) EXPECT_EQ(diskTypeText(type), types[type]);
  // Two letters for one partition: the later one stays, with its own drive type.
  mount('L', 0, 2048, "DATA").driveType = kDriveRemote;
  scan();
  EXPECT_EQ(list.rows[0][kDriveLetterColumn], "L");
  EXPECT_EQ(list.rows[0][kDiskTypeColumn], "远程磁盘");
}

TEST_F(ScanTest, UsbStorageIsAnInstancePathStartingUsbstorBackslashInEitherCase) {
  const std::pair<RegistryValue, bool> paths[] = {
      {std::string("USBSTOR\\Disk&Ven_SanDisk"), true}, {std::string("usbstor\\disk"), true},
      {std::string("USBSTO"), false}, {std::string("USBSTORX\\Disk"), false}, {std::string("IDE\\Disk"), false},
      {std::vector<std::uint8_t>{'U', 'S', 'B', 'S', 'T', 'O', 'R', '\\'}, false}};
  for (unsigned n = 0; n < 6; ++n) machine.enumValues[std::to_string(n)] = paths[n].first;
  for (unsigned n = 0; n < 7; ++n) EXPECT_EQ(isUsbStorageDisk(platform.registry, n), n < 6 && paths[n].second) << n;
}

TEST_F(ScanTest, FreeSpaceUsesTheNewerCallWhereTheSystemHasIt) {
  SimulatedVolume& v = mount('D', 0, 2048, "", 5ull << 30);
  v.clusters = ClusterFreeSpace{64, 512, 0x200000, 0x400000};  // 64 GiB by the older call
  const std::pair<OsVersion, std::uint64_t> cases[] = {
      {{2, 4, 0, 1381}, 5}, {{2, 6, 1, 7601}, 5}, {{1, 4, 10, 1998}, 5}, {{1, 5, 0, 0}, 5},  // NT 4, 7, 98, ME
      {{1, 4, 0, 0x04001111}, 5}, {{1, 4, 0, 950}, 64}, {{2, 3, 51, 1057}, 64}};  // 95 OSR2, 95, NT 3.51
  for (const auto& [version, gib] : cases) {
    machine.version = version;
    EXPECT_EQ(freeSpaceBytes(platform, "D:"), gib << 30) << version.platformId << " " << version.major << "." << version.minor;
  }
  machine.version.reset();
  EXPECT_EQ(freeSpaceBytes(platform, "D:"), 64ull << 30) << "version unknown";
  machine.version = OsVersion{2, 6, 1, 7601};
  machine.hasFreeSpaceEx = false;
  EXPECT_EQ(freeSpaceBytes(platform, "D:"), 64ull << 30) << "kernel32 without the newer call";
  v.noFreeSpace = true;
  EXPECT_EQ(freeSpaceBytes(platform, "D:"), 0u);
}

// Two disks, each: an active primary, a container of one logical, a primary. Only disk 0's first
// primary has a letter (D); C: is free, but temporary letters start at D.
class TemporaryLetters : public ScanTest {
 protected:
  void SetUp() override {
    for (unsigned n = 0; n < 2; ++n) {
      disk(n, table({{0, 0x80, 0x07, 2048, 20480}, {1, 0, 0x0F, 100000, 50000}, {2, 0, 0x0B, 200000, 20480}}))
          .put(100000 * 512, table({{0, 0, 0x07, 63, 20480}}));
    }
    mount('D', 0, 2048, "SYSTEM");
  }
  TempLetterList assign() {
    scan();
    machine.log.clear();
    return assignTemporaryLetters(platform, list);
  }
};

TEST_F(TemporaryLetters, PrimariesOfAllDisksComeFirstThenLogicalsEachByItsSystemNumber) {
  mount('E', 0, 0).noExtent = true;  // a CD drive
  mount('F', 1, 2048);
  EXPECT_EQ(assign(), (Strings{"G:", "H:", "I:", "J:"}));
  EXPECT_EQ(machine.logged("define "), (Strings{"G: \\Device\\Harddisk0\\Partition2 ok", "H: \\Device\\Harddisk1\\Partition2 ok",
                                               "I: \\Device\\Harddisk0\\Partition3 ok", "J: \\Device\\Harddisk1\\Partition3 ok"}));
  EXPECT_EQ(machine.cursor, Cursor::Arrow);
}

TEST_F(TemporaryLetters, WhenLettersRunOutTheRestGetNoneAndOnlyDToZAreOffered) {
  for (char letter = 'E'; letter < 'Z'; ++letter) mount(letter, 9, 0).noExtent = true;
  EXPECT_EQ(assign(), Strings{"Z:"});
  EXPECT_EQ(machine.logged("define ").size(), 1u);
  EXPECT_EQ(firstFreeLetter(platform.volumes), std::nullopt);
  // Where every partition has a letter, none is defined, and none is removed.
  machine.letters.clear();
  machine.defined.clear();
  const std::tuple<char, unsigned, std::uint64_t> all[] = {{'D', 0, 2048}, {'E', 0, 100063}, {'F', 0, 200000},
                                                           {'G', 1, 2048}, {'H', 1, 100063}, {'I', 1, 200000}};
  for (const auto& [letter, n, sector] : all) mount(letter, n, sector);
  TempLetterList none = assign();
  EXPECT_TRUE(none.empty());
  removeTemporaryLetters(platform, none);
  EXPECT_TRUE(machine.log.empty());
}

TEST_F(TemporaryLetters, TheSecondScanShowsTheVolumesBehindThemAndTheCloseRemovesThemAll) {
  SimulatedVolume recovery, archive;
  recovery.start = 200000 * 512ull, recovery.label = "RECOVERY", recovery.freeBytes = 2ull << 30;
  archive.disk = 1, archive.start = 100063 * 512ull, archive.label = "ARCHIVE", archive.driveType = kDriveRemovable;
  machine.partitionDevices[{0, 2}] = recovery;
  machine.partitionDevices[{1, 3}] = archive;
  TempLetterList letters{"Q:"};  // recorded before: it stays recorded
  scanWithTemporaryLetters(platform, catalogue, list, letters);
  EXPECT_EQ(letters, (Strings{"Q:", "E:", "F:", "G:", "H:", "I:"}));
  EXPECT_EQ(column(kDriveLetterColumn), (Strings{"D", "", "", "E", "", "", "I", ""}));
  EXPECT_EQ(column(kLabelColumn), (Strings{"SYSTEM", "", "", "RECOVERY", "", "", "ARCHIVE", ""}));
  EXPECT_EQ(list.rows[3][kFreeSpaceColumn], "2048");
  EXPECT_EQ(list.rows[6][kDiskTypeColumn], "可移动磁盘");
  EXPECT_EQ(list.ScannedLabel, column(kLabelColumn));
  letters.erase(letters.begin());
  removeTemporaryLetters(platform, letters);
  EXPECT_TRUE(letters.empty());
  EXPECT_TRUE(machine.defined.empty());
  EXPECT_EQ(machine.logged("remove ").size(), 5u);
  EXPECT_NE(machine.volume('D'), nullptr);
}

}  // namespace
}  // namespace quenbolt

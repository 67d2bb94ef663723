#include "discovery/volume_matching.h"

#include "discovery_fixture.h"

namespace quenbolt {
namespace {

using VolumePassTest = DiscoveryTest;

TEST_F(VolumePassTest, AMountedPartitionGetsItsLetterLabelFreeSpaceAndDiskType) {
  addPrimaries(0, {2048, 8192, 16384, 32768});
  addPrimaries(1, {2048});  // USB storage: removable whatever the drive type says
  machine.setDiskInstancePath(1, "usbstor\\Disk&Ven_Kingston");
  machine.mountVolume('G', volumeAt(1, bytes(2048)));
  // Free space in whole MB, halves to even: 1.5 and 2.5 MB both give 2.
  machine.mountVolume('D', volumeAt(0, bytes(2048), "DATA", 3 * kMiB / 2));
  machine.mountVolume('E', volumeAt(0, bytes(8192), "MORE", 5 * kMiB / 2));
  SimulatedVolume mute = volumeAt(0, bytes(16384), "NEVER SEEN", kGiB);
  mute.informationFails = true;
  mute.freeSpaceFails = true;
  machine.mountVolume('F', mute);

  scan();

  EXPECT_EQ(column(kDriveLetterColumn), strings({"D", "E", "F", "", "G"}));
  EXPECT_EQ(column(kLabelColumn), strings({"DATA", "MORE", "", "", ""}));
  EXPECT_EQ(column(kFreeSpaceColumn), strings({"2", "2", "0", "", "0"}));
  EXPECT_EQ(column(kDiskTypeColumn), strings({"硬盘", "硬盘", "硬盘", "", "可移动磁盘"}));
  EXPECT_EQ(list.rows[0].imageIndex, 0);
  EXPECT_EQ(list.rows[3].imageIndex, -1);
}

TEST_F(VolumePassTest, MatchingNeedsTheSameDiskAndAllTwelveDigitsOfTheOffset) {
  // On disk 0 two partitions whose offsets differ only above 4 GiB: 1 MiB and 4 GiB + 1 MiB.
  addPrimaries(0, {2048, 2048 + 8388608});
  addPrimaries(1, {2048});
  machine.mountVolume('E', volumeAt(0, bytes(2048) + 4 * kGiB, "HIGH"));
  machine.mountVolume('F', volumeAt(1, bytes(2048), "SECOND"));
  scan();
  EXPECT_EQ(list.BootSectorOffsetText[1], "000100100000");
  EXPECT_EQ(column(kDriveLetterColumn), strings({"", "E", "F"}));
  EXPECT_EQ(column(kLabelColumn), strings({"", "HIGH", "SECOND"}));
}

TEST_F(VolumePassTest, OnlyLettersCToZWithAUsableExtentMatch) {
  // A partition at byte 0 would match any letter whose extent query came back all zeros.
  addPrimaries(0, {0, 4096});
  SimulatedVolume broken = volumeAt(0, 0, "BROKEN");
  broken.extentQueryFails = true;
  machine.mountVolume('G', broken);
  machine.mountVolume('B', volumeAt(0, bytes(4096), "FLOPPY"));
  machine.takeLetter('H', kDriveCdrom);

  scan();

  EXPECT_EQ(column(kDriveLetterColumn), strings({"", ""}));
  const std::vector<PlatformCall> queries = machine.calls(CallKind::QueryVolumeExtent);
  EXPECT_EQ(queries.size(), 2u);  // G and H: the letters in use from C on
  for (const PlatformCall& call : queries) EXPECT_TRUE(call.first >= "C" && call.first <= "Z") << call.first;
}

TEST_F(VolumePassTest, EveryMatchingRowIsFilledAndALaterLetterWins) {
  addPrimaries(0, {2048, 2048});  // two entries describing the same partition
  // Two letters for one volume: the later one stays, with its own drive type.
  machine.mountVolume('D', volumeAt(0, bytes(2048), "SHARED"));
  SimulatedVolume again = volumeAt(0, bytes(2048), "SHARED");
  again.driveType = kDriveRamdisk;
  machine.mountVolume('K', again);
  scan();
  EXPECT_EQ(column(kDriveLetterColumn), strings({"K", "K"}));
  EXPECT_EQ(column(kDiskTypeColumn), strings({"内存虚拟盘", "内存虚拟盘"}));
  EXPECT_EQ(column(kLabelColumn), strings({"SHARED", "SHARED"}));
}

TEST(DiskTypeText, NamesTheFiveKnownDriveTypesAndNothingElse) {
  const std::vector<std::string> texts{"", "", "可移动磁盘", "硬盘", "远程磁盘", "光驱", "内存虚拟盘", ""};
  for (unsigned type = 0; type < texts.size(); ++type) EXPECT_EQ(diskTypeText(type), texts[type]) << type;
}

class FreeSpaceTest : public DiscoveryTest {
 protected:
  void SetUp() override {
    SimulatedVolume volume = volumeAt(0, bytes(2048), "", 5 * kGiB);
    // The older call answers differently, so the tests can tell which one was used.
    volume.clusters = ClusterFreeSpace{64, 512, 0x200000, 0x400000};  // 64 GiB free
    machine.mountVolume('D', volume);
  }
  std::uint64_t freeOn(const OsVersion& version) {
    machine.setOsVersion(version);
    return freeSpaceBytes(platform, "D:");
  }
};

TEST_F(FreeSpaceTest, TheNewerCallIsUsedWhereTheSystemHasItAndClustersMultiplyIn64Bits) {
  const std::pair<OsVersion, std::uint64_t> cases[] = {
      {{2, 4, 0, 1381}, 5 * kGiB},       {{2, 6, 1, 7601}, 5 * kGiB},  // NT 4, Windows 7
      {{1, 4, 10, 1998}, 5 * kGiB},      {{1, 5, 0, 0}, 5 * kGiB},     // 98, ME
      {{1, 4, 0, 0x04001111}, 5 * kGiB},                                // 95 OSR2
      {{1, 4, 0, 950}, 64 * kGiB},       {{2, 3, 51, 1057}, 64 * kGiB},  // 95, NT 3.51
  };
  for (const auto& [version, expected] : cases) {
    EXPECT_EQ(freeOn(version), expected) << version.platformId << " " << version.major << "."
                                         << version.minor << " build " << version.build;
  }
  machine.setOsVersion({2, 6, 1, 7601});
  machine.setVersionExFails();
  EXPECT_EQ(freeSpaceBytes(platform, "D:"), 64 * kGiB) << "version unknown";
  machine.setOsVersion({2, 6, 1, 7601});
  machine.setHasDiskFreeSpaceEx(false);
  EXPECT_EQ(freeSpaceBytes(platform, "D:"), 64 * kGiB) << "kernel32 without the newer call";
}

TEST_F(FreeSpaceTest, AFailedQueryGivesZero) {
  machine.volume('D')->freeSpaceFails = true;
  EXPECT_EQ(freeOn({2, 6, 1, 7601}), 0u);
  EXPECT_EQ(freeOn({1, 4, 0, 950}), 0u);
  EXPECT_EQ(freeSpaceBytes(platform, "Q:"), 0u);
}

}  // namespace
}  // namespace quenbolt

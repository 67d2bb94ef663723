#include "discovery/volume_matching.h"

#include "discovery/scan_disks.h"
#include "discovery_fixture.h"

namespace quenbolt {
namespace {

constexpr std::uint64_t bytes(std::uint32_t sectors) { return std::uint64_t{sectors} * 512; }

SimulatedVolume volumeAt(unsigned disk, std::uint64_t offset, const std::string& label = "") {
  SimulatedVolume volume;
  volume.disk = disk;
  volume.startOffset = offset;
  volume.label = label;
  return volume;
}

class VolumePassTest : public DiscoveryTest {
 protected:
  void scan() { scanDisks(platform, catalogue, list); }

  // Disk `index` with primaries of 2048 sectors at each of `starts`.
  void addPrimaries(unsigned index, std::initializer_list<std::uint32_t> starts) {
    TableSector mbr;
    unsigned slot = 0;
    for (std::uint32_t start : starts) mbr.entry(slot++, 0x00, 0x07, start, 2048);
    addDisk(index).setSector(0, mbr.signature());
  }
};

TEST_F(VolumePassTest, AMountedPartitionGetsItsLetterLabelFreeSpaceAndDiskType) {
  machine.setDiskCount(1);
  addPrimaries(0, {2048, 8192});
  SimulatedVolume d = volumeAt(0, bytes(2048), "DATA");
  d.freeBytes = 3 * kGiB;
  machine.mountVolume('D', d);

  scan();

  const PartitionRow& row = list.rows[0];
  EXPECT_EQ(row[kDriveLetterColumn], "D");
  EXPECT_EQ(row[kLabelColumn], "DATA");
  EXPECT_EQ(row[kFreeSpaceColumn], "3072");
  EXPECT_EQ(row[kDiskTypeColumn], "硬盘");
  EXPECT_EQ(row.imageIndex, 0);
  // A partition no letter leads to keeps every volume cell empty.
  const PartitionRow& other = list.rows[1];
  EXPECT_EQ(other[kDriveLetterColumn], "");
  EXPECT_EQ(other[kLabelColumn], "");
  EXPECT_EQ(other[kFreeSpaceColumn], "");
  EXPECT_EQ(other[kDiskTypeColumn], "");
  EXPECT_EQ(other.imageIndex, -1);
}

TEST_F(VolumePassTest, MatchingNeedsTheSameDiskAndAllTwelveDigitsOfTheOffset) {
  machine.setDiskCount(2);
  // On disk 0 two partitions whose offsets differ only above 4 GiB: 1 MiB and 4 GiB + 1 MiB.
  addPrimaries(0, {2048, 2048 + 8388608});
  addPrimaries(1, {2048});
  machine.mountVolume('E', volumeAt(0, bytes(2048) + 4 * kGiB, "HIGH"));
  machine.mountVolume('F', volumeAt(1, bytes(2048), "SECOND"));

  scan();

  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list.BootSectorOffsetText[1], "000100100000");
  EXPECT_EQ(column(kDriveLetterColumn), strings({"", "E", "F"}));
  EXPECT_EQ(column(kLabelColumn), strings({"", "HIGH", "SECOND"}));
}

TEST_F(VolumePassTest, OnlyLettersCToZWithAUsableExtentMatch) {
  machine.setDiskCount(1);
  // A partition at byte 0 would match any letter whose extent query came back all zeros.
  TableSector mbr;
  mbr.entry(0, 0x00, 0x07, 0, 2048).entry(1, 0x00, 0x07, 4096, 2048);
  addDisk(0).setSector(0, mbr.signature());
  SimulatedVolume broken = volumeAt(0, 0, "BROKEN");
  broken.extentQueryFails = true;
  machine.mountVolume('G', broken);
  machine.mountVolume('B', volumeAt(0, bytes(4096), "FLOPPY"));
  machine.takeLetter('H', kDriveCdrom);

  scan();

  EXPECT_EQ(column(kDriveLetterColumn), strings({"", ""}));
  for (const PlatformCall& call : machine.calls(CallKind::QueryVolumeExtent)) {
    EXPECT_TRUE(call.first >= "C" && call.first <= "Z") << call.first;
  }
  EXPECT_EQ(machine.calls(CallKind::QueryVolumeExtent).size(), 24u);
}

TEST_F(VolumePassTest, EveryMatchingRowIsFilledAndALaterLetterWins) {
  machine.setDiskCount(1);
  // Two entries describing the same partition: both rows lead to the volume.
  addPrimaries(0, {2048, 2048});
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

TEST_F(VolumePassTest, UsbStorageDisksAreRemovableWhateverTheDriveTypeSays) {
  machine.setDiskCount(2);
  addPrimaries(0, {2048});
  addPrimaries(1, {2048});
  machine.setDiskInstancePath(0, "IDE\\DiskWDC_WD5000");
  machine.setDiskInstancePath(1, "usbstor\\Disk&Ven_Kingston");
  machine.mountVolume('D', volumeAt(0, bytes(2048)));
  machine.mountVolume('E', volumeAt(1, bytes(2048)));

  scan();

  EXPECT_EQ(column(kDiskTypeColumn), strings({"硬盘", "可移动磁盘"}));
}

TEST_F(VolumePassTest, FailedVolumeQueriesLeaveAnEmptyLabelAndZeroFreeSpace) {
  machine.setDiskCount(1);
  addPrimaries(0, {2048});
  SimulatedVolume mute = volumeAt(0, bytes(2048), "NEVER SEEN");
  mute.informationFails = true;
  mute.freeSpaceFails = true;
  machine.mountVolume('D', mute);

  scan();

  EXPECT_EQ(list.rows[0][kDriveLetterColumn], "D");
  EXPECT_EQ(list.rows[0][kLabelColumn], "");
  EXPECT_EQ(list.rows[0][kFreeSpaceColumn], "0");
}

TEST(DiskTypeText, NamesTheFiveKnownDriveTypesAndNothingElse) {
  EXPECT_EQ(diskTypeText(kDriveRemovable), "可移动磁盘");
  EXPECT_EQ(diskTypeText(kDriveFixed), "硬盘");
  EXPECT_EQ(diskTypeText(kDriveRemote), "远程磁盘");
  EXPECT_EQ(diskTypeText(kDriveCdrom), "光驱");
  EXPECT_EQ(diskTypeText(kDriveRamdisk), "内存虚拟盘");
  EXPECT_EQ(diskTypeText(kDriveUnknown), "");
  EXPECT_EQ(diskTypeText(kDriveNoRootDir), "");
  EXPECT_EQ(diskTypeText(7), "");
}

// ---- Free space -----------------------------------------------------------------------------

class FreeSpaceTest : public DiscoveryTest {
 protected:
  void SetUp() override {
    SimulatedVolume volume = volumeAt(0, bytes(2048));
    volume.freeBytes = 5 * kGiB;
    // The older call answers differently, so the tests can tell which one was used.
    volume.clusters = ClusterFreeSpace{64, 512, 0x200000, 0x400000};  // 64 GiB free
    machine.mountVolume('D', volume);
  }
  std::uint64_t freeOn(const OsVersion& version) {
    machine.setOsVersion(version);
    return freeSpaceBytes(platform, "D:");
  }
};

TEST_F(FreeSpaceTest, TheNewerCallIsUsedWhereTheSystemHasIt) {
  EXPECT_EQ(freeOn({2, 4, 0, 1381}), 5 * kGiB) << "NT 4";
  EXPECT_EQ(freeOn({2, 6, 1, 7601}), 5 * kGiB) << "Windows 7";
  EXPECT_EQ(freeOn({1, 4, 10, 1998}), 5 * kGiB) << "98";
  EXPECT_EQ(freeOn({1, 4, 0, 0x04001111}), 5 * kGiB) << "95 OSR2";
  EXPECT_EQ(freeOn({1, 5, 0, 0}), 5 * kGiB);
}

TEST_F(FreeSpaceTest, OlderSystemsMultiplyClustersIn64Bits) {
  EXPECT_EQ(freeOn({1, 4, 0, 950}), 64 * kGiB) << "95 before OSR2";
  EXPECT_EQ(freeOn({2, 3, 51, 1057}), 64 * kGiB) << "NT 3.51";
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

TEST_F(FreeSpaceTest, MegabytesRoundHalvesToEven) {
  machine.setDiskCount(1);
  TableSector mbr;
  mbr.entry(0, 0x00, 0x07, 2048, 2048).entry(1, 0x00, 0x07, 8192, 2048);
  addDisk(0).setSector(0, mbr.signature());
  machine.volume('D')->freeBytes = 3 * kMiB / 2;
  SimulatedVolume e = volumeAt(0, bytes(8192));
  e.freeBytes = 5 * kMiB / 2;
  machine.mountVolume('E', e);

  scanDisks(platform, catalogue, list);

  EXPECT_EQ(column(kFreeSpaceColumn), strings({"2", "2"}));
}

}  // namespace
}  // namespace quenbolt

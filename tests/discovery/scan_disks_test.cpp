#include "discovery/scan_disks.h"

#include <algorithm>

#include "discovery/disk_enumeration.h"

#include "discovery_fixture.h"
#include "model/gbk_text.h"

namespace quenbolt {
namespace {

// PrimaryList then LogicalList: "P<row>,<disk>,<number>,<flag>" and "L<row>,<disk>,<number>".
std::string records(const PartitionList& list) {
  std::string text;
  for (const PrimaryRecord& r : list.PrimaryList) {
    text += "P" + std::to_string(r.row) + "," + std::to_string(r.disk) + "," +
            std::to_string(r.number) + "," + std::to_string(r.flag) + " ";
  }
  for (const LogicalRecord& r : list.LogicalList) {
    text += "L" + std::to_string(r.row) + "," + std::to_string(r.disk) + "," +
            std::to_string(r.number) + " ";
  }
  return text;
}

using ScanTest = DiscoveryTest;

TEST_F(ScanTest, ExampleLayoutGivesEveryColumnStoreAndRecord) {
  // Slot 0 active NTFS, slot 1 a container with two logicals, slot 2 empty, slot 3 FAT32.
  SimulatedDisk& disk = addDisk(0, table()
                                       .entry(0, 0x80, 0x07, 2048, 1024)
                                       .entry(1, 0x00, 0x0F, 206848, 409600)
                                       .entry(3, 0x00, 0x0B, 616448, 2047));
  const std::uint64_t base = bytes(206848), second = base + bytes(100100);
  disk.setSector(base, table().entry(0, 0, 0x07, 63, 3072).entry(1, 0, 0x05, 100100, 200000));
  disk.setSector(second, table().entry(0, 0x00, 0x0D, 63, 5120));

  scan();

  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(column(kDiskColumn), strings({"1", "1", "1", "1", "1"}));
  EXPECT_EQ(column(kPartitionColumn), strings({"1", "", "2", "3", "4"}));
  EXPECT_EQ(column(kTypeIdColumn), strings({"07", "0F", "07", "0D", "0B"}));
  // 0D is not in the catalogue: its name stays empty, the row is otherwise complete.
  EXPECT_EQ(column(kFormatNameColumn), strings({"NTFS", "扩展 LBA", "NTFS", "", "FAT32"}));
  EXPECT_EQ(column(kKindColumn), strings({"主，活动", "扩展", "逻辑", "逻辑", "主"}));
  // Whole MB, halves to even.
  EXPECT_EQ(column(kCapacityColumn), strings({"0", "200", "2", "2", "1"}));
  EXPECT_EQ(column(kDriveLetterColumn), strings({"", "", "", "", ""}));
  for (const PartitionRow& row : list.rows) EXPECT_EQ(row.imageIndex, -1);

  EXPECT_EQ(list.TableSectorOffset, (std::vector<std::uint64_t>{0, 0, base, second, 0}));
  EXPECT_EQ(list.TypeByteOffset, (std::vector<std::uint32_t>{450, 466, 450, 450, 498}));
  EXPECT_EQ(list.BootSectorOffsetText,
            strings({"000000100000", "000006500000", "000006507E00", "0000095E8600",
                     "000012D00000"}));
  EXPECT_EQ(list.ScannedTypeId, column(kTypeIdColumn));
  EXPECT_EQ(list.ScannedLabel, column(kLabelColumn));
  EXPECT_EQ(records(list), "P0,0,1,1 P4,0,2,0 L2,0,3 L3,0,4 ");
}

TEST_F(ScanTest, KindsFollowEachBootIndicatorAndEbrsWhoseEntryZeroIsALinkAreRows) {
  SimulatedDisk& disk = addDisk(0, table()
                                       .entry(0, 0x80, 0x07, 2048, 2048)
                                       .entry(1, 0x80, 0x05, 10000, 100000)  // an "active" container
                                       .entry(2, 0x80, 0x0C, 4096, 2048));   // a second active primary
  const std::uint64_t base = bytes(10000);
  // The first EBR's slot-0 link is followed at once; the EBR it leads to is itself a link in
  // slot 0 (shown, active), whose link leads to an active logical partition.
  disk.setSector(base, table().entry(0, 0x00, 0x05, 100, 5000));
  disk.setSector(base + bytes(100), table().entry(0, 0x80, 0x0F, 200, 4096));
  disk.setSector(base + bytes(200), table().entry(0, 0x80, 0x07, 63, 2048));

  scan();

  EXPECT_EQ(column(kKindColumn), strings({"主，活动", "扩展", "扩展，活动", "逻辑，活动", "主，活动"}));
  EXPECT_EQ(column(kPartitionColumn), strings({"1", "", "", "2", "3"}));
  EXPECT_EQ(column(kCapacityColumn), strings({"1", "49", "2", "1", "1"}));
  EXPECT_EQ(list.TableSectorOffset, (std::vector<std::uint64_t>{0, 0, base + bytes(100), base + bytes(200), 0}));
  EXPECT_EQ(list.BootSectorOffsetText[2], offsetText(base + bytes(100) + bytes(200)));
  // Link rows count as visits; active logicals offer no active flag to change (no PrimaryRecord).
  EXPECT_EQ(records(list), "P0,0,1,1 P4,0,2,1 L2,0,3 L3,0,4 ");
}

TEST_F(ScanTest, LogicalNumbersCountOnlyThePrimariesOfTheirOwnDisk) {
  addPrimaries(0, {2048, 4096});
  addDisk(1, table().entry(0, 0, 0x0F, 2048, 100000));
  machine.disk(1).setSector(bytes(2048), table().entry(0, 0, 0x07, 63, 2048).entry(1, 0, 0x05, 4096, 4096));
  machine.disk(1).setSector(bytes(2048 + 4096), table().entry(0, 0, 0x07, 63, 2048));
  // The container comes before the primary, yet its logical is numbered after it.
  addDisk(2, table().entry(0, 0, 0x0F, 2048, 100000).entry(1, 0, 0x07, 200000, 2048))
      .setSector(bytes(2048), table().entry(0, 0, 0x07, 63, 2048));

  scan();

  EXPECT_EQ(column(kDiskColumn), strings({"1", "1", "2", "2", "2", "3", "3", "3"}));
  EXPECT_EQ(column(kPartitionColumn), strings({"1", "2", "", "1", "2", "", "1", "2"}));
  EXPECT_EQ(records(list), "P0,0,1,0 P1,0,2,0 P7,2,1,0 L3,1,1 L4,1,2 L6,2,2 ");
}

TEST_F(ScanTest, ADiskThatCannotBeOpenedOrReadUsesUpItsNumberAndIsNotedWithWhy) {
  for (unsigned n = 0; n < 10; ++n) addPrimaries(n, {2048});
  machine.disk(1).failOpen();                                   // not run as administrator
  machine.disk(2).failOpen(OpenFault::AnyAccess, kEveryTime, 32);  // held by another program
  machine.disk(3).failRead(0);
  machine.disk(4).shortRead(0, 100);
  machine.disk(5).setSector(0, Sector{});                       // blank: no table, no failure
  machine.disk(6).failRead(0, kEveryTime, kErrorNotReady);      // card readers without a card
  machine.disk(7).failOpen(OpenFault::AnyAccess, kEveryTime, kErrorNoMediaInDrive);
  machine.disk(8).failOpen();
  machine.setDiskCount(11);  // the registry lists a disk index 10 that is not there
  scan();
  scan();  // the second scan's record replaces the first's
  EXPECT_EQ(column(kDiskColumn), strings({"1", "10"}));
  EXPECT_EQ(records(list), "P0,0,1,0 P1,9,1,0 ");
  EXPECT_EQ(unreadableDisksText(list.unreadableDisks),
            "磁盘 2、9 无法读取（拒绝访问，请以管理员身份运行）；"
            "磁盘 3 无法读取（无法打开，系统错误 32）；"
            "磁盘 4 无法读取（读取第一个扇区失败，系统错误 23）；"
            "磁盘 5 无法读取（第一个扇区读取不完整）；"
            "磁盘 11 无法读取（设备不存在）");
  // Nothing further is read from a disk whose MBR failed, and it is closed.
  const std::vector<std::string>& journal = machine.journal();
  const auto opened = std::find(journal.begin(), journal.end(), "open 3 read ok");
  ASSERT_GE(journal.end() - opened, 3);
  EXPECT_EQ(std::vector<std::string>(opened + 1, opened + 3), strings({"read 3 0x0 failed", "close 3"}));
  EXPECT_EQ(machine.openHandles(), 0u);
}

TEST_F(ScanTest, OnlyADwordCountDecidesHowManyDisksAreTried) {
  for (unsigned n = 0; n < 3; ++n) addPrimaries(n, {2048});
  machine.removeValue(kDiskEnumKey, "Count");
  auto disksOpened = [&] {
    machine.clearLogs();
    scan();
    std::vector<unsigned> opened;
    for (const DiskAccessRecord& r : machine.diskLog(DiskOp::Open)) opened.push_back(r.disk);
    return opened;
  };
  EXPECT_EQ(disksOpened(), std::vector<unsigned>{}) << "no Count value";
  machine.setString(kDiskEnumKey, "Count", "2");
  EXPECT_EQ(disksOpened(), std::vector<unsigned>{}) << "Count as text";
  EXPECT_TRUE(list.rows.empty());
  machine.setBinary(kDiskEnumKey, "Count", {2, 0, 0, 0});
  EXPECT_EQ(disksOpened(), std::vector<unsigned>{}) << "Count as binary";
  machine.setDiskCount(0xFFFFFFFFu);
  EXPECT_EQ(disksOpened(), std::vector<unsigned>{}) << "a negative Count";
  machine.setDiskCount(2);
  EXPECT_EQ(disksOpened(), (std::vector<unsigned>{0, 1})) << "Count 2 with three disks";
}

TEST_F(ScanTest, EachScanRebuildsEverythingFromScratchUnderOneWaitCursor) {
  SimulatedDisk& disk = addDisk(0, table().entry(0, 0, 0x07, 2048, 2048).entry(1, 0, 0x05, 8192, 8192));
  disk.setSector(bytes(8192), table().entry(0, 0, 0x07, 63, 2048));
  machine.mountVolume('C', volumeAt(0, bytes(2048), "SYSTEM"));
  scan();
  ASSERT_EQ(list.size(), 3u);
  list.rows[0][kLabelColumn] = "EDITED";

  disk.setSector(0, table().entry(2, 0x00, 0x1C, 4096, 2048));
  machine.clearLogs();
  scan();

  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list.rows[0][kTypeIdColumn], "1C");
  EXPECT_EQ(list.rows[0][kLabelColumn], "");
  EXPECT_EQ(list.rows[0][kDriveLetterColumn], "");
  EXPECT_EQ(list.rows[0].imageIndex, -1);
  EXPECT_EQ(list.TypeByteOffset, (std::vector<std::uint32_t>{482}));
  EXPECT_EQ(records(list), "P0,0,1,0 ");
  EXPECT_EQ(list.ScannedLabel.size(), 1u);
  const std::vector<std::string>& journal = machine.journal();
  EXPECT_EQ(journal.front(), "cursor wait");
  EXPECT_EQ(journal.back(), "cursor arrow");
  EXPECT_EQ(std::count(journal.begin(), journal.end(), "cursor wait"), 1);
  EXPECT_TRUE(machine.statusTexts().empty());
}

TEST_F(ScanTest, HiddenFat32RowsTakeTheirBootSectorLabelWhateverTheVolumeSays) {
  SimulatedDisk& disk = addDisk(0, table()
                                       .entry(0, 0, 0xBC, 2048, 2048)
                                       .entry(1, 0, 0x0B, 4096, 2048)
                                       .entry(2, 0, 0x1B, 8192, 2048)
                                       .entry(3, 0, 0x1C, 16384, 2048));
  disk.setSector(bytes(2048), fat32BootSector("Boot BC"));
  disk.setSector(bytes(4096), fat32BootSector("BOOT 0B"));
  disk.setSector(bytes(8192), fat32BootSector("HIDDEN"));
  disk.setSector(bytes(16384), fat16BootSector("FAT16"));
  machine.mountVolume('D', volumeAt(0, bytes(2048), "VOLUME BC", 3 * kMiB));
  machine.mountVolume('E', volumeAt(0, bytes(4096), "VOLUME 0B"));

  scan();

  EXPECT_EQ(column(kLabelColumn), strings({"Boot BC", "VOLUME 0B", "HIDDEN", ""}));
  EXPECT_EQ(list.ScannedLabel, column(kLabelColumn));
  // The volume facts of the BC row stay; only its label comes from the boot sector.
  EXPECT_EQ(list.rows[0][kDriveLetterColumn], "D");
  EXPECT_EQ(list.rows[0][kFreeSpaceColumn], "3");
  // The boot sector of the plain FAT32 row is never read.
  for (const DiskAccessRecord& r : machine.diskLog(DiskOp::Read)) EXPECT_NE(r.offset, bytes(4096));
  EXPECT_EQ(machine.openHandles(), 0u);
}

TEST_F(ScanTest, AHiddenRowWhoseDiskCannotBeOpenedAgainShowsElevenBlanks) {
  addDisk(0, table().entry(0, 0, 0x1C, 2048, 2048)).setSector(bytes(2048), fat32BootSector("HIDDEN"));
  machine.disk(0).failOpen(OpenFault::AnyAccess, 2);  // the scan's own open succeeds, the reader's fails
  scan();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list.rows[0][kLabelColumn], std::string(11, ' '));
  EXPECT_EQ(list.ScannedLabel[0], std::string(11, ' '));
  EXPECT_EQ(machine.statusTexts(), strings({"打开磁盘失败"}));
}

}  // namespace
}  // namespace quenbolt

#include "discovery/scan_disks.h"

#include "bench/chained_disks.h"
#include "discovery/boot_sector_label_reader.h"
#include "scan_fixture.h"

namespace quenbolt {
namespace {

// PrimaryList then LogicalList: "P<row>,<disk>,<number>,<flag>" and "L<row>,<disk>,<number>".
std::string records(const PartitionList& list) {
  std::string text;
  for (const PrimaryRecord& r : list.PrimaryList) text += "P" + std::to_string(r.row) + "," + std::to_string(r.disk) + "," +
                                                         std::to_string(r.number) + "," + std::to_string(r.flag) + " ";
  for (const LogicalRecord& r : list.LogicalList) text += "L" + std::to_string(r.row) + "," + std::to_string(r.disk) + "," +
                                                         std::to_string(r.number) + " ";
  return text;
}

// Disk 1: slot 0 active NTFS, slot 1 an "active" container, slot 3 a second active primary; the
// chain a logical, an EBR whose slot-0 link leads to an active link row, an active logical of type
// 0D, which the catalogue does not name. Disk 2: its container before its primary.
TEST_F(ScanTest, ALayoutGivesEveryColumnStoreAndRecord) {
  constexpr std::uint64_t base = 206848;
  SimulatedDisk& d = disk(0, table({{0, 0x80, 0x07, 2048, 1024}, {1, 0x80, 0x0F, base, 409600}, {3, 0x80, 0x0B, 616448, 2047}}));
  d.put(base * 512, table({{0, 0, 0x07, 63, 3072}, {1, 0, 0x05, 100100, 5000}}));
  d.put((base + 100100) * 512, table({{0, 0, 0x05, 200000, 5000}}));
  d.put((base + 200000) * 512, table({{0, 0x80, 0x0F, 300000, 4096}}));
  d.put((base + 300000) * 512, table({{0, 0x80, 0x0D, 63, 5120}}));
  disk(1, table({{0, 0, 0x0F, 2048, 100000}, {1, 0, 0x07, 200000, 2048}})).put(2048 * 512, table({{0, 0, 0x07, 63, 2048}}));
  scan();
  EXPECT_EQ(column(kDiskColumn), (Strings{"1", "1", "1", "1", "1", "1", "2", "2", "2"}));
  EXPECT_EQ(column(kPartitionColumn), (Strings{"1", "", "2", "", "3", "4", "", "1", "2"}));
  EXPECT_EQ(column(kTypeIdColumn), (Strings{"07", "0F", "07", "0F", "0D", "0B", "0F", "07", "07"}));
  EXPECT_EQ(column(kFormatNameColumn), (Strings{"NTFS", "扩展 LBA", "NTFS", "扩展 LBA", "", "FAT32", "扩展 LBA", "NTFS", "NTFS"}));
  EXPECT_EQ(column(kKindColumn), (Strings{"主，活动", "扩展", "逻辑", "扩展，活动", "逻辑，活动", "主，活动", "扩展", "逻辑", "主"}));
  EXPECT_EQ(column(kCapacityColumn), (Strings{"0", "200", "2", "2", "2", "1", "49", "1", "1"}));
  EXPECT_EQ(list.TypeByteOffset, (std::vector<std::uint32_t>{450, 466, 450, 450, 450, 498, 450, 450, 466}));
  EXPECT_EQ(list.BootSectorOffsetText, (Strings{"000000100000", "000006500000", "000006507E00", "000015924000", "00000F783E00",
                                                "000012D00000", "000000100000", "000000107E00", "0000061A8000"}));
  EXPECT_EQ(list.TableSectorOffset[3], (base + 200000) * 512);
  EXPECT_EQ(list.ScannedTypeId, column(kTypeIdColumn));
  EXPECT_EQ(list.ScannedLabel, column(kLabelColumn));
  // Link rows count as visits; logicals are numbered after their disk's primaries; only primaries
  // offer an active flag.
  EXPECT_EQ(records(list), "P0,0,1,1 P5,0,2,1 P8,1,1,0 L2,0,3 L3,0,4 L4,0,5 L7,1,2 ");
}

TEST_F(ScanTest, ADiskThatCannotBeOpenedOrReadUsesUpItsNumberAndIsNotedWithWhy) {
  for (unsigned n = 0; n < 10; ++n) disk(n, table({{0, 0, 0x07, 2048, 2048}}));
  machine.disks[1].faults = {{FaultOn::Open}};                         // not run as administrator
  machine.disks[2].faults = {{FaultOn::Open, kAnyOffset, -1, 0, 32}};  // held by another program
  machine.disks[3].faults = {{FaultOn::Read, 0}};
  machine.disks[4].faults = {{FaultOn::Read, 0, 100}};
  machine.disks[5].put(0, Sector{});  // blank: no table, no failure
  machine.disks[6].faults = {{FaultOn::Read, 0, -1, 0, kErrorNotReady}};  // a card reader without its card
  machine.disks[7].faults = {{FaultOn::Open, kAnyOffset, -1, 0, kErrorNoMediaInDrive}};
  machine.disks[8].faults = {{FaultOn::Open}};
  machine.setDiskCount(11);  // a disk the registry lists, that is not there
  scan();
  scan();  // the second scan's notes replace the first's
  EXPECT_EQ(column(kDiskColumn), (Strings{"1", "10"}));
  EXPECT_EQ(unreadableDisksText(list.unreadableDisks),
            "磁盘 2、9 无法读取（拒绝访问，请以管理员身份运行）；磁盘 3 无法读取（无法打开，系统错误 32）；"
            "磁盘 4 无法读取（读取第一个扇区失败，系统错误 23）；磁盘 5 无法读取（第一个扇区读取不完整）；"
            "磁盘 11 无法读取（设备不存在）");
  EXPECT_EQ(unreadableDiskLine(list.unreadableDisks[0]), "磁盘 2 无法读取（拒绝访问，请以管理员身份运行）");
  EXPECT_EQ(machine.logged("read 3 "), (Strings{"0x0 failed", "0x0 failed"})) << "nothing more of disk 3";
  EXPECT_EQ(machine.openHandles, 0u);
  // Only a DWORD count says how many disks to try; a "negative" one is none.
  using Value = decltype(machine.enumValues)::mapped_type;
  for (const Value& value : {Value(std::string("10")), Value(std::vector<std::uint8_t>{2, 0, 0, 0}), Value(0xFFFFFFFFu)}) {
    machine.enumValues["COUNT"] = value;
    scan();
    EXPECT_TRUE(list.rows.empty());
  }
}

// Hidden FAT32 rows (1B, 1C, BC) take the label of their boot sector, trimmed, whatever the volume
// says; no other row's boot sector is read. A rescan starts from scratch.
TEST_F(ScanTest, HiddenFat32RowsTakeTheLabelOfTheirBootSector) {
  SimulatedDisk& d = disk(0, table({{0, 0, 0xBC, 2048, 2048}, {1, 0, 0x0B, 4096, 2048}, {2, 0, 0x1B, 8192, 2048}, {3, 0, 0x1C, 16384, 2048}}));
  Sector odd = fat32Boot("");
  place(odd, 0x47, std::string("My Data\0\0\0\0", 11) + "fat32");  // NUL padding, lower case
  d.put(2048 * 512, fat32Boot("Boot BC"));
  d.put(4096 * 512, fat32Boot("BOOT 0B"));
  d.put(8192 * 512, odd);
  d.put(16384 * 512, ntfsBoot());
  d.put(32768 * 512, fat32Boot("NOT HERE"));
  mount('D', 0, 2048, "VOLUME BC", 3 << 20);
  mount('E', 0, 4096, "VOLUME 0B");
  scan();
  EXPECT_EQ(column(kLabelColumn), (Strings{"Boot BC", "VOLUME 0B", "My Data", ""}));
  EXPECT_EQ(list.ScannedLabel, column(kLabelColumn));
  EXPECT_EQ(list.rows[0][kFreeSpaceColumn], "3");
  EXPECT_TRUE(machine.logged("read 0 0x200000 ").empty());
  // A read that fails or comes back short, an offset text the scan never writes: no label.
  d.faults = {{FaultOn::Read, 2048 * 512, 0x60, 1}, {FaultOn::Read, 8192 * 512, -1, 1}};
  list.BootSectorOffsetText[3] = "00001000000Z";
  for (std::size_t row : {0, 2, 3}) EXPECT_EQ(readBootSectorLabel(platform, list, row), "") << row;
  EXPECT_EQ(readBootSectorLabel(platform, list, 0), "Boot BC");
  EXPECT_TRUE(machine.logged("status ").empty());
  d.faults = {{FaultOn::Open}};  // the disk cannot be opened again: eleven blanks, and the status line says why
  EXPECT_EQ(readBootSectorLabel(platform, list, 0), std::string(11, ' '));
  EXPECT_EQ(machine.logged("status "), Strings{"打开磁盘失败"});
  d.faults.clear();
  d.put(0, table({{2, 0, 0x07, 65536, 2048}}));
  scan();
  EXPECT_EQ(records(list), "P0,0,1,0 ");
  EXPECT_EQ(list.ScannedLabel, Strings{""});
  EXPECT_EQ(list.TypeByteOffset, std::vector<std::uint32_t>{482});
  EXPECT_EQ(machine.cursor, Cursor::Arrow);
}

// One read per table sector and one per hidden row's boot sector; one open per disk and one per
// hidden row; every store a place for every row.
TEST(ScanCost, ReadsAndOpensAreExactlyWhatTheDisksNeed) {
  for (const bench::ChainedDisks& shape : {bench::ChainedDisks{1, 10}, bench::ChainedDisks{4, 100}, bench::ChainedDisks{32, 1000}}) {
    SimulatedMachine machine;
    const bench::ScanCost cost = bench::layChainedDisks(machine, shape);
    Platform platform = machine.platform();
    PartitionList list;
    scanDisks(platform, TypeCatalogue(), list);
    EXPECT_EQ(machine.logged("read ").size(), cost.tableSectors + cost.hiddenBootSectors);
    EXPECT_EQ(machine.logged("open ").size(), shape.disks + cost.hiddenBootSectors);
    EXPECT_EQ(list.size(), cost.rows);
    for (std::size_t store : {list.TableSectorOffset.size(), list.TypeByteOffset.size(), list.BootSectorOffsetText.size(),
                              list.ScannedTypeId.size(), list.ScannedLabel.size()}) {
      EXPECT_EQ(store, list.size());
    }
    EXPECT_EQ(list.LogicalList.back().number, shape.logicals + 1);
  }
}

}  // namespace
}  // namespace quenbolt

// The scan on disks laid out sector by sector: every column, store and record, unreadable disks,
// hidden FAT32 labels, volumes and temporary letters, and the reads and opens a scan costs.

#include "discovery/scan_disks.h"
#include <gtest/gtest.h>
#include <sstream>
#include "discovery/boot_sector_label_reader.h"
#include "discovery/startup_scan.h"
#include "support/simulated_machine.h"

namespace quenbolt {
namespace {
using Strings = std::vector<std::string>;

class Scan : public testing::Test {
 protected:
  SimulatedDisk& disk(unsigned index,
                      const Sector& mbr) {  // 64 GiB, sparse; the disk count grows to include it
    machine.addDisk(index, 64ull << 30).put(0, mbr);
    return machine.disks[index];
  }
  SimulatedVolume& mount(char letter, unsigned disk, std::uint64_t sector,
                         const std::string& label = "", std::uint64_t freeBytes = 0) {
    return machine.letters[letter] =
               SimulatedVolume{disk, sector * 512, 0, label, "FAT32", freeBytes};
  }
  void scan() { scanDisks(platform, catalogue, list); }
  Strings column(Column c) const {
    Strings cells;
    for (const PartitionRow& row : list.rows) cells.push_back(row[c]);
    return cells;
  }
  // PrimaryList, then LogicalList: "P<row>,<disk>,<number>,<flag>" and "L<row>,<disk>,<number>".
  std::string records() const {
    std::ostringstream text;
    for (const PrimaryRecord& r : list.PrimaryList)
      text << 'P' << r.row << ',' << r.disk << ',' << r.number << ',' << r.flag << ' ';
    for (const LogicalRecord& r : list.LogicalList)
      text << 'L' << r.row << ',' << r.disk << ',' << r.number << ' ';
    return text.str();
  }

  SimulatedMachine machine;
  Platform platform = machine.platform();
  TypeCatalogue catalogue;
  PartitionList list;
};

// Disk 1: slot 0 active NTFS, slot 1 an "active" container, slot 3 a second active primary; the
// chain a logical, an EBR whose slot-0 link leads to an active link row, an active logical of type
// 0D, which the catalogue does not name. Disk 2: its container before its primary.
TEST_F(Scan, ALayoutGivesEveryColumnStoreAndRecord) {
  constexpr std::uint64_t base = 206848;
  SimulatedDisk& d = disk(0, table({{0, 0x80, 0x07, 2048, 1024},
                                    {1, 0x80, 0x0F, base, 409600},
                                    {3, 0x80, 0x0B, 616448, 2047}}));
  d.put(base * 512, table({{0, 0, 0x07, 63, 3072}, {1, 0, 0x05, 100100, 5000}}));
  d.put((base + 100100) * 512, table({{0, 0, 0x05, 200000, 5000}}));
  d.put((base + 200000) * 512, table({{0, 0x80, 0x0F, 300000, 4096}}));
  d.put((base + 300000) * 512, table({{0, 0x80, 0x0D, 63, 5120}}));
  disk(1, table({{0, 0, 0x0F, 2048, 100000}, {1, 0, 0x07, 200000, 2048}}))
      .put(2048 * 512, table({{0, 0, 0x07, 63, 2048}}));
  scan();
  EXPECT_EQ(column(kDiskColumn), (Strings{"1", "1", "1", "1", "1", "1", "2", "2", "2"}));
  EXPECT_EQ(column(kPartitionColumn), (Strings{"1", "", "2", "", "3", "4", "", "1", "2"}));
  EXPECT_EQ(column(kTypeIdColumn), (Strings{"07", "0F", "07", "0F", "0D", "0B", "0F", "07", "07"}));
  EXPECT_EQ(column(kFormatNameColumn), (Strings{"NTFS", "扩展 LBA", "NTFS", "扩展 LBA", "", "FAT32",
                                                "扩展 LBA", "NTFS", "NTFS"}));
  EXPECT_EQ(column(kKindColumn), (Strings{"主，活动", "扩展", "逻辑", "扩展，活动", "逻辑，活动",
                                          "主，活动", "扩展", "逻辑", "主"}));
  EXPECT_EQ(column(kCapacityColumn), (Strings{"0", "200", "2", "2", "2", "1", "49", "1", "1"}));
  EXPECT_EQ(list.TypeByteOffset,
            (std::vector<std::uint32_t>{450, 466, 450, 450, 450, 498, 450, 450, 466}));
  EXPECT_EQ(list.BootSectorOffsetText,
            (Strings{"000000100000", "000006500000", "000006507E00", "000015924000", "00000F783E00",
                     "000012D00000", "000000100000", "000000107E00", "0000061A8000"}));
  EXPECT_EQ(list.TableSectorOffset[3], (base + 200000) * 512);
  EXPECT_EQ(list.ScannedTypeId, column(kTypeIdColumn));
  // Link rows count as visits; logicals are numbered after their disk's primaries; only primaries
  // offer a flag.
  EXPECT_EQ(records(), "P0,0,1,1 P5,0,2,1 P8,1,1,0 L2,0,3 L3,0,4 L4,0,5 L7,1,2 ");
}

TEST_F(Scan, ADiskThatCannotBeOpenedOrReadUsesUpItsNumberAndIsNotedWithWhy) {
  for (unsigned n = 0; n < 10; ++n) disk(n, table({{0, 0, 0x07, 2048, 2048}}));
  machine.disks[1].faults = {{FaultOn::Open}};                         // not run as administrator
  machine.disks[2].faults = {{FaultOn::Open, kAnyOffset, -1, 0, 32}};  // held by another program
  machine.disks[3].faults = {{FaultOn::Read, 0}};
  machine.disks[4].faults = {{FaultOn::Read, 0, 100}};
  machine.disks[5].put(0, Sector{});                                      // blank: no failure
  machine.disks[6].faults = {{FaultOn::Read, 0, -1, 0, kErrorNotReady}};  // no card in the reader
  machine.disks[7].faults = {{FaultOn::Open, kAnyOffset, -1, 0, kErrorNoMediaInDrive}};
  machine.disks[8].faults = {{FaultOn::Open}};
  scan();
  scan();  // the second scan's notes replace the first's
  EXPECT_EQ(column(kDiskColumn), (Strings{"1", "10"}));
  EXPECT_EQ(unreadableDisksText(list.unreadableDisks),
            "磁盘 2、9 无法读取（拒绝访问，请以管理员身份运行）；磁盘 3 "
            "无法读取（无法打开，系统错误 32）；磁盘 4 无法读取（读取第一个扇区失败，"
            "系统错误 23）；磁盘 5 无法读取（第一个扇区读取不完整）");
  EXPECT_EQ(machine.logged("read 3 "), (Strings{"0x0 failed", "0x0 failed"}))
      << "nothing more of disk 3";
}

// Windows gives an arriving disk the first free number: after one is removed, disks 0 and 2 may be
// the registry's two. Numbers are tried past a gap until the count is reached, the list numbers the
// disks as Windows does, and a number without a disk is no failure; with fewer disks than counted,
// the search gives up 32 missing numbers on.
TEST_F(Scan, DisksAreFoundPastGapsInTheirNumbersAndKeepTheirNumbers) {
  disk(0, table({{0, 0, 0x07, 2048, 2048}}));
  disk(2, table({{0, 0, 0x0B, 2048, 2048}}));
  machine.setDiskCount(2);
  scan();
  EXPECT_EQ(column(kDiskColumn), (Strings{"1", "3"}));
  EXPECT_TRUE(list.unreadableDisks.empty());
  EXPECT_EQ(machine.logged("open "), (Strings{"0 read ok", "1 read failed", "2 read ok"}));
  machine.setDiskCount(3);
  machine.log.clear();
  scan();
  EXPECT_EQ(column(kDiskColumn), (Strings{"1", "3"}));
  EXPECT_TRUE(list.unreadableDisks.empty());
  EXPECT_EQ(machine.logged("open ").size(), 34u) << "numbers 0 to 33: 32 of them missing";
}

// Hidden FAT32 rows (1B, 1C, BC) take their boot sector's label, trimmed, whatever the volume says;
// no other boot sector is read. A rescan starts from scratch.
TEST_F(Scan, HiddenFat32RowsTakeTheLabelOfTheirBootSector) {
  SimulatedDisk& d = disk(0, table({{0, 0, 0xBC, 2048, 2048},
                                    {1, 0, 0x0B, 4096, 2048},
                                    {2, 0, 0x1B, 8192, 2048},
                                    {3, 0, 0x1C, 16384, 2048}}));
  for (const auto& [sector, boot] : {std::pair<std::uint64_t, Sector>{2048, fat32Boot("Boot BC")},
                                     {4096, fat32Boot("BOOT 0B")},
                                     {8192, fat32Boot("")},
                                     {16384, ntfsBoot()}}) {
    d.put(sector * 512, boot);
  }
  // NUL padding, lower case.
  d.put(8192 * 512 + 0x47, std::string("My Data\0\0\0\0", 11) + "fat32");
  mount('D', 0, 2048, "VOLUME BC", 3 << 20);
  mount('E', 0, 4096, "VOLUME 0B");
  scan();
  EXPECT_EQ(column(kLabelColumn), (Strings{"Boot BC", "VOLUME 0B", "My Data", ""}));
  EXPECT_EQ(list.ScannedLabel, column(kLabelColumn));
  EXPECT_EQ(list.rows[0][kFreeSpaceColumn], "3");
  EXPECT_TRUE(machine.logged("read 0 0x200000 ").empty());
  // A read that fails or comes back short: no label.
  d.faults = {{FaultOn::Read, 2048 * 512, 0x60, 1}, {FaultOn::Read, 8192 * 512, -1, 1}};
  for (std::size_t row : {0, 2}) EXPECT_EQ(readBootSectorLabel(platform, list, row), "") << row;
  EXPECT_EQ(readBootSectorLabel(platform, list, 0), "Boot BC");
  // The disk cannot be opened again: eleven blanks, and the status line says why.
  d.faults = {{FaultOn::Open}};
  EXPECT_EQ(readBootSectorLabel(platform, list, 0), std::string(11, ' '));
  EXPECT_EQ(machine.logged("status "), Strings{"打开磁盘失败"});
  d.faults.clear();
  d.put(0, table({{2, 0, 0x07, 65536, 2048}}));
  scan();
  EXPECT_EQ(records() + list.ScannedLabel[0] + std::to_string(list.TypeByteOffset[0]),
            "P0,0,1,0 482");
  EXPECT_EQ(machine.cursor, Cursor::Arrow);
}

TEST_F(Scan, AMountedPartitionGetsItsLetterLabelFreeSpaceAndDiskType) {
  disk(0, table({{0, 0, 0x07, 2048, 2048},
                 {1, 0, 0x07, 8192, 2048},
                 {2, 0, 0x07, 16384, 2048},
                 {3, 0, 0x07, 2048 + 8388608, 2048}}));
  disk(1, table({{0, 0, 0x07, 2048, 2048}}));
  disk(2, table({{0, 0, 0x07, 2048, 2048}, {1, 0, 0x07, 0, 2048}}));
  // Free space in MB, halves to even: 1.5 and 2.5 give 2.
  mount('C', 0, 2048, "DATA", 3 << 19);
  mount('E', 0, 8192, "MORE", 5 << 19);
  SimulatedVolume& mute = mount('F', 0, 16384, "NEVER SEEN", 1 << 30);
  mute.noInformation = true;
  mute.noFreeSpace = true;
  // Unlike D's offset only above 4 GiB.
  mount('K', 0, 2048 + 8388608, "HIGH").driveType = kDriveRamdisk;
  mount('G', 1, 2048);
  mount('H', 2, 2048);
  mount('B', 0, 8192, "FLOPPY");               // below C: never matched
  mount('Z', 2, 0, "BROKEN").noExtent = true;  // an extent the system cannot tell reads as offset 0
  // Removable, whatever its drive type.
  machine.enumValues["1"] = std::string("usbstor\\Disk&Ven_Kingston");
  machine.enumValues["2"] = std::string("USBSTORX\\Disk");
  scan();
  EXPECT_EQ(column(kDriveLetterColumn), (Strings{"C", "E", "F", "K", "G", "H", ""}))
      << "C: is a letter like any other";
  EXPECT_EQ(column(kLabelColumn), (Strings{"DATA", "MORE", "", "HIGH", "", "", ""}));
  EXPECT_EQ(column(kFreeSpaceColumn), (Strings{"2", "2", "0", "0", "0", "0", ""}));
  EXPECT_EQ(column(kDiskTypeColumn),
            (Strings{"硬盘", "硬盘", "硬盘", "内存虚拟盘", "可移动磁盘", "硬盘", ""}));
  // Two letters for one partition: the later one.
  mount('L', 0, 2048, "DATA").driveType = kDriveRemote;
  scan();
  EXPECT_EQ(list.rows[0][kDriveLetterColumn] + list.rows[0][kDiskTypeColumn], "L远程磁盘");
}

// Two disks, each: an active primary, a container of one logical, a primary. Only disk 0's first
// primary has a letter, D:; C: is free, yet temporary letters start at D.
TEST_F(Scan, TemporaryLettersGoToPrimariesThenLogicalsWhileLettersLastAndAreRemovedAtTheEnd) {
  for (unsigned n = 0; n < 2; ++n) {
    disk(n, table({{0, 0x80, 0x07, 2048, 20480},
                   {1, 0, 0x0F, 100000, 50000},
                   {2, 0, 0x0B, 200000, 20480}}))
        .put(100000 * 512, table({{0, 0, 0x07, 63, 20480}}));
  }
  mount('D', 0, 2048, "SYSTEM");
  mount('E', 9, 0).noExtent = true;  // a CD drive
  machine.partitionDevices[{0, 2}] =
      SimulatedVolume{0, 200000 * 512, 0, "RECOVERY", "FAT32", 2ull << 30};
  machine.partitionDevices[{1, 3}] =
      SimulatedVolume{1, 100063 * 512, 0, "ARCHIVE", "NTFS", 0, kDriveRemovable};
  TempLetterList letters{"Q:"};  // recorded before: it stays recorded
  scanWithTemporaryLetters(platform, catalogue, list, letters);
  EXPECT_EQ(
      machine.logged("define "),
      (Strings{"F: \\Device\\Harddisk0\\Partition2 ok", "G: \\Device\\Harddisk1\\Partition1 ok",
               "H: \\Device\\Harddisk1\\Partition2 ok", "I: \\Device\\Harddisk0\\Partition3 ok",
               "J: \\Device\\Harddisk1\\Partition3 ok"}));
  EXPECT_EQ(letters, (Strings{"Q:", "F:", "G:", "H:", "I:", "J:"}));
  // Only letters in use are asked for their volume: D and E before the temporary ones, then F to J
  // too.
  EXPECT_EQ(machine.logged("extent ").size(), 2u + 7u);
  EXPECT_EQ(column(kDriveLetterColumn), (Strings{"D", "", "", "F", "", "", "J", ""}));
  EXPECT_EQ(column(kLabelColumn), (Strings{"SYSTEM", "", "", "RECOVERY", "", "", "ARCHIVE", ""}));
  EXPECT_EQ(list.rows[3][kFreeSpaceColumn] + list.rows[6][kDiskTypeColumn], "2048可移动磁盘");
  letters.erase(letters.begin());
  removeTemporaryLetters(platform, letters);
  EXPECT_TRUE(letters.empty() && machine.defined.empty() && machine.letters.count('D'));
  for (char letter = 'E'; letter < 'Z'; ++letter) mount(letter, 9, 0).noExtent = true;
  machine.log.clear();
  EXPECT_EQ(assignTemporaryLetters(platform, list), Strings{"Z:"})
      << "when letters run out the rest get none; A to C are never offered";
  EXPECT_EQ(machine.logged("drives").size(), 2u)
      << "once none is free, the other rows do not ask again";
}
}  // namespace
}  // namespace quenbolt

#include "discovery/scan_disks.h"

#include <algorithm>

#include "discovery_fixture.h"
#include "model/gbk_text.h"

namespace quenbolt {
namespace {

std::vector<std::string> primaryTexts(const PartitionList& list) {
  std::vector<std::string> texts;
  for (const PrimaryRecord& r : list.PrimaryList) {
    texts.push_back(std::to_string(r.row) + "," + std::to_string(r.disk) + "," +
                    std::to_string(r.number) + "," + std::to_string(r.flag));
  }
  return texts;
}

std::vector<std::string> logicalTexts(const PartitionList& list) {
  std::vector<std::string> texts;
  for (const LogicalRecord& r : list.LogicalList) {
    texts.push_back(std::to_string(r.row) + "," + std::to_string(r.disk) + "," +
                    std::to_string(r.number));
  }
  return texts;
}

constexpr std::uint64_t bytes(std::uint32_t sectors) { return std::uint64_t{sectors} * 512; }

class ScanTest : public DiscoveryTest {
 protected:
  void scan() { scanDisks(platform, catalogue, list); }

  void expectStoresMatchRows() const {
    EXPECT_EQ(list.TableSectorOffset.size(), list.size());
    EXPECT_EQ(list.TypeByteOffset.size(), list.size());
    EXPECT_EQ(list.BootSectorOffsetText.size(), list.size());
    EXPECT_EQ(list.ScannedTypeId.size(), list.size());
    EXPECT_EQ(list.ScannedLabel.size(), list.size());
  }
};

// ---- The layout of one disk -----------------------------------------------------------------

TEST_F(ScanTest, ExampleLayoutGivesEveryColumnStoreAndRecord) {
  machine.setDiskCount(1);
  SimulatedDisk& disk = addDisk(0);
  // Slot 0 active NTFS, slot 1 a container with two logicals, slot 2 empty, slot 3 FAT32.
  disk.setSector(0, TableSector()
                        .entry(0, 0x80, 0x07, 2048, 204800)
                        .entry(1, 0x00, 0x0F, 206848, 409600)
                        .entry(3, 0x00, 0x0B, 616448, 102400)
                        .signature());
  const std::uint64_t base = bytes(206848);
  disk.setSector(base, TableSector()
                           .entry(0, 0x00, 0x07, 63, 100000)
                           .entry(1, 0x00, 0x05, 100100, 200000)
                           .signature());
  disk.setSector(base + bytes(100100), TableSector().entry(0, 0x00, 0x0D, 63, 4096).signature());

  scan();

  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(column(kDiskColumn), strings({"1", "1", "1", "1", "1"}));
  EXPECT_EQ(column(kPartitionColumn), strings({"1", "", "2", "3", "4"}));
  EXPECT_EQ(column(kTypeIdColumn), strings({"07", "0F", "07", "0D", "0B"}));
  // 0D is not in the catalogue: its name stays empty, the row is otherwise complete.
  EXPECT_EQ(column(kFormatNameColumn), strings({"NTFS", "扩展 LBA", "NTFS", "", "FAT32"}));
  EXPECT_EQ(column(kKindColumn), strings({"主，活动", "扩展", "逻辑", "逻辑", "主"}));
  EXPECT_EQ(column(kCapacityColumn), strings({"100", "200", "49", "2", "50"}));
  EXPECT_EQ(column(kDriveLetterColumn), strings({"", "", "", "", ""}));
  for (const PartitionRow& row : list.rows) EXPECT_EQ(row.imageIndex, -1);

  EXPECT_EQ(list.TableSectorOffset,
            (std::vector<std::uint64_t>{0, 0, base, base + bytes(100100), 0}));
  EXPECT_EQ(list.TypeByteOffset, (std::vector<std::uint32_t>{450, 466, 450, 450, 498}));
  EXPECT_EQ(list.BootSectorOffsetText,
            (std::vector<std::string>{offsetText(bytes(2048)), offsetText(base),
                                      offsetText(base + bytes(63)),
                                      offsetText(base + bytes(100100) + bytes(63)),
                                      offsetText(bytes(616448))}));
  EXPECT_EQ(list.BootSectorOffsetText[0], "000000100000");
  EXPECT_EQ(list.ScannedTypeId, column(kTypeIdColumn));
  EXPECT_EQ(list.ScannedLabel, column(kLabelColumn));

  EXPECT_EQ(primaryTexts(list), strings({"0,0,1,1", "4,0,2,0"}));
  EXPECT_EQ(logicalTexts(list), strings({"2,0,3", "3,0,4"}));
  expectStoresMatchRows();
}

TEST_F(ScanTest, KindsFollowEachBootIndicatorButContainersInTheMbrShowNone) {
  machine.setDiskCount(1);
  SimulatedDisk& disk = addDisk(0);
  disk.setSector(0, TableSector()
                        .entry(0, 0x80, 0x07, 2048, 2048)
                        .entry(1, 0x80, 0x05, 8192, 40960)  // an "active" container
                        .entry(2, 0x80, 0x0C, 4096, 2048)   // a second active primary
                        .signature());
  disk.setSector(bytes(8192), TableSector().entry(0, 0x80, 0x07, 63, 2048).signature());

  scan();

  EXPECT_EQ(column(kKindColumn), strings({"主，活动", "扩展", "逻辑，活动", "主，活动"}));
  // The active logical offers no active flag to change: it has no PrimaryRecord.
  EXPECT_EQ(primaryTexts(list), strings({"0,0,1,1", "3,0,2,1"}));
  EXPECT_EQ(logicalTexts(list), strings({"2,0,3"}));
}

TEST_F(ScanTest, EbrsWhoseEntryZeroIsALinkAreRowsAndCountAsVisits) {
  machine.setDiskCount(1);
  SimulatedDisk& disk = addDisk(0);
  disk.setSector(0, TableSector()
                        .entry(0, 0x00, 0x07, 2048, 2048)
                        .entry(1, 0x00, 0x0F, 10000, 100000)
                        .signature());
  const std::uint64_t base = bytes(10000);
  // The first EBR's slot-0 link is followed at once; the EBR it leads to is itself a link in
  // slot 0 (shown, active), whose link leads to an ordinary logical partition.
  disk.setSector(base, TableSector().entry(0, 0x00, 0x05, 100, 5000).signature());
  disk.setSector(base + bytes(100), TableSector().entry(0, 0x80, 0x0F, 200, 4096).signature());
  disk.setSector(base + bytes(200), TableSector().entry(0, 0x00, 0x06, 63, 2048).signature());

  scan();

  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(column(kKindColumn), strings({"主", "扩展", "扩展，活动", "逻辑"}));
  EXPECT_EQ(column(kPartitionColumn), strings({"1", "", "", "2"}));
  EXPECT_EQ(column(kCapacityColumn), strings({"1", "49", "2", "1"}));
  EXPECT_EQ(list.TableSectorOffset[2], base + bytes(100));
  EXPECT_EQ(list.BootSectorOffsetText[2], offsetText(base + bytes(100) + bytes(200)));
  EXPECT_EQ(list.TableSectorOffset[3], base + bytes(200));
  EXPECT_EQ(logicalTexts(list), strings({"2,0,2", "3,0,3"}));
}

TEST_F(ScanTest, CapacitiesAreWholeMegabytesWithHalvesToEven) {
  machine.setDiskCount(1);
  addDisk(0).setSector(0, TableSector()
                              .entry(0, 0x00, 0x07, 2048, 1024)
                              .entry(1, 0x00, 0x07, 4096, 3072)
                              .entry(2, 0x00, 0x07, 8192, 5120)
                              .entry(3, 0x00, 0x07, 16384, 2047)
                              .signature());
  scan();
  EXPECT_EQ(column(kCapacityColumn), strings({"0", "2", "2", "1"}));
}

TEST_F(ScanTest, OffsetsBeyondFourGibiByteCarryIntoTheHighDigits) {
  machine.setDiskCount(1);
  SimulatedDisk& disk = addDisk(0);
  // A container whose first EBR lies at 0xFFFFFE00, just below 4 GiB.
  disk.setSector(0, TableSector()
                        .entry(0, 0x00, 0x07, 8388608, 2048)
                        .entry(1, 0x00, 0x05, 8388607, 4096)
                        .signature());
  disk.setSector(0xFFFFFE00, TableSector().entry(0, 0x00, 0x07, 63, 1024).signature());

  scan();

  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list.BootSectorOffsetText[0], "000100000000");
  EXPECT_EQ(list.BootSectorOffsetText[1], "0000FFFFFE00");
  EXPECT_EQ(list.BootSectorOffsetText[2], "000100007C00");
  EXPECT_EQ(list.TableSectorOffset[2], 0xFFFFFE00u);
  std::vector<std::uint64_t> reads;
  for (const DiskAccessRecord& r : machine.diskLog(DiskOp::Read)) reads.push_back(r.offset);
  EXPECT_EQ(reads, (std::vector<std::uint64_t>{0, 0xFFFFFE00}));
}

TEST_F(ScanTest, LogicalNumbersCountOnlyThePrimariesOfTheirOwnDisk) {
  machine.setDiskCount(3);
  addDisk(0).setSector(0, TableSector()
                              .entry(0, 0x00, 0x07, 2048, 2048)
                              .entry(1, 0x00, 0x07, 4096, 2048)
                              .signature());
  SimulatedDisk& second = addDisk(1);
  second.setSector(0, TableSector().entry(0, 0x00, 0x0F, 2048, 100000).signature());
  second.setSector(bytes(2048), TableSector()
                                    .entry(0, 0x00, 0x07, 63, 2048)
                                    .entry(1, 0x00, 0x05, 4096, 4096)
                                    .signature());
  second.setSector(bytes(2048 + 4096), TableSector().entry(0, 0x00, 0x07, 63, 2048).signature());
  // The container comes before the primary, yet its logical is numbered after it.
  SimulatedDisk& third = addDisk(2);
  third.setSector(0, TableSector()
                         .entry(0, 0x00, 0x0F, 2048, 100000)
                         .entry(1, 0x00, 0x07, 200000, 2048)
                         .signature());
  third.setSector(bytes(2048), TableSector().entry(0, 0x00, 0x07, 63, 2048).signature());

  scan();

  EXPECT_EQ(column(kDiskColumn), strings({"1", "1", "2", "2", "2", "3", "3", "3"}));
  EXPECT_EQ(column(kPartitionColumn), strings({"1", "2", "", "1", "2", "", "1", "2"}));
  EXPECT_EQ(primaryTexts(list), strings({"0,0,1,0", "1,0,2,0", "7,2,1,0"}));
  EXPECT_EQ(logicalTexts(list), strings({"3,1,1", "4,1,2", "6,2,2"}));
}

// ---- Which disks are tried ------------------------------------------------------------------

TEST_F(ScanTest, ADiskThatCannotBeOpenedUsesUpItsNumber) {
  machine.setDiskCount(3);
  for (unsigned n = 0; n < 3; ++n) {
    addDisk(n).setSector(0, TableSector().entry(0, 0x00, 0x07, 2048, 2048).signature());
  }
  machine.disk(1).failOpen();

  scan();

  EXPECT_EQ(column(kDiskColumn), strings({"1", "3"}));
  EXPECT_EQ(primaryTexts(list), strings({"0,0,1,0", "1,2,1,0"}));
  EXPECT_EQ(machine.openHandles(), 0u);
}

TEST_F(ScanTest, AnUnreadableMbrSkipsTheDiskAfterClosingIt) {
  machine.setDiskCount(2);
  SimulatedDisk& first = addDisk(0);
  first.setSector(0, TableSector().entry(0, 0x00, 0x05, 2048, 4096).signature());
  first.setSector(bytes(2048), TableSector().entry(0, 0x00, 0x07, 63, 2048).signature());
  first.failRead(0);
  addDisk(1).setSector(0, TableSector().entry(0, 0x00, 0x07, 2048, 2048).signature());

  scan();

  EXPECT_EQ(column(kDiskColumn), strings({"2"}));
  const std::vector<std::string>& journal = machine.journal();
  const auto opened = std::find(journal.begin(), journal.end(), "open 0 read ok");
  ASSERT_NE(opened, journal.end());
  ASSERT_GE(journal.end() - opened, 3);
  // Nothing further is read from a disk whose MBR failed, and it is closed before the next.
  EXPECT_EQ(opened[1], "read 0 0x0 failed");
  EXPECT_EQ(opened[2], "close 0");
  EXPECT_EQ(machine.openHandles(), 0u);
}

TEST_F(ScanTest, OnlyADwordCountDecidesHowManyDisksAreTried) {
  for (unsigned n = 0; n < 3; ++n) {
    addDisk(n).setSector(0, TableSector().entry(0, 0x00, 0x07, 2048, 2048).signature());
  }
  const char* key = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";
  auto disksOpened = [&] {
    machine.clearLogs();
    scan();
    std::vector<unsigned> opened;
    for (const DiskAccessRecord& r : machine.diskLog(DiskOp::Open)) opened.push_back(r.disk);
    return opened;
  };

  EXPECT_EQ(disksOpened(), (std::vector<unsigned>{})) << "no Count value";
  machine.setString(key, "Count", "2");
  EXPECT_EQ(disksOpened(), (std::vector<unsigned>{})) << "Count as text";
  EXPECT_TRUE(list.rows.empty());
  machine.setBinary(key, "Count", {2, 0, 0, 0});
  EXPECT_EQ(disksOpened(), (std::vector<unsigned>{})) << "Count as binary";
  machine.setDiskCount(0xFFFFFFFFu);
  EXPECT_EQ(disksOpened(), (std::vector<unsigned>{})) << "a negative Count";
  machine.setDiskCount(2);
  EXPECT_EQ(disksOpened(), (std::vector<unsigned>{0, 1})) << "Count 2 with three disks";
  EXPECT_EQ(column(kDiskColumn), strings({"1", "2"}));
}

// ---- The scan as a whole --------------------------------------------------------------------

TEST_F(ScanTest, EachScanRebuildsEverythingFromScratch) {
  machine.setDiskCount(1);
  SimulatedDisk& disk = addDisk(0);
  disk.setSector(0, TableSector()
                        .entry(0, 0x00, 0x07, 2048, 2048)
                        .entry(1, 0x00, 0x05, 8192, 8192)
                        .signature());
  disk.setSector(bytes(8192), TableSector().entry(0, 0x00, 0x07, 63, 2048).signature());
  SimulatedVolume volume;
  volume.startOffset = bytes(2048);
  volume.label = "SYSTEM";
  machine.mountVolume('C', volume);
  scan();
  ASSERT_EQ(list.size(), 3u);
  list.rows[0][kLabelColumn] = "EDITED";

  disk.setSector(0, TableSector().entry(2, 0x00, 0x0B, 4096, 2048).signature());
  scan();

  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list.rows[0][kTypeIdColumn], "0B");
  EXPECT_EQ(list.rows[0][kLabelColumn], "");
  EXPECT_EQ(list.rows[0][kDriveLetterColumn], "");
  EXPECT_EQ(list.rows[0].imageIndex, -1);
  EXPECT_EQ(list.TypeByteOffset, (std::vector<std::uint32_t>{482}));
  EXPECT_EQ(primaryTexts(list), strings({"0,0,1,0"}));
  EXPECT_TRUE(list.LogicalList.empty());
  expectStoresMatchRows();
}

TEST_F(ScanTest, TheWaitCursorSpansTheWholeScan) {
  machine.setDiskCount(1);
  addDisk(0).setSector(0, TableSector().entry(0, 0x00, 0x1C, 2048, 2048).signature());
  scan();
  const std::vector<std::string>& journal = machine.journal();
  ASSERT_GE(journal.size(), 2u);
  EXPECT_EQ(journal.front(), "cursor wait");
  EXPECT_EQ(journal.back(), "cursor arrow");
  EXPECT_EQ(std::count(journal.begin(), journal.end(), "cursor wait"), 1);
  EXPECT_TRUE(machine.statusTexts().empty());
}

TEST_F(ScanTest, LongChainsKeepEveryRow) {
  const unsigned logicals = 300;
  machine.setDiskCount(1);
  SimulatedDisk& disk = addDisk(0);
  disk.setSector(0, TableSector().entry(0, 0x00, 0x0F, 2048, 4000000).signature());
  for (unsigned i = 0; i < logicals; ++i) {
    const std::uint32_t relative = i * 4096;
    TableSector ebr;
    ebr.entry(0, 0x00, 0x07, 63, 2048);
    if (i + 1 < logicals) ebr.entry(1, 0x00, 0x05, relative + 4096, 4096);
    disk.setSector(bytes(2048) + bytes(relative), ebr.signature());
  }

  scan();

  ASSERT_EQ(list.size(), logicals + 1);
  expectStoresMatchRows();
  ASSERT_EQ(list.LogicalList.size(), logicals);
  EXPECT_EQ(list.LogicalList.back().row, logicals);
  EXPECT_EQ(list.LogicalList.back().number, logicals);
  EXPECT_EQ(list.rows.back()[kPartitionColumn], std::to_string(logicals));
  EXPECT_EQ(list.TableSectorOffset.back(), bytes(2048) + bytes((logicals - 1) * 4096));
}

// ---- Labels of hidden FAT32 partitions ------------------------------------------------------

TEST_F(ScanTest, HiddenFat32RowsTakeTheirBootSectorLabelWhateverTheVolumeSays) {
  machine.setDiskCount(1);
  SimulatedDisk& disk = addDisk(0);
  disk.setSector(0, TableSector()
                        .entry(0, 0x00, 0xBC, 2048, 2048)
                        .entry(1, 0x00, 0x0B, 4096, 2048)
                        .entry(2, 0x00, 0x1B, 8192, 2048)
                        .entry(3, 0x00, 0x1C, 16384, 2048)
                        .signature());
  disk.setSector(bytes(2048), fat32BootSector("Boot BC"));
  disk.setSector(bytes(4096), fat32BootSector("BOOT 0B"));
  disk.setSector(bytes(8192), fat32BootSector("HIDDEN"));
  disk.setSector(bytes(16384), fat16BootSector("FAT16"));
  SimulatedVolume bc;
  bc.startOffset = bytes(2048);
  bc.label = "VOLUME BC";
  bc.freeBytes = 3 * kMiB;
  machine.mountVolume('D', bc);
  SimulatedVolume plain;
  plain.startOffset = bytes(4096);
  plain.label = "VOLUME 0B";
  machine.mountVolume('E', plain);

  scan();

  EXPECT_EQ(column(kLabelColumn), strings({"Boot BC", "VOLUME 0B", "HIDDEN", ""}));
  EXPECT_EQ(list.ScannedLabel, column(kLabelColumn));
  // The volume facts of the BC row stay; only its label comes from the boot sector.
  EXPECT_EQ(list.rows[0][kDriveLetterColumn], "D");
  EXPECT_EQ(list.rows[0][kFreeSpaceColumn], "3");
  // The boot sector of the plain FAT32 row is never read.
  for (const DiskAccessRecord& r : machine.diskLog(DiskOp::Read)) {
    EXPECT_NE(r.offset, bytes(4096));
  }
  EXPECT_EQ(machine.openHandles(), 0u);
}

TEST_F(ScanTest, AHiddenRowWhoseDiskCannotBeOpenedAgainShowsElevenBlanks) {
  machine.setDiskCount(1);
  SimulatedDisk& disk = addDisk(0);
  disk.setSector(0, TableSector().entry(0, 0x00, 0x1C, 2048, 2048).signature());
  disk.setSector(bytes(2048), fat32BootSector("HIDDEN"));
  disk.failOpen(OpenFault::AnyAccess, 2);  // the scan's own open succeeds, the reader's fails

  scan();

  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list.rows[0][kLabelColumn], std::string(11, ' '));
  EXPECT_EQ(list.ScannedLabel[0], std::string(11, ' '));
  EXPECT_EQ(machine.statusTexts(), strings({"打开磁盘失败"}));
}

}  // namespace
}  // namespace quenbolt

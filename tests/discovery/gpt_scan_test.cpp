// GPT disks as the scan lists them, on tables sfdisk wrote: every row against `sfdisk -J` of the
// same image, damaged copies, a hybrid MBR, and the join with volumes and temporary letters.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "discovery/startup_scan.h"
#include "discovery_fixture.h"
#include "support/sfdisk_image.h"

namespace quenbolt {
namespace {

constexpr std::uint64_t kDiskBytes = 1ull << 30;
constexpr std::uint64_t kBackupHeader = kDiskBytes - 512;

// Codes and names as the issue that asked for GPT disks lists them.
struct Expected {
  const char* code;
  const char* name;
  const char* kind;
};

class GptScan : public DiscoveryTest {
 protected:
  // Disk 0 partitioned by sfdisk from `script` (label, then one line per partition).
  void makeDisk(const std::string& script) {
    image = SfdiskImage::make(script, kDiskBytes);
    if (!image) GTEST_SKIP() << "sfdisk is not available";
    machine.setDiskCount(1);
    disk = &image->addTo(machine, 0);
  }

  std::unique_ptr<SfdiskImage> image;
  SimulatedDisk* disk = nullptr;
};

std::string offsetHex(std::uint64_t sectors) {
  char text[24];
  const unsigned long long offset = sectors * 512;
  std::snprintf(text, sizeof text, "%04llX%08llX", offset >> 32, offset & 0xFFFFFFFFull);
  return text;
}

TEST_F(GptScan, RowsAgreeWithSfdiskOnTheSameImage) {
  const struct {
    const char* what;
    std::string script;
    std::vector<Expected> rows;
  } layouts[] = {
      {"Windows, 128 entries", kWindowsGptScript,
       {{"EF00", "EFI 系统分区", "GPT"}, {"0C01", "Microsoft 保留分区", "GPT"},
        {"0700", "基本数据", "GPT"}, {"2700", "Windows 恢复环境", "GPT"}}},
      {"Linux, and a type no code names",
       "label: gpt\n"
       "size=1MiB, type=21686148-6449-6E6F-744E-656564454649\n"
       "size=64MiB, type=0657FD6D-A4AB-43C4-84E5-0933C84B4F4F\n"
       "size=256MiB, type=0FC63DAF-8483-4772-8E79-3D69D8477DE4\n"
       "size=128MiB, type=E6D6D379-F507-44C2-A23C-238F2A3DF928\n"
       "size=64MiB, type=A19D880F-05FC-4D3B-A006-743F0F84911E\n"
       "size=32MiB, type=516E7CB6-6ECF-11D6-8FF8-00022D09712B\n",
       {{"EF02", "BIOS 启动分区", "GPT"}, {"8200", "Linux 交换分区", "GPT"},
        {"8300", "Linux 文件系统", "GPT"}, {"8E00", "Linux LVM", "GPT"},
        {"FD00", "Linux RAID", "GPT"}, {"516E7CB6-6ECF-11D6-8FF8-00022D09712B", "", "GPT"}}},
      {"gaps between used entries, hidden entries",
       "label: gpt\n"
       "2 : size=16MiB, type=5808C8AA-7E8F-42E0-85D2-E1E90434CFB3, attrs=\"GUID:62\"\n"
       "5 : size=64MiB, type=AF9B60A0-1431-4F62-BC68-3311714A69AD\n"
       "6 : size=64MiB, type=E75CAF8F-F680-4CEE-AFA3-B001E56EFC2D\n"
       "9 : size=32MiB, type=48465300-0000-11AA-AA11-00306543ECAC, attrs=\"GUID:62,GUID:63\"\n"
       "128 : size=32MiB, type=7C3457EF-0000-11AA-AA11-00306543ECAC\n",
       {{"4200", "LDM 元数据", "GPT，隐藏"}, {"4201", "LDM 数据", "GPT"},
        {"4202", "存储空间", "GPT"}, {"AF00", "Apple HFS+", "GPT，隐藏"},
        {"AF0A", "Apple APFS", "GPT"}}},
  };
  for (const auto& layout : layouts) {
    SCOPED_TRACE(layout.what);
    makeDisk(layout.script);
    if (!image) return;
    scan();
    const std::vector<SfdiskPartition> sfdisk = image->partitions();
    ASSERT_EQ(sfdisk.size(), layout.rows.size());
    ASSERT_EQ(list.size(), sfdisk.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
      const PartitionRow& row = list.rows[i];
      SCOPED_TRACE(i);
      EXPECT_EQ(row[kDiskColumn], "1");
      EXPECT_EQ(row[kPartitionColumn], std::to_string(i + 1)) << "numbered among used entries";
      EXPECT_EQ(row[kTypeIdColumn], layout.rows[i].code);
      EXPECT_EQ(row[kFormatNameColumn], layout.rows[i].name);
      EXPECT_EQ(row[kKindColumn], layout.rows[i].kind);
      EXPECT_EQ(row[kKindColumn] != "GPT", sfdisk[i].hidden);
      ASSERT_EQ(sfdisk[i].size % 2048, 0u);
      EXPECT_EQ(row[kCapacityColumn], std::to_string(sfdisk[i].size / 2048));
      EXPECT_EQ(list.BootSectorOffsetText[i], offsetHex(sfdisk[i].start));
      EXPECT_EQ(list.ScannedTypeId[i], row[kTypeIdColumn]);
      EXPECT_EQ(list.GptList.at(i).number, i + 1);
      EXPECT_EQ(list.GptList.at(i).row, i);
    }
    EXPECT_TRUE(list.PrimaryList.empty()) << "no active flag to offer";
    EXPECT_TRUE(list.LogicalList.empty());
  }
}

TEST_F(GptScan, ADamagedCopyGivesWayToTheOtherAndWithBothGoneTheDiskIsListedFromItsMbr) {
  const std::vector<std::string> gptTypes{"EF00", "0C01", "0700", "2700"};
  const std::uint64_t primaryArrayEnd = 33 * 512 + 511;
  const struct {
    const char* what;
    std::vector<std::uint64_t> brokenBytes;  // each flipped
    bool lengthKnown;
    std::size_t reads;  // sectors the scan reads
    std::vector<std::string> types;
    bool shortProtective = false;  // the EE entry ends half way: only the length finds the backup
  } cases[] = {
      {"intact: the header and its 32 array sectors", {}, true, 1 + 1 + 32, gptTypes},
      {"primary header", {512 + 0x40}, true, 1 + 1 + 1 + 32, gptTypes},
      {"primary header, length unknown", {512 + 0x40}, false, 1 + 1 + 1 + 32, gptTypes},
      {"primary header, EE entry short", {512 + 0x40}, true, 1 + 1 + 1 + 32, gptTypes, true},
      {"primary array", {primaryArrayEnd}, true, 1 + 33 + 33, gptTypes},
      {"both headers", {512 + 0x40, kBackupHeader + 0x40}, true, 1 + 1 + 1, {"EE"}},
      {"both arrays", {primaryArrayEnd, kBackupHeader - 512}, true, 1 + 33 + 33, {"EE"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    makeDisk(kWindowsGptScript);
    if (!image) return;
    for (std::uint64_t at : c.brokenBytes) {
      disk->setBytes(at, {static_cast<std::uint8_t>(~disk->byte(at))});
    }
    if (c.shortProtective) disk->setBytes(0x1CA, {0x00, 0x00, 0x10, 0x00});
    disk->setLengthKnown(c.lengthKnown);
    machine.clearLogs();
    scan();
    EXPECT_EQ(column(kTypeIdColumn), c.types);
    EXPECT_EQ(machine.diskLog(DiskOp::Read).size(), c.reads);
  }
  // Without a GPT the protective entry is an MBR primary like any other.
  EXPECT_EQ(column(kPartitionColumn), strings({"1"}));
  EXPECT_EQ(column(kFormatNameColumn), strings({"GPT"}));
  EXPECT_EQ(column(kKindColumn), strings({"主"}));
  EXPECT_EQ(column(kCapacityColumn), strings({"1024"}));
  EXPECT_EQ(list.PrimaryList.size(), 1u);
  EXPECT_TRUE(list.GptList.empty());
}

TEST_F(GptScan, AHybridMbrsOtherEntriesGiveWayToTheGpt) {
  makeDisk(kWindowsGptScript);
  if (!image) return;
  // The basic data partition mapped into MBR slot 1 as well, the way hybrid tools do it.
  disk->setBytes(0x1CE, {0x80, 0, 0, 0, 0x07, 0, 0, 0, 0x00, 0xA8, 0x03, 0x00, 0x00, 0x00, 0x19, 0x00});
  scan();
  EXPECT_EQ(column(kTypeIdColumn), strings({"EF00", "0C01", "0700", "2700"}));
  EXPECT_TRUE(list.PrimaryList.empty());
}

TEST_F(GptScan, GptRowsMeetTheirVolumesLettersAndBootSectorLabels) {
  makeDisk(
      "label: gpt\n"
      "2 : size=32MiB, type=EBD0A0A2-B9E5-4433-87C0-68B4B72699C7\n"
      "4 : size=64MiB, type=EBD0A0A2-B9E5-4433-87C0-68B4B72699C7, attrs=\"GUID:62\"\n"
      "7 : size=64MiB, type=EBD0A0A2-B9E5-4433-87C0-68B4B72699C7, attrs=\"GUID:62\"\n");
  if (!image) return;
  const std::vector<SfdiskPartition> parts = image->partitions();
  ASSERT_EQ(parts.size(), 3u);
  // Entry 2 is mounted as D:; entries 4 and 7 are hidden, reached through \Partition2 and
  // \Partition3. Entry 4 holds FAT32, whose boot sector has the label the user set; entry 7 NTFS.
  machine.mountVolume('D', volumeAt(0, bytes(parts[0].start), "SHOWN", 8 * kMiB));
  disk->setSector(bytes(parts[1].start), fat32BootSector("BOOTLABEL"));
  disk->setSector(bytes(parts[2].start), ntfsBootSector());
  machine.addPartitionDevice(0, 2, volumeAt(0, bytes(parts[1].start), "VOLLABEL", 4 * kMiB));
  machine.addPartitionDevice(0, 3, volumeAt(0, bytes(parts[2].start), "NTFSLABEL", 2 * kMiB));
  TempLetterList letters;
  scanWithTemporaryLetters(platform, catalogue, list, letters);

  EXPECT_EQ(letters, strings({"E:", "F:"}));
  EXPECT_EQ(machine.definedTarget("E:"), "\\Device\\Harddisk0\\Partition2");
  EXPECT_EQ(machine.definedTarget("F:"), "\\Device\\Harddisk0\\Partition3");
  EXPECT_EQ(column(kDriveLetterColumn), strings({"D", "E", "F"}));
  EXPECT_EQ(column(kLabelColumn), strings({"SHOWN", "BOOTLABEL", "NTFSLABEL"}));
  EXPECT_EQ(column(kFreeSpaceColumn), strings({"8", "4", "2"}));
  EXPECT_EQ(column(kDiskTypeColumn), strings({"硬盘", "硬盘", "硬盘"}));
}

}  // namespace
}  // namespace quenbolt

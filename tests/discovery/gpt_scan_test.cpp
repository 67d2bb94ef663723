// GPT disks as the scan lists them, on tables sfdisk wrote: every row against `sfdisk -J` of the
// same image, both copies damaged, a hybrid MBR, and the join with volumes and temporary letters.

#include "scan_fixture.h"
#include "support/sfdisk_image.h"

namespace quenbolt {
namespace {

class GptScan : public ScanTest {
 protected:
  bool make(const std::string& script) { return (parts = sfdiskDisk(script, 1ull << 30, machine, 0)).has_value(); }
  std::optional<std::vector<SfdiskPartition>> parts;
};

TEST_F(GptScan, RowsAgreeWithSfdiskOnTheSameImage) {
  const struct { std::string script; Strings codes, names; } layouts[] = {
      {kWindowsGptScript, {"EF00", "0C01", "0700", "2700"}, {"EFI 系统分区", "Microsoft 保留分区", "基本数据", "Windows 恢复环境"}},
      {"label: gpt\nsize=1MiB, type=21686148-6449-6E6F-744E-656564454649\nsize=64MiB, type=0657FD6D-A4AB-43C4-84E5-0933C84B4F4F\n"
       "size=256MiB, type=0FC63DAF-8483-4772-8E79-3D69D8477DE4\nsize=128MiB, type=E6D6D379-F507-44C2-A23C-238F2A3DF928\n"
       "size=64MiB, type=A19D880F-05FC-4D3B-A006-743F0F84911E\nsize=32MiB, type=516E7CB6-6ECF-11D6-8FF8-00022D09712B\n",
       {"EF02", "8200", "8300", "8E00", "FD00", "516E7CB6-6ECF-11D6-8FF8-00022D09712B"},
       {"BIOS 启动分区", "Linux 交换分区", "Linux 文件系统", "Linux LVM", "Linux RAID", ""}},
      // Gaps between used entries; attribute 62 (hidden) alone, 63 alone, and both.
      {"label: gpt\n2 : size=16MiB, type=5808C8AA-7E8F-42E0-85D2-E1E90434CFB3, attrs=\"GUID:62\"\n"
       "5 : size=64MiB, type=AF9B60A0-1431-4F62-BC68-3311714A69AD, attrs=\"GUID:63\"\n"
       "6 : size=64MiB, type=E75CAF8F-F680-4CEE-AFA3-B001E56EFC2D\n"
       "9 : size=32MiB, type=48465300-0000-11AA-AA11-00306543ECAC, attrs=\"GUID:62,GUID:63\"\n"
       "128 : size=32MiB, type=7C3457EF-0000-11AA-AA11-00306543ECAC\n",
       {"4200", "4201", "4202", "AF00", "AF0A"}, {"LDM 元数据", "LDM 数据", "存储空间", "Apple HFS+", "Apple APFS"}}};
  for (const auto& layout : layouts) {
    if (!make(layout.script)) GTEST_SKIP() << "sfdisk is not available";
    scan();
    ASSERT_EQ(list.size(), parts->size());
    EXPECT_EQ(column(kTypeIdColumn), layout.codes);
    EXPECT_EQ(column(kFormatNameColumn), layout.names);
    for (std::size_t i = 0; i < list.size(); ++i) {
      const SfdiskPartition& p = (*parts)[i];
      EXPECT_EQ(list.rows[i][kDiskColumn] + "|" + list.rows[i][kPartitionColumn] + "|" + list.rows[i][kKindColumn] + "|" +
                    list.rows[i][kCapacityColumn] + "|" + list.BootSectorOffsetText[i],
                "1|" + std::to_string(i + 1) + (p.hidden ? "|GPT，隐藏|" : "|GPT|") + std::to_string(p.size / 2048) + "|" +
                    hexText(0x1000000000000 | p.start * 512).substr(3));
    }
    EXPECT_TRUE(list.PrimaryList.empty() && list.LogicalList.empty()) << "no active flag to offer";
  }
}

TEST_F(GptScan, WithBothCopiesDamagedTheMbrIsListedAndAHybridMbrGivesWayToTheGpt) {
  for (std::uint64_t second : {(1ull << 30) - 512 + 0x40, (1ull << 30) - 1024}) {  // the backup header; its array
    if (!make(kWindowsGptScript)) GTEST_SKIP() << "sfdisk is not available";
    const std::uint64_t first = second == (1ull << 30) - 1024 ? 33 * 512 + 511 : 512 + 0x40;  // the primary's likewise
    for (std::uint64_t at : {first, second}) machine.disks[0].put(at, "\xA5");
    scan();
    EXPECT_EQ(column(kTypeIdColumn), Strings{"EE"});
    EXPECT_EQ(column(kKindColumn), Strings{"主"}) << "an MBR primary like any other";
    EXPECT_EQ(column(kCapacityColumn), Strings{"1024"});
  }
  ASSERT_TRUE(make(kWindowsGptScript));
  machine.disks[0].put(0x1CE, std::string("\x80\0\0\0\x07\0\0\0", 8) + le(239616, 4) + le(1638400, 4));
  scan();
  EXPECT_EQ(column(kTypeIdColumn), (Strings{"EF00", "0C01", "0700", "2700"}));
}

// Entry 2 is mounted as D:; entries 4 and 7 are hidden, reached through \Partition2 and
// \Partition3: entry 4 holds FAT32, whose boot sector keeps the label the user set, entry 7 NTFS.
TEST_F(GptScan, GptRowsMeetTheirVolumesTemporaryLettersAndBootSectorLabels) {
  if (!make("label: gpt\n2 : size=32MiB, type=EBD0A0A2-B9E5-4433-87C0-68B4B72699C7\n"
            "4 : size=64MiB, type=EBD0A0A2-B9E5-4433-87C0-68B4B72699C7, attrs=\"GUID:62\"\n"
            "7 : size=64MiB, type=EBD0A0A2-B9E5-4433-87C0-68B4B72699C7, attrs=\"GUID:62\"\n")) {
    GTEST_SKIP() << "sfdisk is not available";
  }
  mount('D', 0, (*parts)[0].start, "SHOWN", 8 << 20);
  machine.disks[0].put((*parts)[1].start * 512, fat32Boot("BOOTLABEL"));
  machine.disks[0].put((*parts)[2].start * 512, ntfsBoot());
  machine.partitionDevices[{0, 2}] = SimulatedVolume{0, (*parts)[1].start * 512, 0, "VOLLABEL", "FAT32", 4 << 20};
  machine.partitionDevices[{0, 3}] = SimulatedVolume{0, (*parts)[2].start * 512, 0, "NTFSLABEL", "NTFS", 2 << 20};
  TempLetterList letters;
  scanWithTemporaryLetters(platform, catalogue, list, letters);
  EXPECT_EQ(machine.logged("define "), (Strings{"E: \\Device\\Harddisk0\\Partition2 ok", "F: \\Device\\Harddisk0\\Partition3 ok"}));
  EXPECT_EQ(column(kDriveLetterColumn), (Strings{"D", "E", "F"}));
  EXPECT_EQ(column(kLabelColumn), (Strings{"SHOWN", "BOOTLABEL", "NTFSLABEL"}));
  EXPECT_EQ(column(kFreeSpaceColumn), (Strings{"8", "4", "2"}));
}

}  // namespace
}  // namespace quenbolt

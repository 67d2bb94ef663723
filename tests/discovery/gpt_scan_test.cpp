// GPT disks as the scan lists them, on tables sfdisk wrote: every row against `sfdisk -J` of the
// same image, damaged copies, a hybrid MBR, and the join with volumes and temporary letters.

#include "scan_fixture.h"
#include "support/sfdisk_image.h"

namespace quenbolt {
namespace {

class GptScan : public ScanTest {
 protected:
  bool make(const std::string& script) {
    parts = sfdiskDisk(script, 1ull << 30, machine, 0);
    return parts.has_value();
  }
  std::optional<std::vector<SfdiskPartition>> parts;
};

TEST_F(GptScan, RowsAgreeWithSfdiskOnTheSameImage) {
  const struct {
    std::string script;
    Strings codes, names;
  } layouts[] = {
      {kWindowsGptScript, {"EF00", "0C01", "0700", "2700"}, {"EFI 系统分区", "Microsoft 保留分区", "基本数据", "Windows 恢复环境"}},
      {"label: gpt\nsize=1MiB, type=21686148-6449-6E6F-744E-656564454649\n"
       "size=64MiB, type=0657FD6D-A4AB-43C4-84E5-0933C84B4F4F\nsize=256MiB, type=0FC63DAF-8483-4772-8E79-3D69D8477DE4\n"
       "size=128MiB, type=E6D6D379-F507-44C2-A23C-238F2A3DF928\nsize=64MiB, type=A19D880F-05FC-4D3B-A006-743F0F84911E\n"
       "size=32MiB, type=516E7CB6-6ECF-11D6-8FF8-00022D09712B\n",
       {"EF02", "8200", "8300", "8E00", "FD00", "516E7CB6-6ECF-11D6-8FF8-00022D09712B"},
       {"BIOS 启动分区", "Linux 交换分区", "Linux 文件系统", "Linux LVM", "Linux RAID", ""}},
      // Gaps between used entries; hidden entries (attribute 62, alone and with 63).
      {"label: gpt\n2 : size=16MiB, type=5808C8AA-7E8F-42E0-85D2-E1E90434CFB3, attrs=\"GUID:62\"\n"
       "5 : size=64MiB, type=AF9B60A0-1431-4F62-BC68-3311714A69AD, attrs=\"GUID:63\"\n"
       "6 : size=64MiB, type=E75CAF8F-F680-4CEE-AFA3-B001E56EFC2D\n"
       "9 : size=32MiB, type=48465300-0000-11AA-AA11-00306543ECAC, attrs=\"GUID:62,GUID:63\"\n"
       "128 : size=32MiB, type=7C3457EF-0000-11AA-AA11-00306543ECAC\n",
       {"4200", "4201", "4202", "AF00", "AF0A"}, {"LDM 元数据", "LDM 数据", "存储空间", "Apple HFS+", "Apple APFS"}},
  };
  for (const auto& layout : layouts) {
    if (!make(layout.script)) GTEST_SKIP() << "sfdisk is not available";
    scan();
    ASSERT_EQ(list.size(), parts->size());
    EXPECT_EQ(column(kTypeIdColumn), layout.codes);
    EXPECT_EQ(column(kFormatNameColumn), layout.names);
    for (std::size_t i = 0; i < list.size(); ++i) {
      const PartitionRow& row = list.rows[i];
      const SfdiskPartition& p = (*parts)[i];
      SCOPED_TRACE(layout.codes[i]);
      EXPECT_EQ(row[kDiskColumn], "1");
      EXPECT_EQ(row[kPartitionColumn], std::to_string(i + 1)) << "numbered among used entries";
      EXPECT_EQ(row[kKindColumn], p.hidden ? "GPT，隐藏" : "GPT");
      EXPECT_EQ(row[kCapacityColumn], std::to_string(p.size / 2048));
      char offset[24];
      const unsigned long long bytes = p.start * 512;
      std::snprintf(offset, sizeof offset, "%04llX%08llX", bytes >> 32, bytes & 0xFFFFFFFF);
      EXPECT_EQ(list.BootSectorOffsetText[i], offset);
      EXPECT_EQ(list.GptList.at(i).number, i + 1);
    }
    EXPECT_TRUE(list.PrimaryList.empty() && list.LogicalList.empty()) << "no active flag to offer";
  }
}

TEST_F(GptScan, ADamagedCopyGivesWayToTheOtherAndWithBothGoneTheMbrIsListed) {
  const Strings gpt{"EF00", "0C01", "0700", "2700"};
  const std::uint64_t primaryArrayEnd = 33 * 512 + 511, backupHeader = (1ull << 30) - 512;
  const struct {
    const char* what;
    std::vector<std::uint64_t> flipped;
    bool lengthKnown, shortProtective;  // the EE entry ending half way: only the length finds the backup
    std::size_t reads;
    Strings types;
  } cases[] = {
      {"intact: the header and its 32 array sectors", {}, true, false, 1 + 1 + 32, gpt},
      {"primary header", {512 + 0x40}, true, false, 1 + 1 + 1 + 32, gpt},
      {"primary header, length unknown", {512 + 0x40}, false, false, 1 + 1 + 1 + 32, gpt},
      {"primary header, EE entry short", {512 + 0x40}, true, true, 1 + 1 + 1 + 32, gpt},
      {"primary array", {primaryArrayEnd}, true, false, 1 + 33 + 33, gpt},
      {"both headers", {512 + 0x40, backupHeader + 0x40}, true, false, 1 + 1 + 1, {"EE"}},
      {"both arrays", {primaryArrayEnd, backupHeader - 512}, true, false, 1 + 33 + 33, {"EE"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!make(kWindowsGptScript)) GTEST_SKIP() << "sfdisk is not available";
    SimulatedDisk& d = machine.disks[0];
    for (std::uint64_t at : c.flipped) d.put(at, std::string(1, static_cast<char>(~d.bytes(at, 1)[0])));
    if (c.shortProtective) d.put(0x1CA, le(0x100000, 4));
    d.lengthKnown = c.lengthKnown;
    machine.log.clear();
    scan();
    EXPECT_EQ(column(kTypeIdColumn), c.types);
    EXPECT_EQ(machine.logged("read ").size(), c.reads);
  }
  // Without a GPT the protective entry is an MBR primary like any other.
  EXPECT_EQ(column(kPartitionColumn), Strings{"1"});
  EXPECT_EQ(column(kKindColumn), Strings{"主"});
  EXPECT_EQ(column(kCapacityColumn), Strings{"1024"});
  EXPECT_TRUE(list.GptList.empty());
  // A hybrid MBR: the basic data partition mapped into slot 1 too; the GPT wins.
  ASSERT_TRUE(make(kWindowsGptScript));
  machine.disks[0].put(0x1CE, std::string("\x80\0\0\0\x07\0\0\0", 8) + le(239616, 4) + le(1638400, 4));
  scan();
  EXPECT_EQ(column(kTypeIdColumn), gpt);
  EXPECT_TRUE(list.PrimaryList.empty());
}

// Entry 2 is mounted as D:; entries 4 and 7 are hidden, reached through \Partition2 and
// \Partition3: entry 4 holds FAT32, whose boot sector keeps the label the user set, entry 7 NTFS.
TEST_F(GptScan, GptRowsMeetTheirVolumesTemporaryLettersAndBootSectorLabels) {
  if (!make("label: gpt\n2 : size=32MiB, type=EBD0A0A2-B9E5-4433-87C0-68B4B72699C7\n"
            "4 : size=64MiB, type=EBD0A0A2-B9E5-4433-87C0-68B4B72699C7, attrs=\"GUID:62\"\n"
            "7 : size=64MiB, type=EBD0A0A2-B9E5-4433-87C0-68B4B72699C7, attrs=\"GUID:62\"\n")) {
    GTEST_SKIP() << "sfdisk is not available";
  }
  const std::uint64_t at[] = {(*parts)[0].start, (*parts)[1].start, (*parts)[2].start};
  mount('D', 0, at[0], "SHOWN", 8 * kMiB);
  machine.disks[0].put(at[1] * 512, fat32Boot("BOOTLABEL"));
  machine.disks[0].put(at[2] * 512, ntfsBoot());
  for (unsigned i = 1; i < 3; ++i) {
    SimulatedVolume& v = machine.partitionDevices[{0, i + 1}];
    v.start = at[i] * 512, v.label = i == 1 ? "VOLLABEL" : "NTFSLABEL", v.freeBytes = (6 - 2 * i) * kMiB;
  }
  TempLetterList letters;
  scanWithTemporaryLetters(platform, catalogue, list, letters);
  EXPECT_EQ(machine.logged("define "), (Strings{"E: \\Device\\Harddisk0\\Partition2 ok", "F: \\Device\\Harddisk0\\Partition3 ok"}));
  EXPECT_EQ(column(kDriveLetterColumn), (Strings{"D", "E", "F"}));
  EXPECT_EQ(column(kLabelColumn), (Strings{"SHOWN", "BOOTLABEL", "NTFSLABEL"}));
  EXPECT_EQ(column(kFreeSpaceColumn), (Strings{"8", "4", "2"}));
}

}  // namespace
}  // namespace quenbolt

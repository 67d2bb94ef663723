// The real Win32 platform under Wine (tests/platform/wine_disk_check.sh prepares both cases and
// runs each suite alone). RawDiskWin32Test runs when QUENBOLT_WINE_DISK_TEST holds the size in
// bytes of the image physical drive 0 leads to: an MBR with "QBLT" as disk signature, the sector at
// 4 GiB + 512 filled with 0xA5, and under the disk enumeration key "Count" = 1 (REG_DWORD), "0" =
// "USBSTOR\Disk" (REG_SZ), "1" = 5 (REG_DWORD). VolumeLabelWin32Test runs when
// QUENBOLT_WINE_LABEL_TEST is set, in code page 1252, where the ANSI volume calls would change GBK
// bytes: Wine keeps the label of C: in drive_c/.windows-label as UTF-8, "卷标" before, "数据"
// after.

#include <windows.h>
#include <gtest/gtest.h>
#include <cstdlib>
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_platform.h"

namespace quenbolt {
namespace {
class RawDiskWin32Test : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("QUENBOLT_WINE_DISK_TEST"))
      GTEST_SKIP() << "QUENBOLT_WINE_DISK_TEST is not set";
    size = std::strtoull(std::getenv("QUENBOLT_WINE_DISK_TEST"), nullptr, 10);
    ASSERT_GT(size, (1ull << 32) + 1024) << "the image must reach beyond 4 GiB";
  }
  Win32Platform win32;
  Platform platform = win32.platform();
  std::uint64_t size = 0;
};

TEST_F(RawDiskWin32Test,
       ReadsAndWritesWholeSectorsAtSixtyFourBitOffsetsAndCountsAShortReadAsFailed) {
  Sector sector, pattern;
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<std::uint8_t>(i * 7);
  {
    auto disk = platform.disks.openDisk(0, DiskAccess::Read);
    ASSERT_TRUE(disk && disk->readSector(0, sector));
    EXPECT_EQ(std::string(sector.begin() + 0x1B8, sector.begin() + 0x1BC) + char(sector[0x1FE]) +
                  char(sector[0x1FF]),
              "QBLT\x55\xAA");
    ASSERT_TRUE(
        disk->readSector((1ull << 32) + 512, sector));  // only with the high half of the offset
    EXPECT_EQ(sector[0] + sector[511], 2 * 0xA5);
    EXPECT_TRUE(disk->readSector(size - 512, sector));
    sector.fill(0xEE);
    EXPECT_FALSE(disk->readSector(size - 256, sector)) << "256 bytes inside is a short read";
    EXPECT_EQ(sector, Sector{});
    EXPECT_FALSE(disk->readSector(size, sector)) << "at the end ReadFile gives 0 bytes";
    EXPECT_EQ(disk->lastError(), 0u) << "a short read has no error code of its own";
    EXPECT_TRUE(!disk->lengthBytes() || *disk->lengthBytes() == size)
        << "Wine may not tell an image's length; told, it is right";
    // Wine answers no geometry query for an image (error 50): the size is the fallback's.
    EXPECT_EQ(disk->sectorSize(), 512u);
  }
  ASSERT_TRUE(platform.disks.openDisk(0, DiskAccess::ReadWrite)->writeSector(3 * 512, pattern));
  auto disk = platform.disks.openDisk(0, DiskAccess::Read);
  ASSERT_TRUE(disk->readSector(3 * 512, sector) && sector == pattern);
  ASSERT_TRUE(disk->readSector(4 * 512, sector) && sector == Sector{})
      << "only the one sector changes";
  EXPECT_EQ(platform.disks.openDisk(7, DiskAccess::Read), nullptr);
  EXPECT_EQ(platform.disks.lastOpenError(), kErrorFileNotFound);
}

TEST_F(RawDiskWin32Test,
       DefinedNamesTakeTheirLetterUntilRemovedAndRegistryValuesAreReadOnlyWithTheirType) {
  const std::uint32_t q = 1u << ('Q' - 'A');
  ASSERT_EQ(platform.volumes.logicalDrives() & q, 0u) << "Q: is left over from an earlier run";
  ASSERT_TRUE(platform.dosDevices.defineRawTarget("Q:", "\\Device\\Harddisk0\\Partition1"));
  EXPECT_NE(platform.volumes.logicalDrives() & q, 0u);
  EXPECT_TRUE(platform.dosDevices.removeDefinition("Q:"));
  EXPECT_EQ(platform.volumes.logicalDrives() & q, 0u);
  const std::string key = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";
  EXPECT_EQ(platform.registry.readDword(key, "Count"), std::optional<std::uint32_t>(1));
  EXPECT_EQ(platform.registry.readString(key, "0"), std::optional<std::string>("USBSTOR\\Disk"));
  for (const char* name : {"Count", "1"})
    EXPECT_EQ(platform.registry.readString(key, name), std::nullopt) << name;
  for (const char* name : {"0", "9"})
    EXPECT_EQ(platform.registry.readDword(key, name), std::nullopt) << name;
  EXPECT_EQ(platform.registry.readDword("SYSTEM\\NoSuchKey", "Count"), std::nullopt);
}

// Text the user gives reaches GBK exactly or marked: a Hangul syllable, a character outside the
// basic plane (one mark for its two UTF-16 units) and one a best fit would turn into "A".
TEST(WideTextWin32Test, CharactersGbkCannotHoldAreMarkedAndNeverBestFitted) {
  EXPECT_EQ(win32::narrowMarking(L"a\u6570\uD55C\U0001F600\u00C0?"), "a数\xFF\xFF\xFF?");
  EXPECT_EQ(win32::narrowExactly(L"DATA", 437), std::optional<std::string>("DATA"));
  EXPECT_EQ(win32::narrowExactly(L"\u6570\u636E", 437), std::nullopt);
  EXPECT_EQ(win32::narrowExactly(L"\u6570\u636E", 936), std::optional<std::string>("数据"));
}

TEST(VolumeLabelWin32Test, ChineseLabelsAreReadAndSetWholeUnderCodePage1252) {
  if (!std::getenv("QUENBOLT_WINE_LABEL_TEST"))
    GTEST_SKIP() << "QUENBOLT_WINE_LABEL_TEST is not set";
  ASSERT_EQ(GetACP(), 1252u) << "the check means something only where the ANSI functions use 1252";
  Win32Platform win32;
  Platform platform = win32.platform();
  EXPECT_EQ(platform.volumes.volumeInformation("C:\\").value_or(VolumeInformation{}).label, "卷标");
  EXPECT_EQ(platform.volumes.setVolumeLabel("C:\\", "DATA\xB5"), SetLabelOutcome::Refused)
      << "no GBK text: it would reach the volume changed";
  EXPECT_EQ(platform.volumes.setVolumeLabel("C:\\", "数据"), SetLabelOutcome::Set);
}
}  // namespace
}  // namespace quenbolt

// The real Win32 platform against a disk image under Wine. Runs only when
// QUENBOLT_WINE_DISK_TEST holds the size in bytes of the image that physical drive 0 leads to
// (tests/platform/wine_disk_check.sh prepares it): an MBR with "QBLT" as disk signature, and
// the sector at 4 GiB + 512 filled with 0xA5. The script also stores, under the disk enumeration
// key, "Count" = 1 (REG_DWORD), "0" = "USBSTOR\Disk" (REG_SZ) and "1" = 5 (REG_DWORD).

#include <cstdlib>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/win32/win32_platform.h"

namespace quenbolt {
namespace {

constexpr std::uint64_t kHighSectorOffset = (1ull << 32) + 512;

class RawDiskWin32Test : public testing::Test {
 protected:
  void SetUp() override {
    const char* size = std::getenv("QUENBOLT_WINE_DISK_TEST");
    if (!size || !*size) GTEST_SKIP() << "QUENBOLT_WINE_DISK_TEST is not set";
    imageSize_ = std::strtoull(size, nullptr, 10);
    ASSERT_GT(imageSize_, kHighSectorOffset + 512) << "the image must reach beyond 4 GiB";
  }

  Win32Platform win32_;
  Platform platform_ = win32_.platform();
  std::uint64_t imageSize_ = 0;
};

TEST_F(RawDiskWin32Test, ReadsSectorsAtSixtyFourBitOffsetsAndCountsShortReadsAsFailed) {
  auto disk = platform_.disks.openDisk(0, DiskAccess::Read);
  ASSERT_NE(disk, nullptr);
  Sector sector;
  ASSERT_TRUE(disk->readSector(0, sector));
  EXPECT_EQ(std::string(sector.begin() + 0x1B8, sector.begin() + 0x1BC), "QBLT");
  EXPECT_EQ(sector[0x1FE], 0x55);
  EXPECT_EQ(sector[0x1FF], 0xAA);

  // The high half of the offset must reach SetFilePointer, or this reads sector 1 (zeros).
  ASSERT_TRUE(disk->readSector(kHighSectorOffset, sector));
  EXPECT_EQ(sector[0], 0xA5);
  EXPECT_EQ(sector[511], 0xA5);

  EXPECT_TRUE(disk->readSector(imageSize_ - 512, sector));
  sector.fill(0xEE);
  EXPECT_FALSE(disk->readSector(imageSize_ - 256, sector)) << "256 bytes inside is a short read";
  EXPECT_EQ(sector, Sector{});
  EXPECT_FALSE(disk->readSector(imageSize_, sector)) << "at the end ReadFile gives 0 bytes";
  EXPECT_EQ(disk->lastError(), 0u) << "a short read has no error code of its own";

  // Wine may not tell an image file's length; what it tells must be the length.
  if (const std::optional<std::uint64_t> length = disk->lengthBytes()) {
    EXPECT_EQ(*length, imageSize_);
  }
}

TEST_F(RawDiskWin32Test, WritesOneSectorInPlace) {
  const std::uint64_t offset = 3 * 512;
  Sector pattern;
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<std::uint8_t>(i * 7);
  {
    auto disk = platform_.disks.openDisk(0, DiskAccess::ReadWrite);
    ASSERT_NE(disk, nullptr);
    ASSERT_TRUE(disk->writeSector(offset, pattern));
  }
  auto disk = platform_.disks.openDisk(0, DiskAccess::Read);
  ASSERT_NE(disk, nullptr);
  Sector back;
  ASSERT_TRUE(disk->readSector(offset, back));
  EXPECT_EQ(back, pattern);
  ASSERT_TRUE(disk->readSector(offset + 512, back));
  EXPECT_EQ(back, Sector{}) << "only the one sector changes";
}

TEST_F(RawDiskWin32Test, MissingDiskCannotBeOpened) {
  EXPECT_EQ(platform_.disks.openDisk(7, DiskAccess::Read), nullptr);
  EXPECT_EQ(platform_.disks.lastOpenError(), kErrorFileNotFound);
}

TEST_F(RawDiskWin32Test, DefinedNameTakesItsLetterUntilRemoved) {
  const std::uint32_t q = 1u << ('Q' - 'A');
  ASSERT_EQ(platform_.volumes.logicalDrives() & q, 0u) << "Q: is left over from an earlier run";
  ASSERT_TRUE(platform_.dosDevices.defineRawTarget("Q:", "\\Device\\Harddisk0\\Partition1"));
  EXPECT_NE(platform_.volumes.logicalDrives() & q, 0u);
  EXPECT_TRUE(platform_.dosDevices.removeDefinition("Q:"));
  EXPECT_EQ(platform_.volumes.logicalDrives() & q, 0u);
}

TEST_F(RawDiskWin32Test, RegistryValuesAreReadOnlyWithTheirOwnType) {
  const std::string key = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";
  EXPECT_EQ(platform_.registry.readDword(key, "Count"), std::optional<std::uint32_t>(1));
  EXPECT_EQ(platform_.registry.readString(key, "0"), std::optional<std::string>("USBSTOR\\Disk"));
  EXPECT_EQ(platform_.registry.readString(key, "Count"), std::nullopt);
  EXPECT_EQ(platform_.registry.readString(key, "1"), std::nullopt);
  EXPECT_EQ(platform_.registry.readDword(key, "0"), std::nullopt);
  EXPECT_EQ(platform_.registry.readDword(key, "9"), std::nullopt);
  EXPECT_EQ(platform_.registry.readDword("SYSTEM\\NoSuchKey", "Count"), std::nullopt);
}

}  // namespace
}  // namespace quenbolt

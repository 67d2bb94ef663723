// The simulated machine's own non-obvious behaviour: everything else stands on it.

#include "support/simulated_machine.h"

#include <gtest/gtest.h>

#include "support/table_sector_builder.h"

namespace quenbolt {
namespace {

constexpr std::uint64_t kTiB = 1024ull * 1024 * 1024 * 1024;

Sector filled(std::uint8_t value) {
  Sector sector;
  sector.fill(value);
  return sector;
}

TEST(SimulatedMachineTest, SectorsFarAboveFourGiBAreStoredSparselyAndReadBackExactly) {
  SimulatedMachine machine;
  SimulatedDisk& disk = machine.addDisk(0, 3 * kTiB);
  const std::uint64_t high = 2 * kTiB + 512;  // beyond any 32-bit byte offset
  disk.setSector(high, filled(0xA5));

  Platform platform = machine.platform();
  auto handle = platform.disks.openDisk(0, DiskAccess::ReadWrite);
  ASSERT_NE(handle, nullptr);
  Sector sector;
  ASSERT_TRUE(handle->readSector(high, sector));
  EXPECT_EQ(sector, filled(0xA5));
  // The same low 32 bits without the high part is a different, untouched place.
  ASSERT_TRUE(handle->readSector(high & 0xFFFFFFFFu, sector));
  EXPECT_EQ(sector, Sector{});

  const DiskSnapshot before = disk.snapshot();
  Sector changed = filled(0xA5);
  changed[7] = 0x00;
  ASSERT_TRUE(handle->writeSector(high, changed));
  EXPECT_EQ(differingOffsets(before, disk.snapshot()), std::vector<std::uint64_t>{high + 7});
  EXPECT_EQ(disk.snapshot().sectors.size(), 1u);
}

TEST(SimulatedMachineTest, ReadsRunningPastTheEndComeBackShortAndCountAsFailed) {
  SimulatedMachine machine;
  SimulatedDisk& disk = machine.addDisk(0, 1024 * 1024);
  disk.setSector(1024 * 1024 - 512, filled(0x11));
  auto handle = machine.platform().disks.openDisk(0, DiskAccess::ReadWrite);
  ASSERT_NE(handle, nullptr);

  Sector sector = filled(0xEE);
  EXPECT_TRUE(handle->readSector(1024 * 1024 - 512, sector));
  EXPECT_FALSE(handle->readSector(1024 * 1024 - 256, sector));
  EXPECT_EQ(sector, Sector{}) << "a short read must leave nothing half read behind";
  EXPECT_FALSE(handle->readSector(1024 * 1024, sector));
  EXPECT_FALSE(handle->writeSector(1024 * 1024 - 256, filled(0x22)));

  const auto reads = machine.diskLog(DiskOp::Read);
  ASSERT_EQ(reads.size(), 3u);
  EXPECT_EQ(reads[1].bytes, 256);
  EXPECT_EQ(reads[2].bytes, 0);
  EXPECT_EQ(disk.sector(1024 * 1024 - 512), filled(0x11));
}

TEST(SimulatedMachineTest, FaultsHitOnlyTheAccessTheyTarget) {
  SimulatedMachine machine;
  SimulatedDisk& disk = machine.addDisk(0, 1024 * 1024);
  disk.setSector(0, TableSector().entry(0, 0x80, 0x0C, 2048, 100).signature());
  disk.failOpen(OpenFault::ReadWriteOnly);
  disk.failRead(0, 2);
  disk.shortRead(512, 100);
  Platform platform = machine.platform();

  EXPECT_EQ(platform.disks.openDisk(0, DiskAccess::ReadWrite), nullptr);
  auto handle = platform.disks.openDisk(0, DiskAccess::Read);
  ASSERT_NE(handle, nullptr);
  Sector sector;
  EXPECT_TRUE(handle->readSector(0, sector));
  EXPECT_FALSE(handle->readSector(0, sector));
  EXPECT_TRUE(handle->readSector(0, sector));
  EXPECT_FALSE(handle->readSector(512, sector));
  // A handle opened for reading refuses writes, as the real device does.
  EXPECT_FALSE(handle->writeSector(0, sector));
  handle.reset();

  EXPECT_EQ(machine.openHandles(), 0u);
  EXPECT_EQ(machine.journal(),
            (std::vector<std::string>{"open 0 readwrite failed", "open 0 read ok", "read 0 0x0 512",
                                      "read 0 0x0 failed", "read 0 0x0 512", "read 0 0x200 100",
                                      "write 0 0x0 failed", "close 0"}));
}

TEST(SimulatedMachineTest, DefiningALetterForAPartitionDeviceMakesItsVolumeReachable) {
  SimulatedMachine machine;
  machine.addDisk(1, 1024 * 1024 * 1024);
  machine.mountVolume('D', SimulatedVolume{});
  SimulatedVolume hidden;
  hidden.startOffset = 0x100000;
  hidden.label = "HIDDEN";
  hidden.freeBytes = 3ull << 30;
  machine.addPartitionDevice(1, 2, hidden);
  Platform platform = machine.platform();

  EXPECT_FALSE(platform.dosDevices.defineRawTarget("D:", "\\Device\\Harddisk1\\Partition2"))
      << "a letter that is taken cannot be defined";
  EXPECT_EQ(platform.volumes.queryVolumeExtent('E').StartingOffset, 0u);
  ASSERT_TRUE(platform.dosDevices.defineRawTarget("E:", "\\Device\\Harddisk1\\Partition2"));

  EXPECT_NE(platform.volumes.logicalDrives() & (1u << 4), 0u);
  const VolumeExtent extent = platform.volumes.queryVolumeExtent('E');
  EXPECT_EQ(extent.DiskNumber, 1u);
  EXPECT_EQ(extent.StartingOffset, 0x100000u);
  EXPECT_EQ(platform.volumes.driveType("E:"), kDriveFixed);
  ASSERT_TRUE(platform.volumes.volumeInformation("E:\\").has_value());
  EXPECT_EQ(platform.volumes.volumeInformation("E:\\")->label, "HIDDEN");
  EXPECT_FALSE(platform.volumes.volumeInformation("E:").has_value()) << "needs the root backslash";
  EXPECT_TRUE(platform.volumes.setVolumeLabel("E:\\", "NEW"));
  EXPECT_EQ(machine.partitionDevice(1, 2)->label, "NEW");
  EXPECT_EQ(machine.definedNames(), std::vector<std::string>{"E:"});

  ASSERT_TRUE(platform.dosDevices.removeDefinition("E:"));
  EXPECT_EQ(platform.volumes.logicalDrives() & (1u << 4), 0u);
  EXPECT_EQ(platform.volumes.driveType("E:"), kDriveNoRootDir);
  EXPECT_FALSE(platform.dosDevices.removeDefinition("E:"));
  EXPECT_TRUE(machine.definedNames().empty());
}

}  // namespace
}  // namespace quenbolt

#include "discovery/disk_enumeration.h"

#include "discovery_fixture.h"

namespace quenbolt {
namespace {

TEST_F(DiscoveryTest, UsbStorageIsTheFirstEightCharactersInEitherCase) {
  machine.setDiskInstancePath(0, "USBSTOR\\Disk&Ven_SanDisk");
  machine.setDiskInstancePath(1, "usbstor\\disk&ven_kingston");
  machine.setDiskInstancePath(2, "USBSTO");
  machine.setDiskInstancePath(3, "USBSTORX\\Disk");
  machine.setDiskInstancePath(4, "IDE\\DiskST3500418AS");
  machine.setBinary(kDiskEnumKey, "5", {'U', 'S', 'B', 'S', 'T', 'O', 'R', '\\'});
  Registry& registry = platform.registry;

  EXPECT_TRUE(isUsbStorageDisk(registry, 0));
  EXPECT_TRUE(isUsbStorageDisk(registry, 1));
  EXPECT_FALSE(isUsbStorageDisk(registry, 2));
  EXPECT_FALSE(isUsbStorageDisk(registry, 3));
  EXPECT_FALSE(isUsbStorageDisk(registry, 4));
  EXPECT_FALSE(isUsbStorageDisk(registry, 5)) << "not REG_SZ";
  EXPECT_FALSE(isUsbStorageDisk(registry, 6)) << "missing";
  EXPECT_EQ(machine.calls(CallKind::ReadString).back().second, "6");
}

}  // namespace
}  // namespace quenbolt

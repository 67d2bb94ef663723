#include "discovery/disk_enumeration.h"

#include "discovery_fixture.h"

namespace quenbolt {
namespace {

TEST_F(DiscoveryTest, UsbStorageIsTheFirstEightCharactersInEitherCase) {
  const std::pair<const char*, bool> paths[] = {{"USBSTOR\\Disk&Ven_SanDisk", true},
                                                {"usbstor\\disk&ven_kingston", true},
                                                {"USBSTO", false},
                                                {"USBSTORX\\Disk", false},
                                                {"IDE\\DiskST3500418AS", false}};
  for (unsigned n = 0; n < 5; ++n) machine.setDiskInstancePath(n, paths[n].first);
  machine.setBinary(kDiskEnumKey, "5", {'U', 'S', 'B', 'S', 'T', 'O', 'R', '\\'});
  for (unsigned n = 0; n < 5; ++n) EXPECT_EQ(isUsbStorageDisk(platform.registry, n), paths[n].second) << paths[n].first;
  EXPECT_FALSE(isUsbStorageDisk(platform.registry, 5)) << "not REG_SZ";
  EXPECT_FALSE(isUsbStorageDisk(platform.registry, 6)) << "missing";
  EXPECT_EQ(machine.calls(CallKind::ReadString).back().second, "6");
}

}  // namespace
}  // namespace quenbolt

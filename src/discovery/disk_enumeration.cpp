#include "discovery/disk_enumeration.h"

#include <cstdint>

#include "model/gbk_text.h"

namespace quenbolt {

const char* const kDiskEnumKey = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";

unsigned diskCount(Registry& registry) {
  const std::optional<std::uint32_t> count = registry.readDword(kDiskEnumKey, "Count");
  if (!count) return 0;
  // The value is a signed count for the disk driver: a "negative" one means no disks, not four
  // billion of them to try one by one.
  if (*count > 0x7FFFFFFFu) return 0;
  return *count;
}

bool isUsbStorageDisk(Registry& registry, unsigned index) {
  const std::optional<std::string> path = registry.readString(kDiskEnumKey, decimalText(index));
  if (!path || path->size() < 8) return false;
  return upperCased(path->substr(0, 8)) == "USBSTOR\\";
}

}  // namespace quenbolt

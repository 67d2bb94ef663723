#pragma once
// Which physical disks to try, and whether a disk hangs off USB mass storage.

#include <string>

#include "platform/registry.h"

namespace quenbolt {

// HKEY_LOCAL_MACHINE key listing the disks.
extern const char* const kDiskEnumKey;  // "SYSTEM\CurrentControlSet\Services\Disk\Enum"

// The "Count" value when it is a REG_DWORD; 0 on anything else.
unsigned diskCount(Registry& registry);

// True when value "<index>" starts with "USBSTOR\" (letters compared upper-cased).
bool isUsbStorageDisk(Registry& registry, unsigned index);

}  // namespace quenbolt

#pragma once
// Everything through which the logic reaches the operating system, handed down by reference.

#include "platform/dos_devices.h"
#include "platform/raw_disks.h"
#include "platform/registry.h"
#include "platform/system_info.h"
#include "platform/ui_services.h"
#include "platform/volumes.h"

namespace quenbolt {

struct Platform {
  RawDisks& disks;
  Registry& registry;
  Volumes& volumes;
  DosDevices& dosDevices;
  SystemInfo& system;
  UiServices& ui;
};

}  // namespace quenbolt

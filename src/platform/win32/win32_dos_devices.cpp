#include "platform/win32/win32_platform.h"

namespace quenbolt {

bool Win32DosDevices::defineRawTarget(const std::string& name, const std::string& target) {
  return DefineDosDeviceA(DDD_RAW_TARGET_PATH, name.c_str(), target.c_str()) != FALSE;
}

bool Win32DosDevices::removeDefinition(const std::string& name) {
  return DefineDosDeviceA(DDD_REMOVE_DEFINITION, name.c_str(), nullptr) != FALSE;
}

}  // namespace quenbolt

#include "platform/win32/win32_platform.h"

namespace quenbolt {

std::uint32_t Win32SystemInfo::getVersion() { return GetVersion(); }

std::optional<OsVersion> Win32SystemInfo::getVersionEx() {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return std::nullopt;
  return OsVersion{info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
}

unsigned Win32SystemInfo::oemCodePage() { return GetOEMCP(); }

}  // namespace quenbolt

#pragma once
// Which Windows this is.

#include <cstdint>
#include <optional>

namespace quenbolt {

struct OsVersion {
  std::uint32_t platformId = 0;  // 1: the 95/98/Millennium family, 2: the NT family
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
};

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  // GetVersion: low byte the major version, bit 31 set on the 95/98/Millennium family.
  virtual std::uint32_t getVersion() = 0;
  // GetVersionExA; nullopt when it fails.
  virtual std::optional<OsVersion> getVersionEx() = 0;
  // GetOEMCP: the code page in which FAT keeps names and labels on this system (936 on a Chinese
  // Windows, 437 or 850 on most others).
  virtual unsigned oemCodePage() = 0;
};

}  // namespace quenbolt

#pragma once
// Read-only access to values under HKEY_LOCAL_MACHINE.

#include <cstdint>
#include <optional>
#include <string>

namespace quenbolt {

class Registry {
 public:
  virtual ~Registry() = default;
  // The value `name` of key `key` (opened with KEY_READ). nullopt when the key or the value is
  // missing, the value has another type (REG_DWORD / REG_SZ respectively) or the read fails.
  virtual std::optional<std::uint32_t> readDword(const std::string& key,
                                                 const std::string& name) = 0;
  virtual std::optional<std::string> readString(const std::string& key,
                                                const std::string& name) = 0;
};

}  // namespace quenbolt

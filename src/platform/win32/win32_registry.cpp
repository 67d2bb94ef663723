#include "platform/win32/win32_platform.h"

#include <algorithm>
#include <vector>

namespace quenbolt {

namespace {

class RegistryKey {
 public:
  explicit RegistryKey(const std::string& path) {
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS)
      key_ = nullptr;
  }
  ~RegistryKey() {
    if (key_) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

std::optional<std::uint32_t> Win32Registry::readDword(const std::string& key,
                                                      const std::string& name) {
  RegistryKey opened(key);
  if (!opened.get()) return std::nullopt;
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegQueryValueExA(opened.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                       &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  if (type != REG_DWORD || size != sizeof value) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

std::optional<std::string> Win32Registry::readString(const std::string& key,
                                                     const std::string& name) {
  RegistryKey opened(key);
  if (!opened.get()) return std::nullopt;
  // The value can grow between asking its size and reading it; try again a few times then.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(opened.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    if (type != REG_SZ) return std::nullopt;
    // One spare zero byte: a REG_SZ is not guaranteed to be stored with its terminator.
    std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
    DWORD got = size;
    const LONG status = RegQueryValueExA(opened.get(), name.c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(buffer.data()), &got);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    const std::size_t length = std::min<std::size_t>(got, size);
    const std::string text(buffer.data(), length);
    return text.substr(0, text.find('\0'));
  }
  return std::nullopt;
}

}  // namespace quenbolt

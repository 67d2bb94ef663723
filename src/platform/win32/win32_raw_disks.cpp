#include "platform/win32/win32_platform.h"

#include <winioctl.h>

#include <algorithm>
#include <string>

namespace quenbolt {

namespace {

// The logical sector size of a disk or volume, 512 where the system does not tell it (Wine does
// not, for a physical drive that is an image file: measured with Wine 8, both queries fail there
// with error 50). A volume answers the older query where it lacks the newer.
std::size_t querySectorSize(HANDLE handle) {
  DISK_GEOMETRY_EX geometryEx{};
  DWORD returned = 0;
  if (DeviceIoControl(handle, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, nullptr, 0, &geometryEx,
                      sizeof geometryEx, &returned, nullptr) &&
      returned >= sizeof geometryEx.Geometry) {
    return geometryEx.Geometry.BytesPerSector;
  }
  DISK_GEOMETRY geometry{};
  if (DeviceIoControl(handle, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, sizeof geometry,
                      &returned, nullptr) &&
      returned >= sizeof geometry) {
    return geometry.BytesPerSector;
  }
  return kSectorSize;
}

class Win32DiskHandle : public DiskHandle {
 public:
  explicit Win32DiskHandle(HANDLE handle) : handle_(handle) {
    setSectorSize(querySectorSize(handle));
    // Transfers go through a page-aligned buffer: a disk of 4096-byte sectors may refuse a
    // buffer that is aligned to less than its sector.
    buffer_ = static_cast<std::uint8_t*>(
        VirtualAlloc(nullptr, sectorSize(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  }
  ~Win32DiskHandle() override {
    if (buffer_) VirtualFree(buffer_, 0, MEM_RELEASE);
    CloseHandle(handle_);
  }

  // Wine refuses this for a physical drive that is an image file (measured with Wine 8); the
  // GPT reader then falls back to the MBR's EE entry.
  std::optional<std::uint64_t> lengthBytes() override {
    GET_LENGTH_INFORMATION info{};
    DWORD returned = 0;
    if (!DeviceIoControl(handle_, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &info, sizeof info,
                         &returned, nullptr) ||
        returned < sizeof info || info.Length.QuadPart <= 0) {
      return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.Length.QuadPart);
  }

 protected:
  long readAt(std::uint64_t offset, std::uint8_t* data, std::size_t size) override {
    if (!buffer_ || size > sectorSize()) return failedWith(ERROR_NOT_ENOUGH_MEMORY);
    if (!seek(offset)) return failedWith(GetLastError());
    DWORD transferred = 0;
    if (!ReadFile(handle_, buffer_, static_cast<DWORD>(size), &transferred, nullptr)) {
      return failedWith(GetLastError());
    }
    // Past the end of an image file Wine reports success with 0 bytes; the caller counts it.
    std::copy(buffer_, buffer_ + std::min<std::size_t>(transferred, size), data);
    return static_cast<long>(transferred);
  }

  long writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override {
    if (!buffer_ || size > sectorSize()) return failedWith(ERROR_NOT_ENOUGH_MEMORY);
    if (!seek(offset)) return failedWith(GetLastError());
    std::copy(data, data + size, buffer_);
    DWORD transferred = 0;
    if (!WriteFile(handle_, buffer_, static_cast<DWORD>(size), &transferred, nullptr)) {
      return failedWith(GetLastError());
    }
    return static_cast<long>(transferred);
  }

 private:
  bool seek(std::uint64_t offset) {
    LONG high = static_cast<LONG>(offset >> 32);
    // A position whose low half is 0xFFFFFFFF returns INVALID_SET_FILE_POINTER on success too;
    // only the error code tells them apart, and SetFilePointer does not clear it on success.
    SetLastError(NO_ERROR);
    const DWORD low =
        SetFilePointer(handle_, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
  }

  HANDLE handle_;
  std::uint8_t* buffer_ = nullptr;
};

HANDLE openDevice(const std::string& device, DiskAccess access) {
  const DWORD rights =
      access == DiskAccess::ReadWrite ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  return CreateFileA(device.c_str(), rights, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

std::string diskDevice(unsigned index) { return "\\\\.\\PHYSICALDRIVE" + std::to_string(index); }

}  // namespace

std::unique_ptr<DiskHandle> Win32RawDisks::openDisk(unsigned index, DiskAccess access) {
  HANDLE handle = openDevice(diskDevice(index), access);
  if (handle == INVALID_HANDLE_VALUE) return openFailed(GetLastError());
  return std::make_unique<Win32DiskHandle>(handle);
}

std::unique_ptr<DiskHandle> Win32RawDisks::openVolume(char letter, DiskAccess access) {
  // A volume handle opened without FILE_FLAG_NO_BUFFERING still transfers whole sectors without
  // the cache: the file system treats a volume open as direct access, and flushes its own cache
  // of the volume before the first transfer.
  HANDLE handle = openDevice(std::string("\\\\.\\") + letter + ":", access);
  if (handle == INVALID_HANDLE_VALUE) return openFailed(GetLastError());
  return std::make_unique<Win32DiskHandle>(handle);
}

bool Win32RawDisks::updateDiskProperties(unsigned index) {
  // The request needs no access rights of its own; reading is the least that opens a disk.
  HANDLE handle = openDevice(diskDevice(index), DiskAccess::Read);
  if (handle == INVALID_HANDLE_VALUE) return false;
  DWORD returned = 0;
  const BOOL ok = DeviceIoControl(handle, IOCTL_DISK_UPDATE_PROPERTIES, nullptr, 0, nullptr, 0,
                                  &returned, nullptr);
  CloseHandle(handle);
  return ok != FALSE;
}

}  // namespace quenbolt

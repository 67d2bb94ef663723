#include "platform/win32/win32_platform.h"

#include <winioctl.h>

#include <cstddef>

#include "platform/win32/wide_text.h"

namespace quenbolt {

namespace {

// The extents answer is read into a fixed 260-byte buffer: room for ten extents. A volume with
// more makes the call fail and counts as having none.
constexpr DWORD kExtentsBufferSize = 260;
constexpr DWORD kVolumeGetDiskExtents = 0x560000;  // IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS

static_assert(IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS == kVolumeGetDiskExtents, "control code");
static_assert(offsetof(VOLUME_DISK_EXTENTS, Extents) + sizeof(DISK_EXTENT) <= kExtentsBufferSize,
              "the first extent fits");

using GetDiskFreeSpaceExFunction = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                                 PULARGE_INTEGER);

// Looked up at run time: kernel32 of the first Windows 95 release does not export it.
GetDiskFreeSpaceExFunction diskFreeSpaceExFunction() {
  HMODULE kernel = GetModuleHandleA("kernel32");
  if (!kernel) return nullptr;
  FARPROC found = GetProcAddress(kernel, "GetDiskFreeSpaceExA");
  // Through void(*)(), the one function pointer type any other converts from without a warning.
  return reinterpret_cast<GetDiskFreeSpaceExFunction>(reinterpret_cast<void (*)()>(found));
}

}  // namespace

unsigned Win32Volumes::driveType(const std::string& rootPath) {
  return GetDriveTypeA(rootPath.c_str());
}

VolumeExtent Win32Volumes::queryVolumeExtent(char letter) {
  VolumeExtent extent;
  const std::string device = std::string("\\\\.\\") + letter + ":";
  HANDLE volume =
      CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (volume == INVALID_HANDLE_VALUE) return extent;

  union {
    VOLUME_DISK_EXTENTS extents;
    BYTE raw[kExtentsBufferSize];
  } answer = {};
  DWORD returned = 0;
  const BOOL ok = DeviceIoControl(volume, kVolumeGetDiskExtents, nullptr, 0, answer.raw,
                                  kExtentsBufferSize, &returned, nullptr);
  CloseHandle(volume);
  if (ok && answer.extents.NumberOfDiskExtents > 0 &&
      returned >= offsetof(VOLUME_DISK_EXTENTS, Extents) + sizeof(DISK_EXTENT)) {
    const DISK_EXTENT& first = answer.extents.Extents[0];
    extent.DiskNumber = first.DiskNumber;
    extent.StartingOffset = static_cast<std::uint64_t>(first.StartingOffset.QuadPart);
    extent.ExtentLength = static_cast<std::uint64_t>(first.ExtentLength.QuadPart);
  }
  return extent;
}

std::optional<VolumeInformation> Win32Volumes::volumeInformation(const std::string& rootPath) {
  wchar_t label[256] = {};
  wchar_t fileSystem[256] = {};
  // Announced one short of the buffers, so that the last character always stays a terminator.
  if (!GetVolumeInformationW(win32::widen(rootPath).c_str(), label, 255, nullptr, nullptr, nullptr,
                             fileSystem, 255)) {
    return std::nullopt;
  }
  return VolumeInformation{win32::narrow(label), win32::narrow(fileSystem)};
}

bool Win32Volumes::hasDiskFreeSpaceEx() { return diskFreeSpaceExFunction() != nullptr; }

std::optional<std::uint64_t> Win32Volumes::diskFreeSpaceEx(const std::string& path) {
  GetDiskFreeSpaceExFunction function = diskFreeSpaceExFunction();
  if (!function) return std::nullopt;
  ULARGE_INTEGER availableToCaller = {};
  ULARGE_INTEGER total = {};
  ULARGE_INTEGER totalFree = {};
  if (!function(path.c_str(), &availableToCaller, &total, &totalFree)) return std::nullopt;
  return static_cast<std::uint64_t>(totalFree.QuadPart);
}

std::optional<ClusterFreeSpace> Win32Volumes::diskFreeSpace(const std::string& path) {
  DWORD sectorsPerCluster = 0;
  DWORD bytesPerSector = 0;
  DWORD freeClusters = 0;
  DWORD totalClusters = 0;
  if (!GetDiskFreeSpaceA(path.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                         &totalClusters)) {
    return std::nullopt;
  }
  return ClusterFreeSpace{sectorsPerCluster, bytesPerSector, freeClusters, totalClusters};
}

SetLabelOutcome Win32Volumes::setVolumeLabel(const std::string& rootPath,
                                             const std::string& label) {
  // A label that is no GBK text could only reach the volume with characters substituted.
  const std::optional<std::wstring> wide = win32::widenExactly(label);
  if (!wide) return SetLabelOutcome::Refused;
  if (SetVolumeLabelW(win32::widen(rootPath).c_str(), wide->c_str())) return SetLabelOutcome::Set;
  // A partition whose file system Windows does not recognise is mounted as RAW, which keeps no
  // label: the label can only be written into the partition's own sectors.
  if (GetLastError() == ERROR_UNRECOGNIZED_VOLUME) return SetLabelOutcome::NoFileSystem;
  return SetLabelOutcome::Refused;
}

OemLabel Win32Volumes::oemLabel(const std::string& rootPath) {
  wchar_t label[256] = {};
  if (!GetVolumeInformationW(win32::widen(rootPath).c_str(), label, 255, nullptr, nullptr, nullptr,
                             nullptr, 0)) {
    return OemLabel{OemLabel::Unreadable, std::string()};
  }
  const std::optional<std::string> bytes = win32::narrowExactly(label, GetOEMCP());
  if (!bytes) return OemLabel{OemLabel::NotInOemCodePage, std::string()};
  return OemLabel{OemLabel::Read, *bytes};
}

std::uint32_t Win32Volumes::logicalDrives() { return GetLogicalDrives(); }

}  // namespace quenbolt

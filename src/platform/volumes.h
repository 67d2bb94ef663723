#pragma once
// Mounted volumes and drive letters. Texts are GBK whatever the system's ANSI code page: labels
// are read and set through the wide functions, converted with code page 936.

#include <cstdint>
#include <optional>
#include <string>

namespace quenbolt {

// The first extent of a volume on a physical disk; all zero when unknown.
struct VolumeExtent {
  std::uint32_t DiskNumber = 0;
  std::uint64_t StartingOffset = 0;
  std::uint64_t ExtentLength = 0;
};

struct VolumeInformation {
  std::string label;  // GBK, up to its first zero byte
  std::string fileSystem;
};

struct ClusterFreeSpace {
  std::uint32_t sectorsPerCluster = 0;
  std::uint32_t bytesPerSector = 0;
  std::uint32_t freeClusters = 0;
  std::uint32_t totalClusters = 0;
};

// What SetVolumeLabelW made of a label.
enum class SetLabelOutcome {
  Set,           // the file system took it
  Refused,       // the file system refused it (too long, a character it forbids, write-protected)
  NoFileSystem,  // no file system is mounted there (ERROR_UNRECOGNIZED_VOLUME)
};

// The label a volume's file system keeps, in the system's OEM code page (GetOEMCP): the bytes the
// FAT driver stores in the root directory.
struct OemLabel {
  enum Status { Read, Unreadable, NotInOemCodePage } status = Unreadable;
  std::string bytes;  // when Read
};

// Drive types as GetDriveTypeA reports them.
enum : unsigned {
  kDriveUnknown = 0,
  kDriveNoRootDir = 1,
  kDriveRemovable = 2,
  kDriveFixed = 3,
  kDriveRemote = 4,
  kDriveCdrom = 5,
  kDriveRamdisk = 6,
};

class Volumes {
 public:
  virtual ~Volumes() = default;
  // GetDriveTypeA of `rootPath` (for example "D:").
  virtual unsigned driveType(const std::string& rootPath) = 0;
  // Opens "\\.\<letter>:" and asks for its disk extents; all zero when that fails or the volume
  // has no extent (or more than fit in a 260-byte answer).
  virtual VolumeExtent queryVolumeExtent(char letter) = 0;
  // GetVolumeInformationW of `rootPath` (for example "D:\"); nullopt when the call fails.
  virtual std::optional<VolumeInformation> volumeInformation(const std::string& rootPath) = 0;
  // Whether kernel32 exports GetDiskFreeSpaceExA.
  virtual bool hasDiskFreeSpaceEx() = 0;
  // GetDiskFreeSpaceExA: the total number of free bytes; nullopt when the call fails.
  virtual std::optional<std::uint64_t> diskFreeSpaceEx(const std::string& path) = 0;
  // GetDiskFreeSpaceA; nullopt when the call fails.
  virtual std::optional<ClusterFreeSpace> diskFreeSpace(const std::string& path) = 0;
  // SetVolumeLabelW of `rootPath` (for example "D:\"). Refused also when `label` is no GBK text
  // (a lone lead byte, say), which could not be given to the system unchanged.
  virtual SetLabelOutcome setVolumeLabel(const std::string& rootPath, const std::string& label) = 0;
  // The label GetVolumeInformationW reports for `rootPath`, converted to the OEM code page without
  // best-fit look-alikes; NotInOemCodePage when a character has no exact equivalent there.
  virtual OemLabel oemLabel(const std::string& rootPath) = 0;
  // GetLogicalDrives: bit 0 is A, bit 25 is Z.
  virtual std::uint32_t logicalDrives() = 0;
};

}  // namespace quenbolt

#pragma once
// A Windows machine in memory behind the platform interfaces. Tests are only as honest as it is,
// so it behaves as Windows does wherever the program could tell: disks are sparse (offsets far
// above 4 GiB cost nothing), a read past a disk's end transfers only the bytes inside it, a handle
// opened for reading refuses writes, a taken letter cannot be defined again, the volume
// information and label calls want "X:\". And it keeps the rules Wine lacks:
//   - since Vista a write through a disk handle into a mounted volume (one a letter leads to,
//     temporary letters included) is refused as access denied; a volume handle ("\\.\X:") may
//     write only the volume's reserved area (FAT: BPB_RsvdSecCnt sectors, else its first sector);
//   - SetVolumeLabel on FAT is what the FAT driver makes of it: upper-cased, at most 11 bytes, no
//     character FAT forbids, and on FAT32 stored in the root-directory label entry on the disk;
//   - registry strings come through the ANSI code page, losing what it cannot hold; labels go
//     through the wide calls with an explicit code page 936, so only non-GBK bytes are refused;
//   - a table written behind the system's back is seen only after a re-read request.
// Faults planted on a disk apply to every handle that reaches its sectors, disk or volume.
//
// One log records, in order, each disk access and each call that changes something or talks to
// the user (offsets are bytes on the disk, also through a volume handle):
//   "open 0 read ok", "open D: readwrite failed", "read 0 0x200 512", "read 0 0x200 failed",
//   "read 0 0x200 100" (short), "write D: 0x100000 512", "close 0", "label D:\ DATA ok|refused",
//   "fat 0 0x1040000 32" (the FAT driver's own write), "define H: \Device\Harddisk0\Partition2
//   ok|failed", "remove H: ok|failed", "reread 0 ok|failed", "status <text>", "requestClose",
//   "box <caption>|<text>|0x40", "shell D:".

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "model/sector.h"
#include "platform/platform.h"

namespace quenbolt {

constexpr std::uint64_t kAnyOffset = ~std::uint64_t{0};
constexpr std::uint32_t kErrorCrc = 23;  // what a read of a damaged sector fails with

// The `nth` matching access (0: every one) fails with `error` (0: access denied for opens and
// writes, a CRC error for reads), or with `bytes` >= 0 transfers only that many bytes.
enum class FaultOn { Open, OpenForWriting, Read, Write };
struct Fault {
  FaultOn on;
  std::uint64_t offset = kAnyOffset;  // of a read or write, on the disk
  long bytes = -1;
  unsigned nth = 0;
  std::uint32_t error = 0;
  unsigned seen = 0;
};

using DiskBytes = std::map<std::uint64_t, Sector>;  // sector index -> content; no zero sectors

struct SimulatedDisk {
  std::uint64_t size = 0;
  bool lengthKnown = true;  // IOCTL_DISK_GET_LENGTH_INFO answers (Wine's image files: no)
  DiskBytes sectors;
  std::vector<Fault> faults;

  // Content changed behind the program's back (not logged); offsets need not be aligned.
  void put(std::uint64_t offset, const std::string& bytes);
  void put(std::uint64_t offset, const Sector& sector);
  std::string bytes(std::uint64_t offset, std::size_t count) const;
  Sector sector(std::uint64_t offset) const;
};

struct SimulatedVolume {
  unsigned disk = 0;
  std::uint64_t start = 0, length = 0;  // the first extent, in bytes on the disk
  std::string label, fileSystem = "FAT32";
  std::uint64_t freeBytes = 0;
  std::optional<ClusterFreeSpace> clusters;  // GetDiskFreeSpaceA; unset: 4 KiB clusters of freeBytes
  unsigned driveType = kDriveFixed;
  bool noExtent = false, noInformation = false, noFreeSpace = false, refusesLabel = false;
};

// A REG_DWORD, a REG_SZ (GBK) or a value of another type.
using RegistryValue = std::variant<std::uint32_t, std::string, std::vector<std::uint8_t>>;

class SimulatedMachine : RawDisks, Registry, Volumes, DosDevices, SystemInfo, UiServices {
 public:
  Platform platform() { return {*this, *this, *this, *this, *this, *this}; }

  // Adds disk `index` (all zeros) and raises the registry's disk count to include it.
  SimulatedDisk& addDisk(unsigned index, std::uint64_t size);
  void setDiskCount(std::uint32_t count) { enumValues["COUNT"] = count; }
  // The volume a letter leads to: mounted, or through a defined name to a partition device.
  SimulatedVolume* volume(char letter);
  // Every disk's content, for byte-exact comparisons.
  std::map<unsigned, DiskBytes> contents() const;
  // The log lines that start with `prefix`, without it.
  std::vector<std::string> logged(const std::string& prefix) const;

  std::map<unsigned, SimulatedDisk> disks;
  // Values under SYSTEM\CurrentControlSet\Services\Disk\Enum, by upper-case name.
  std::map<std::string, RegistryValue> enumValues;
  unsigned ansiCodePage = 936;  // 1252: a Western Windows
  // Letters in use: mounted volumes, and with noExtent drives such as CD drives or shares.
  std::map<char, SimulatedVolume> letters;
  // "\Device\Harddisk<d>\Partition<n>" -> the volume a letter defined for it reaches.
  std::map<std::pair<unsigned, unsigned>, SimulatedVolume> partitionDevices;
  std::vector<std::pair<char, std::string>> defined;  // DefineDosDevice names, in order
  std::optional<OsVersion> version = OsVersion{2, 6, 1, 7601};  // nullopt: GetVersionExA fails
  std::optional<std::uint32_t> rawVersion;  // GetVersion, when not derived from `version`
  bool hasFreeSpaceEx = true, rereadFails = false;
  Cursor cursor = Cursor::Arrow;
  std::function<void()> whileBoxOpen;  // runs inside a message box's own message loop
  unsigned openHandles = 0;
  std::vector<std::string> log;

 private:
  friend class SimulatedHandle;
  std::unique_ptr<DiskHandle> openDisk(unsigned index, DiskAccess access) override;
  std::unique_ptr<DiskHandle> openVolume(char letter, DiskAccess access) override;
  bool updateDiskProperties(unsigned index) override;
  std::optional<std::uint32_t> readDword(const std::string& key, const std::string& name) override;
  std::optional<std::string> readString(const std::string& key, const std::string& name) override;
  unsigned driveType(const std::string& rootPath) override;
  VolumeExtent queryVolumeExtent(char letter) override;
  std::optional<VolumeInformation> volumeInformation(const std::string& rootPath) override;
  bool hasDiskFreeSpaceEx() override { return hasFreeSpaceEx; }
  std::optional<std::uint64_t> diskFreeSpaceEx(const std::string& path) override;
  std::optional<ClusterFreeSpace> diskFreeSpace(const std::string& path) override;
  bool setVolumeLabel(const std::string& rootPath, const std::string& label) override;
  std::uint32_t logicalDrives() override;
  bool defineRawTarget(const std::string& name, const std::string& target) override;
  bool removeDefinition(const std::string& name) override;
  std::uint32_t getVersion() override;
  std::optional<OsVersion> getVersionEx() override { return version; }
  void setCursor(Cursor c) override { cursor = c; }
  void setStatusText(const std::string& text) override { log.push_back("status " + text); }
  void requestClose() override { log.push_back("requestClose"); }
  void messageBox(const std::string& text, const std::string& caption, unsigned style) override;
  void shellOpen(const std::string& file) override { log.push_back("shell " + file); }

  const RegistryValue* enumValue(const std::string& key, const std::string& name) const;
  bool writeAllowed(unsigned disk, char letter, std::uint64_t at, std::size_t size);
  bool writeRootLabel(unsigned disk, std::uint64_t start, const std::string& label);
};

// A disk access of the log taken apart: "read 0 0x200 512" -> {"read", "0", 0x200, 512}; bytes
// is -1 for "failed". Nothing for other lines.
struct LoggedAccess {
  std::string op, device;
  std::uint64_t offset = 0;
  long bytes = -1;
};
std::optional<LoggedAccess> parseAccess(const std::string& line);

}  // namespace quenbolt

#pragma once
// A whole Windows machine in memory, behind the platform interfaces: physical disks as sparse
// sectors, registry values, mounted volumes, DOS device names, version numbers and the window
// system's services. Every access is logged, and any single disk access can be made to fail.
//
// Tests are only as honest as this machine, so it behaves like Windows where the program could
// tell the difference: a read that runs past the end of a disk transfers only the bytes inside
// it, a handle opened for reading refuses writes, a letter that is already taken cannot be
// defined again, and the volume information and label calls want a root path with a backslash.
// And it keeps the rules of Windows since Vista that Wine does not have:
//   - a write through a disk handle into the extent of a mounted volume (one a letter leads to,
//     temporary letters included) is refused, as access denied, unless that volume is locked;
//   - a write through a volume handle ("\\.\X:") is refused unless it lies inside the volume's
//     reserved area (its boot sectors; for FAT, BPB_RsvdSecCnt sectors) or the volume is locked;
//   - SetVolumeLabel on a FAT volume is what Windows' FAT driver makes of it: upper-cased, at most
//     11 characters and none of the characters FAT forbids, and on FAT32 stored in the
//     root-directory label entry on the disk itself (not in the boot sector);
//   - the calls that Windows makes in the ANSI code page (here: registry strings) convert through
//     the code page chosen with setAnsiCodePage, losing what it cannot hold. The label calls are
//     the wide ones with an explicit code page 936 conversion, as the platform interface says:
//     only a label that is no GBK text is refused.
// Faults planted on a disk apply to every handle that reaches its sectors, disk or volume.
//
// The machine must outlive every DiskHandle it hands out.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "model/sector.h"
#include "platform/platform.h"
#include "support/simulated_fat_label.h"

namespace quenbolt {

class SimulatedMachine;

// For fault injection: `nth` = kEveryTime fails every matching access; nth = k fails only the
// k-th matching access (counted from 1 since the fault was set).
constexpr unsigned kEveryTime = 0;
// For fault injection: matches an access at any offset.
constexpr std::uint64_t kAnyOffset = ~std::uint64_t{0};

// A disk's whole content at one moment. Sectors that hold only zeros are not stored, so two
// snapshots compare equal exactly when every byte (and the size) is the same.
struct DiskSnapshot {
  std::uint64_t size = 0;
  std::map<std::uint64_t, Sector> sectors;  // sector index -> content, non-zero sectors only

  bool operator==(const DiskSnapshot& other) const {
    return size == other.size && sectors == other.sectors;
  }
  bool operator!=(const DiskSnapshot& other) const { return !(*this == other); }
};
// The byte offsets at which `before` and `after` differ, ascending.
std::vector<std::uint64_t> differingOffsets(const DiskSnapshot& before, const DiskSnapshot& after);
// For GoogleTest: a short summary instead of a byte dump.
void PrintTo(const DiskSnapshot& snapshot, std::ostream* out);

enum class OpenFault { AnyAccess, ReadWriteOnly };

// ERROR_CRC: what a read of a damaged sector fails with.
constexpr std::uint32_t kErrorCrc = 23;

// One physical disk: its bytes, and the faults planted on it.
class SimulatedDisk {
 public:
  SimulatedDisk(unsigned index, std::uint64_t size) : index_(index), size_(size) {}

  unsigned index() const { return index_; }
  std::uint64_t size() const { return size_; }

  // Content, changed "behind the program's back" (nothing is logged). Offsets need not be
  // sector-aligned. Writing outside the disk is a test bug and throws std::out_of_range.
  void setSector(std::uint64_t offset, const Sector& sector);
  Sector sector(std::uint64_t offset) const;
  void setBytes(std::uint64_t offset, const std::vector<std::uint8_t>& bytes);
  std::vector<std::uint8_t> bytes(std::uint64_t offset, std::size_t count) const;
  std::uint8_t byte(std::uint64_t offset) const;
  DiskSnapshot snapshot() const;

  // Faults. A failed call leaves `error` as the system's error code; the defaults are what
  // Windows says most often: access denied for an open without administrator rights and for a
  // write into a mounted volume, a data error (CRC) for a read.
  void failOpen(OpenFault which = OpenFault::AnyAccess, unsigned nth = kEveryTime,
                std::uint32_t error = kErrorAccessDenied);
  void failRead(std::uint64_t offset, unsigned nth = kEveryTime, std::uint32_t error = kErrorCrc);
  // The read transfers only the first `bytes` bytes (fewer than 512).
  void shortRead(std::uint64_t offset, std::size_t bytes, unsigned nth = kEveryTime);
  void failWrite(std::uint64_t offset, unsigned nth = kEveryTime,
                 std::uint32_t error = kErrorAccessDenied);
  // The write stores and reports only the first `bytes` bytes.
  void shortWrite(std::uint64_t offset, std::size_t bytes, unsigned nth = kEveryTime);
  void clearFaults() { faults_.clear(); }
  // Whether IOCTL_DISK_GET_LENGTH_INFO answers (Windows: yes; Wine, for an image file: no).
  void setLengthKnown(bool known) { lengthKnown_ = known; }
  bool lengthKnown() const { return lengthKnown_; }

 private:
  friend class SimulatedMachine;
  friend class SimulatedDiskHandle;

  enum class FaultOp { Open, Read, Write };
  struct Fault {
    FaultOp op;
    std::uint64_t offset;
    OpenFault openWhich;
    unsigned nth;
    long result;  // -1: fails; otherwise the number of bytes transferred
    std::uint32_t error = 0;  // the system's error code when it fails
    unsigned seen = 0;
  };
  // The planted fault that decides this access, if any.
  std::optional<Fault> faultFor(FaultOp op, std::uint64_t offset, DiskAccess access);

  // Copies at most `count` bytes that lie inside the disk; returns how many.
  std::size_t copyOut(std::uint64_t offset, std::uint8_t* data, std::size_t count) const;
  void copyIn(std::uint64_t offset, const std::uint8_t* data, std::size_t count);

  unsigned index_;
  std::uint64_t size_;
  std::map<std::uint64_t, Sector> sectors_;
  std::vector<Fault> faults_;
  bool lengthKnown_ = true;
};

// What a drive letter leads to.
struct SimulatedVolume {
  unsigned disk = 0;                  // DiskNumber of the first extent
  std::uint64_t startOffset = 0;      // StartingOffset of the first extent
  std::uint64_t length = 0;           // ExtentLength
  std::string label;                  // what GetVolumeInformation reports (GBK)
  std::string fileSystem = "FAT32";
  std::uint64_t freeBytes = 0;        // GetDiskFreeSpaceExA's total free bytes
  // GetDiskFreeSpaceA's answer; when unset: 512 bytes per sector, 8 sectors per cluster,
  // freeBytes / 4096 free clusters, and as many total clusters.
  std::optional<ClusterFreeSpace> clusters;
  unsigned driveType = kDriveFixed;
  bool extentQueryFails = false;      // queryVolumeExtent answers all zeros
  bool informationFails = false;      // GetVolumeInformation fails
  bool freeSpaceFails = false;        // both free-space calls fail
  bool refusesLabel = false;          // SetVolumeLabel fails
  // Locked (or dismounted) by the writer: neither a disk nor a volume handle is held back from its
  // sectors. The program never locks a volume.
  bool locked = false;
};

enum class DiskOp { Open, Read, Write, Close };

struct DiskAccessRecord {
  std::uint64_t seq = 0;  // position among all logged events (disk accesses and calls)
  DiskOp op = DiskOp::Open;
  unsigned disk = 0;
  std::uint64_t offset = 0;  // Read/Write only; on the disk, also through a volume handle
  char volume = 0;           // the drive letter of a volume handle; 0 for a disk handle
  DiskAccess access = DiskAccess::Read;  // of the open / of the handle
  bool ok = false;
  long bytes = 0;  // Read/Write: bytes transferred, -1 when the call failed
};

enum class CallKind {
  ReadDword, ReadString,
  DriveType, QueryVolumeExtent, VolumeInformation, HasDiskFreeSpaceEx, DiskFreeSpaceEx,
  DiskFreeSpace, SetLabel, LogicalDrives, UpdateProperties,
  DefineName, RemoveName,
  Version, VersionEx,
  SetCursor, SetStatusText, RequestClose, ShowMessageBox, ShellOpen,
};
// (No enumerator is spelled like a Win32 function: <windows.h> turns many of those into macros.)

struct PlatformCall {
  std::uint64_t seq = 0;
  CallKind kind = CallKind::DriveType;
  std::string first;   // key / path / device name / text / file
  std::string second;  // value name / label / target / caption
  unsigned value = 0;  // message box style; cursor (0 arrow, 1 wait)
  bool ok = true;      // false when the call failed or was refused
};

struct MessageBoxRecord {
  std::string text;
  std::string caption;
  unsigned style = 0;
};

class SimulatedMachine : private RawDisks,
                         private Registry,
                         private Volumes,
                         private DosDevices,
                         private SystemInfo,
                         private UiServices {
 public:
  SimulatedMachine() = default;
  SimulatedMachine(const SimulatedMachine&) = delete;
  SimulatedMachine& operator=(const SimulatedMachine&) = delete;
  ~SimulatedMachine() override = default;

  Platform platform();

  // --- Disks -------------------------------------------------------------------------------
  // Adds (or replaces) physical disk `index`, all zeros.
  SimulatedDisk& addDisk(unsigned index, std::uint64_t sizeBytes);
  SimulatedDisk& disk(unsigned index);  // throws std::out_of_range when there is none
  const SimulatedDisk& disk(unsigned index) const;
  // Handles handed out and not yet destroyed.
  unsigned openHandles() const { return openHandles_; }
  // IOCTL_DISK_UPDATE_PROPERTIES requests for disk `index`, and whether they fail (they touch no
  // sector and meet no planted disk fault).
  unsigned updateRequests(unsigned index) const;
  void setUpdateRequestsFail(bool fail) { updateRequestsFail_ = fail; }

  // --- Registry (HKEY_LOCAL_MACHINE; key and value names compare case-insensitively) ------
  void setDword(const std::string& key, const std::string& name, std::uint32_t value);
  void setString(const std::string& key, const std::string& name, const std::string& value);
  // The code page of the ANSI calls: 936 (Chinese Windows, the default) or 1252 (Western).
  void setAnsiCodePage(unsigned codePage) { ansiCodePage_ = codePage; }
  // A value of a third type (REG_BINARY): neither readDword nor readString accepts it.
  void setBinary(const std::string& key, const std::string& name, const std::vector<std::uint8_t>& value);
  void removeValue(const std::string& key, const std::string& name);
  // Under "SYSTEM\CurrentControlSet\Services\Disk\Enum": "Count" and "<index>".
  void setDiskCount(std::uint32_t count);
  void setDiskInstancePath(unsigned index, const std::string& path);

  // --- Volumes and letters -----------------------------------------------------------------
  // Mounts `volume` under `letter` (upper or lower case), replacing whatever was there.
  void mountVolume(char letter, const SimulatedVolume& volume);
  void unmountVolume(char letter);
  // A letter in use by something that has no disk extent (CD drive, network share).
  void takeLetter(char letter, unsigned driveType);
  // The volume a letter leads to now (mounted, or through a defined DOS name); nullptr if none.
  SimulatedVolume* volume(char letter);
  void setHasDiskFreeSpaceEx(bool present) { hasFreeSpaceEx_ = present; }

  // --- DOS devices -------------------------------------------------------------------------
  // "\Device\Harddisk<disk>\Partition<number>": defining a letter for it makes `volume`
  // reachable under that letter (its disk is forced to `disk`).
  void addPartitionDevice(unsigned disk, unsigned number, const SimulatedVolume& volume);
  SimulatedVolume* partitionDevice(unsigned disk, unsigned number);
  // Names currently defined with DefineDosDeviceA, in order of definition ("F:").
  std::vector<std::string> definedNames() const;
  std::string definedTarget(const std::string& name) const;  // empty when not defined
  // Every define request fails, as without administrator rights.
  void setRefuseDefinitions(bool refuse) { refuseDefinitions_ = refuse; }

  // --- Which Windows ----------------------------------------------------------------------
  // Sets GetVersion and GetVersionExA consistently. Default: NT 6.1 build 7601.
  void setOsVersion(const OsVersion& version);
  void setRawVersion(std::uint32_t getVersionResult) { rawVersion_ = getVersionResult; }
  void setVersionExFails() { versionEx_.reset(); }

  // --- What happened -----------------------------------------------------------------------
  const std::vector<DiskAccessRecord>& diskLog() const { return diskLog_; }
  std::vector<DiskAccessRecord> diskLog(DiskOp op) const;
  const std::vector<PlatformCall>& calls() const { return calls_; }
  std::vector<PlatformCall> calls(CallKind kind) const;
  // Disk accesses and every call that changes something or talks to the user, as text, in
  // order (queries are only in calls()):
  //   "open 0 read ok", "open 1 readwrite failed", "read 0 0x1BE 512", "read 0 0x200 failed",
  //   "write 0 0x0 512", "close 0", "setVolumeLabel D:\ DATA ok", "define F: \Device\... ok",
  //   "remove F: ok", "cursor wait", "cursor arrow", "status <text>", "requestClose",
  //   "messageBox <caption>|<text>|0x40", "shellOpen D:\", "updateProperties 0 ok";
  //   through a volume handle with the letter and offsets on the volume: "open D: readwrite ok",
  //   "read D: 0x0 512", "write D: 0xC00 512", "close D:"
  const std::vector<std::string>& journal() const { return journal_; }
  // Bytes the file system wrote on its own (the FAT label entry of SetVolumeLabel), in order.
  const std::vector<FileSystemWrite>& fileSystemWrites() const { return fileSystemWrites_; }
  // Clears the logs and the UI records below; the machine's state stays.
  void clearLogs();

  // UI records.
  const std::vector<Cursor>& cursorChanges() const { return cursors_; }
  Cursor currentCursor() const { return cursors_.empty() ? Cursor::Arrow : cursors_.back(); }
  const std::vector<std::string>& statusTexts() const { return statusTexts_; }
  std::string statusText() const { return statusTexts_.empty() ? std::string() : statusTexts_.back(); }
  unsigned closeRequests() const { return closeRequests_; }
  const std::vector<MessageBoxRecord>& messageBoxes() const { return messageBoxes_; }
  const std::vector<std::string>& shellOpens() const { return shellOpens_; }

 private:
  friend class SimulatedDiskHandle;

  // RawDisks
  std::unique_ptr<DiskHandle> openDisk(unsigned index, DiskAccess access) override;
  std::unique_ptr<DiskHandle> openVolume(char letter, DiskAccess access) override;
  bool updateDiskProperties(unsigned index) override;
  // Registry
  std::optional<std::uint32_t> readDword(const std::string& key, const std::string& name) override;
  std::optional<std::string> readString(const std::string& key, const std::string& name) override;
  // Volumes
  unsigned driveType(const std::string& rootPath) override;
  VolumeExtent queryVolumeExtent(char letter) override;
  std::optional<VolumeInformation> volumeInformation(const std::string& rootPath) override;
  bool hasDiskFreeSpaceEx() override;
  std::optional<std::uint64_t> diskFreeSpaceEx(const std::string& path) override;
  std::optional<ClusterFreeSpace> diskFreeSpace(const std::string& path) override;
  bool setVolumeLabel(const std::string& rootPath, const std::string& label) override;
  std::uint32_t logicalDrives() override;
  // DosDevices
  bool defineRawTarget(const std::string& name, const std::string& target) override;
  bool removeDefinition(const std::string& name) override;
  // SystemInfo
  std::uint32_t getVersion() override;
  std::optional<OsVersion> getVersionEx() override;
  // UiServices
  void setCursor(Cursor cursor) override;
  void setStatusText(const std::string& text) override;
  void requestClose() override;
  void messageBox(const std::string& text, const std::string& caption, unsigned style) override;
  void shellOpen(const std::string& file) override;

  enum class RegType { Dword, String, Binary };
  struct RegValue {
    RegType type;
    std::uint32_t dword = 0;
    std::string text;
  };
  const RegValue* findValue(const std::string& key, const std::string& name) const;
  // `base` is where the volume of a volume handle (`volume` not 0) starts on the disk.
  void logDisk(DiskOp op, unsigned disk, std::uint64_t offset, DiskAccess access, bool ok, long bytes,
               char volume = 0, std::uint64_t base = 0);
  // Whether a write of `size` bytes at `offset` of `disk` through a disk handle, or through the
  // volume handle of `volume`, is let through.
  bool diskWriteAllowed(unsigned disk, std::uint64_t offset, std::size_t size);
  bool volumeWriteAllowed(char volume, std::uint64_t offset, std::size_t size);
  // The volumes letters lead to now, mounted or through defined names.
  std::vector<const SimulatedVolume*> mountedVolumes();
  std::string ansiText(const std::string& gbk) const;
  void logCall(CallKind kind, std::string first, std::string second, unsigned value, bool ok);
  void note(std::string line);
  std::uint32_t takenLetters() const;

  std::map<unsigned, SimulatedDisk> disks_;
  unsigned openHandles_ = 0;
  std::map<unsigned, unsigned> updateRequests_;
  bool updateRequestsFail_ = false;
  unsigned ansiCodePage_ = 936;

  std::map<std::pair<std::string, std::string>, RegValue> registry_;  // upper-cased key, name

  std::map<char, SimulatedVolume> mounted_;
  std::map<char, unsigned> otherLetters_;  // letter -> drive type
  std::map<std::pair<unsigned, unsigned>, SimulatedVolume> partitionDevices_;
  std::vector<std::pair<char, std::string>> defined_;  // letter -> target, in order of definition
  bool refuseDefinitions_ = false;
  bool hasFreeSpaceEx_ = true;

  std::uint32_t rawVersion_ = 0x1DB10106;  // 6.1, build 7601
  std::optional<OsVersion> versionEx_ = OsVersion{2, 6, 1, 7601};

  std::uint64_t seq_ = 0;
  std::vector<DiskAccessRecord> diskLog_;
  std::vector<PlatformCall> calls_;
  std::vector<std::string> journal_;
  std::vector<FileSystemWrite> fileSystemWrites_;
  std::vector<Cursor> cursors_;
  std::vector<std::string> statusTexts_;
  unsigned closeRequests_ = 0;
  std::vector<MessageBoxRecord> messageBoxes_;
  std::vector<std::string> shellOpens_;
};

}  // namespace quenbolt

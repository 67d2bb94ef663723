#pragma once
// A Windows machine in memory behind the platform interfaces; tests are only as honest as it is. As
// Windows: sparse disks (offsets far above 4 GiB cost nothing); a read past a disk's end transfers
// only the bytes inside it; a handle opened for reading refuses writes; a taken letter cannot be
// defined again. And the rules Wine lacks: since Vista a disk handle may not write into a mounted
// volume (temporary letters included), a volume's own handle only into its reserved area (FAT:
// BPB_RsvdSecCnt sectors, else its first sector), and a volume with no file system ("RAW") is no
// volume in the way; SetVolumeLabel on FAT upper-cases as Windows does (a to z, ａ to ｚ, α to ω,
// а to я), refuses more than 11 bytes in the OEM code page (GetOEMCP: 936, or another that holds
// only ASCII here), a character the OEM code page lacks, one FAT forbids or a leading blank, and on
// FAT32 keeps the label in the root directory's label entry (in the first cluster), the only copy
// it writes; on "RAW" it answers that the volume is not recognised. Faults planted on a disk apply
// to every handle that reaches its sectors. One log holds each disk access (offsets on the disk,
// also through a volume) and each call that changes something or talks to the user, in order: "open
// 0 read ok", "open D: readwrite failed", "read 0 0x200 512|failed", "write D: 0x100000 100"
// (short), "close 0", "label D:\ DATA ok|refused", "fat 0 0x1040000 12" (the FAT driver's entry),
// "define H: \Device\Harddisk0\Partition2 ok", "remove H: ok", "reread 0 ok", "status <text>",
// "requestClose", "box <caption>|<text>|0x40", "shell D:". Beside it, the sectors tests lay onto
// its disks, written field by field as the on-disk formats define them.

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>
#include "platform/platform.h"

namespace quenbolt {
// `bytes` little-endian bytes of `value`.
inline std::string le(std::uint64_t value, unsigned bytes) {
  std::string out;
  for (unsigned i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
  return out;
}

inline void place(Sector& sector, std::size_t at, const std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size() && at + i < sector.size(); ++i)
    sector[at + i] = static_cast<std::uint8_t>(bytes[i]);
}

// A sector of zeros with each (offset, bytes) of `fields` placed in it.
inline Sector sectorWith(std::initializer_list<std::pair<std::size_t, std::string>> fields) {
  Sector s{};
  for (const auto& [at, bytes] : fields) place(s, at, bytes);
  return s;
}

// One partition table entry: slot 0 to 3, boot indicator, type, start sector, sector count.
struct Entry {
  unsigned slot;
  std::uint8_t boot, type;
  std::uint32_t start, count;
};

// An MBR or EBR holding `entries` and, unless told otherwise, the signature 55 AA.
inline Sector table(std::initializer_list<Entry> entries, bool signature = true) {
  Sector s{};
  for (const Entry& e : entries)
    place(s, 0x1BE + 16 * e.slot,
          le(e.boot, 4) + static_cast<char>(e.type) + le(0, 3) + le(e.start, 4) + le(e.count, 4));
  if (signature) place(s, 0x1FE, "\x55\xAA");
  return s;
}

// A FAT32 boot sector of `sectorSize`-byte sectors: 8 to a cluster, 32 reserved, two FATs of 1024,
// the root directory in cluster 2 (kFat32RootSector sectors in), 100000 of 512 bytes in all,
// BPB_BkBootSec `backup` (0: none); `label` at 0x47 as given, blank-padded, not upper-cased.
constexpr std::uint64_t kFat32RootSector = 32 + 2 * 1024;
inline Sector fat32Boot(const std::string& label, unsigned backup = 0, unsigned sectorSize = 512) {
  return sectorWith({{0, "\xEB\x58\x90MSDOS5.0" + le(sectorSize, 2) + "\x08" + le(32, 2) + "\x02"},
                     {0x20, le(100000 / (sectorSize / 512), 4) + le(1024, 4) + le(0, 4) + le(2, 4) +
                                le(0, 2) + le(backup, 2)},
                     {0x42, "\x29" + le(0x1234ABCD, 4) +
                                (label + std::string(11, ' ')).substr(0, 11) + "FAT32   "},
                     {0x1FE, "\x55\xAA"}});
}

inline Sector ntfsBoot() {  // no label field at all
  return sectorWith({{0, "\xEB\x52\x90NTFS    " + le(512, 2) + "\x08"}, {0x1FE, "\x55\xAA"}});
}

// a to z upper-cased; both bytes of a double-byte GBK character stay as they are.
inline std::string upperAscii(std::string text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x81 && static_cast<unsigned char>(text[i]) <= 0xFE)
      ++i;
    else if (text[i] >= 'a' && text[i] <= 'z')
      text[i] = static_cast<char>(text[i] - 32);
  }
  return text;
}

inline std::string hexText(std::uint64_t value) {  // "0x1BE"
  const char digit = "0123456789ABCDEF"[value % 16];
  return (value < 16 ? std::string("0x") : hexText(value / 16)) + digit;
}

constexpr std::uint64_t kAnyOffset = ~std::uint64_t{0};

// The `nth` matching access (0: every one) at `offset` fails with `error` (0: access denied for
// opens and writes, a CRC error for reads), or with `bytes` >= 0 transfers only that many. A lost
// write reports success and stores nothing, as a disk whose cache fails may.
enum class FaultOn { Open, OpenForWriting, Read, Write, LostWrite };
struct Fault {
  FaultOn on;
  std::uint64_t offset = kAnyOffset;
  long bytes = -1;
  unsigned nth = 0, error = 0, seen = 0;
};

// A disk's bytes in 512-byte chunks whatever its sector size (index -> bytes), none all zeros.
using Chunk = std::array<std::uint8_t, 512>;
using DiskBytes = std::map<std::uint64_t, Chunk>;

struct SimulatedDisk {
  std::uint64_t size = 0;
  bool lengthKnown = true;  // IOCTL_DISK_GET_LENGTH_INFO answers (Wine's image files: no)
  DiskBytes sectors;
  std::vector<Fault> faults;
  // The logical sector size the disk reports; a transfer that is not whole sectors of it at a
  // multiple of it is refused (ERROR_INVALID_PARAMETER), as the disk class driver refuses it.
  std::size_t sectorSize = 512;
  // Content changed behind the program's back (not logged); offsets need not be aligned.
  void put(std::uint64_t offset, const std::string& bytes);
  void put(std::uint64_t offset, const Sector& s) { put(offset, std::string(s.begin(), s.end())); }
  std::string bytes(std::uint64_t offset, std::size_t count) const;
  Sector sector(std::uint64_t offset) const { return sectorWith({{0, bytes(offset, 512)}}); }
};

struct SimulatedVolume {
  unsigned disk = 0;
  std::uint64_t start = 0, length = 0;  // the first extent, in bytes on the disk
  std::string label = "", fileSystem = "FAT32";
  std::uint64_t freeBytes = 0;
  unsigned driveType = kDriveFixed;
  bool noExtent = false, noInformation = false, noFreeSpace = false, refusesLabel = false;
};

class SimulatedMachine : RawDisks, Registry, Volumes, DosDevices, SystemInfo, UiServices {
 public:
  Platform platform() { return {*this, *this, *this, *this, *this, *this}; }

  // All zeros; the disk count grows to include it.
  SimulatedDisk& addDisk(unsigned index, std::uint64_t size, std::size_t sectorSize = 512);
  void setDiskCount(std::uint32_t count) { enumValues["COUNT"] = count; }
  SimulatedVolume* volume(char letter);  // mounted, or through a defined name to a partition device
  std::map<unsigned, DiskBytes> contents() const;
  // The lines of the log that start with `prefix`, without it.
  std::vector<std::string> logged(const std::string& prefix) const;

  std::map<unsigned, SimulatedDisk> disks;
  // SYSTEM\CurrentControlSet\Services\Disk\Enum by upper-case name: REG_DWORD or REG_SZ (GBK).
  using Value = std::variant<std::uint32_t, std::string>;
  std::map<std::string, Value> enumValues;
  // Letters in use: mounted volumes and, with noExtent, drives such as CD drives or shares.
  std::map<char, SimulatedVolume> letters;
  // "\Device\Harddisk<d>\Partition<n>" -> the volume a letter defined for it reaches.
  std::map<std::pair<unsigned, unsigned>, SimulatedVolume> partitionDevices;
  std::vector<std::pair<char, std::string>> defined;  // DefineDosDevice names, in order
  std::uint32_t rawVersion = 0x1DB10106;              // GetVersion: 6.1, build 7601
  unsigned oemCp = 936;                               // GetOEMCP: a Chinese Windows
  bool rereadFails = false;
  Cursor cursor = Cursor::Arrow;
  std::function<void()> whileBoxOpen;  // runs inside a message box's own message loop
  std::function<void()> whenClosed;    // runs after each handle's close: another program's turn
  unsigned openHandles = 0;
  std::vector<std::string> log;

 private:
  friend class SimulatedHandle;
  std::unique_ptr<DiskHandle> openDisk(unsigned index, DiskAccess access) override;
  std::unique_ptr<DiskHandle> openVolume(char letter, DiskAccess access) override;
  bool updateDiskProperties(unsigned index) override;
  std::optional<std::uint32_t> readDword(const std::string& key, const std::string& name) override;
  std::optional<std::string> readString(const std::string& key, const std::string& name) override;
  const Value* enumValue(const std::string& key, const std::string& name) const;
  // The volume of "X:", or with `backslash` of "X:\" only.
  SimulatedVolume* at(const std::string& path, bool backslash);
  unsigned driveType(const std::string& root) override {
    return at(root, false) ? at(root, false)->driveType : kDriveNoRootDir;
  }
  VolumeExtent queryVolumeExtent(char letter) override {
    log.push_back(std::string("extent ") + letter);
    const SimulatedVolume* v = volume(letter);
    return v && !v->noExtent ? VolumeExtent{v->disk, v->start, v->length} : VolumeExtent{};
  }
  std::optional<VolumeInformation> volumeInformation(const std::string& root) override {
    const SimulatedVolume* v = at(root, true);
    return v && !v->noInformation ? std::optional<VolumeInformation>({v->label, v->fileSystem})
                                  : std::nullopt;
  }
  bool hasDiskFreeSpaceEx() override { return true; }
  std::optional<std::uint64_t> diskFreeSpaceEx(const std::string& path) override {
    const SimulatedVolume* v = at(path, false);
    return v && !v->noFreeSpace ? std::optional<std::uint64_t>(v->freeBytes) : std::nullopt;
  }
  std::optional<ClusterFreeSpace> diskFreeSpace(const std::string&) override {
    return std::nullopt;
  }  // the newer call is there
  SetLabelOutcome setVolumeLabel(const std::string& rootPath, const std::string& label) override;
  OemLabel oemLabel(const std::string& rootPath) override;
  std::uint32_t logicalDrives() override;
  std::uint32_t lettersInUse() const;
  bool defineRawTarget(const std::string& name, const std::string& target) override;
  bool removeDefinition(const std::string& name) override;
  std::uint32_t getVersion() override { return rawVersion; }
  std::optional<OsVersion> getVersionEx() override { return OsVersion{2, 6, 1, 7601}; }
  unsigned oemCodePage() override { return oemCp; }
  void setCursor(Cursor c) override { cursor = c; }
  void setStatusText(const std::string& text) override { log.push_back("status " + text); }
  void requestClose() override { log.push_back("requestClose"); }
  void messageBox(const std::string& text, const std::string& caption, unsigned style) override;
  void shellOpen(const std::string& file) override { log.push_back("shell " + file); }

  bool writeAllowed(unsigned disk, char letter, std::uint64_t at, std::size_t size);
  bool writeRootLabel(unsigned disk, std::uint64_t start, const std::string& label);
  // The label as the FAT driver keeps it (upper-cased the Windows way, in the OEM code page), or
  // nothing when the driver refuses it.
  std::optional<std::string> fatDriverLabel(const std::string& label) const;
};

// The bytes in which two sets of disk contents differ, as (disk, offset); absent chunks are zeros.
std::vector<std::pair<unsigned, std::uint64_t>> differingBytes(std::map<unsigned, DiskBytes> a,
                                                               std::map<unsigned, DiskBytes> b);

// A read or write of the log taken apart: "read 0 0x200 512" -> {"read", "0", 0x200, 512}.
struct LoggedAccess {
  std::string op, device;
  std::uint64_t offset = 0;
  long bytes = -1;  // "failed"
};
std::optional<LoggedAccess> parseAccess(const std::string& line);
}  // namespace quenbolt

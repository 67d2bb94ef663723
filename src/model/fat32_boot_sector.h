#pragma once
// The FAT32 boot-sector fields the program reads and writes.

#include <cstdint>
#include <optional>
#include <string>

#include "model/sector.h"

namespace quenbolt {

constexpr std::size_t kBootLabelOffset = 0x47;
constexpr std::size_t kBootLabelSize = 11;
constexpr std::size_t kFileSystemTypeOffset = 0x52;
constexpr std::size_t kBytesPerSectorOffset = 0x0B;     // BPB_BytsPerSec, 2 bytes
constexpr std::size_t kReservedSectorsOffset = 0x0E;    // BPB_RsvdSecCnt, 2 bytes
constexpr std::size_t kBackupBootSectorOffset = 0x32;   // BPB_BkBootSec, 2 bytes
constexpr std::size_t kSectorsPerClusterOffset = 0x0D;  // BPB_SecPerClus, 1 byte
constexpr std::size_t kFatCountOffset = 0x10;           // BPB_NumFATs, 1 byte
constexpr std::size_t kTotalSectors16Offset = 0x13;     // BPB_TotSec16, 2 bytes (0: see TotSec32)
constexpr std::size_t kTotalSectorsOffset = 0x20;       // BPB_TotSec32, 4 bytes
constexpr std::size_t kFatSectorsOffset = 0x24;         // BPB_FATSz32, 4 bytes
constexpr std::size_t kRootClusterOffset = 0x2C;        // BPB_RootClus, 4 bytes

// Directory entries.
constexpr std::size_t kDirectoryEntrySize = 32;
constexpr std::size_t kEntryAttributesOffset = 11;
constexpr std::uint8_t kVolumeLabelAttribute = 0x08;
constexpr std::uint8_t kLongNameAttributes = 0x0F;
constexpr std::uint8_t kFreeEntryMark = 0xE5;  // first name byte of a deleted entry
constexpr std::uint8_t kKanjiE5Escape = 0x05;  // stands for a first name byte of 0xE5
// The most entries a FAT directory may hold.
constexpr std::uint32_t kMaxDirectoryEntries = 65536;

// Where a FAT32 volume keeps its FAT and its clusters, in sectors from the volume's start, as its
// boot sector's BPB says.
struct Fat32Layout {
  unsigned bytesPerSector = 0;
  unsigned sectorsPerCluster = 0;
  std::uint32_t reservedSectors = 0;  // the first FAT starts here
  std::uint64_t firstDataSector = 0;  // cluster 2 starts here
  std::uint32_t clusterCount = 0;     // clusters 2 to clusterCount + 1 exist
  std::uint32_t rootCluster = 0;

  bool isCluster(std::uint32_t cluster) const { return cluster >= 2 && cluster - 2 < clusterCount; }
  std::uint64_t clusterSector(std::uint32_t cluster) const {
    return firstDataSector + std::uint64_t{cluster - 2} * sectorsPerCluster;
  }
};

// The layout of a FAT32 boot sector's volume, or nothing when its BPB contradicts itself (sizes
// that are zero or not powers of two, a FAT or a root cluster outside the volume).
std::optional<Fat32Layout> fat32Layout(const Sector& sector);

// True when the five bytes at 0x52, upper-cased, read "FAT32".
bool isFat32BootSector(const Sector& sector);

// BPB_BytsPerSec. A boot sector whose sector size is not the disk's own is not written: every
// sector number in its volume would be wrong.
unsigned bytesPerSector(const Sector& sector);

// The sector, counted from the volume's start, of the backup boot sector that BPB_BkBootSec
// names, when it names one inside the reserved area (BPB_RsvdSecCnt sectors): 0 and 0xFFFF mean
// there is none, and a sector beyond the reserved area would be file system data.
std::optional<std::uint32_t> backupBootSector(const Sector& sector);

// The 11 label bytes at 0x47, as stored.
std::string bootSectorLabelField(const Sector& sector);

// The label the field holds, trimmed; empty for "NO NAME", which FAT writes there for none.
std::string bootSectorLabel(const Sector& sector);

}  // namespace quenbolt

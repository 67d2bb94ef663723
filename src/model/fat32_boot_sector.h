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
constexpr std::size_t kBytesPerSectorOffset = 0x0B;   // BPB_BytsPerSec, 2 bytes
constexpr std::size_t kReservedSectorsOffset = 0x0E;  // BPB_RsvdSecCnt, 2 bytes
constexpr std::size_t kBackupBootSectorOffset = 0x32; // BPB_BkBootSec, 2 bytes

// True when the five bytes at 0x52, upper-cased, read "FAT32".
bool isFat32BootSector(const Sector& sector);

// BPB_BytsPerSec. The program reads and writes 512-byte sectors only, so a boot sector that
// says otherwise is not one it writes.
unsigned bytesPerSector(const Sector& sector);

// The sector, counted from the volume's start, of the backup boot sector that BPB_BkBootSec
// names, when it names one inside the reserved area (BPB_RsvdSecCnt sectors): 0 and 0xFFFF mean
// there is none, and a sector beyond the reserved area would be file system data.
std::optional<std::uint32_t> backupBootSector(const Sector& sector);

// The 11 label bytes at 0x47, as stored.
std::string bootSectorLabelField(const Sector& sector);

// The 11 bytes a label is stored as: cut to 11 bytes without leaving a lone lead byte, padded
// with blanks, upper-cased.
std::string bootSectorLabelBytes(const std::string& label);

}  // namespace quenbolt

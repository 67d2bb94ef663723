#pragma once
// The GUID partition table behind a protective MBR: the header and entry layouts, the checks a
// copy of the table must pass before anything in it is trusted, the used entries of the first
// copy that passes them, and the CRC rule a copy is sealed with. Sector sizes are a parameter.

#include <cstdint>
#include <optional>
#include <vector>

#include "model/disk_layout.h"
#include "model/gpt_types.h"
#include "model/partition_table.h"
#include "model/sector.h"

namespace quenbolt {

// The MBR type that marks a disk as GPT. Nothing in this program writes it or replaces it.
constexpr std::uint8_t kProtectiveType = 0xEE;

// Header fields (at LBA 1, and the backup copy at the disk's last sector).
constexpr std::uint32_t kGptSignatureField = 0;  // "EFI PART"
constexpr std::uint32_t kGptHeaderSizeField = 12;
constexpr std::uint32_t kGptHeaderCrcField = 16;
constexpr std::uint32_t kGptMyLbaField = 24;
constexpr std::uint32_t kGptAlternateLbaField = 32;
constexpr std::uint32_t kGptFirstUsableLbaField = 40;
constexpr std::uint32_t kGptLastUsableLbaField = 48;
constexpr std::uint32_t kGptEntryArrayLbaField = 72;
constexpr std::uint32_t kGptEntryCountField = 80;
constexpr std::uint32_t kGptEntrySizeField = 84;
constexpr std::uint32_t kGptEntryArrayCrcField = 88;
constexpr std::uint32_t kGptMinHeaderSize = 92;
// Entry fields.
constexpr std::uint32_t kGptTypeGuidField = 0;
constexpr std::uint32_t kGptFirstLbaField = 32;
constexpr std::uint32_t kGptLastLbaField = 40;
constexpr std::uint32_t kGptAttributesField = 48;
constexpr std::uint32_t kGptMinEntrySize = 128;
// The most entry-array bytes read from one copy: 8 times what any tool writes, and a bound on what
// a hostile header can make the program read and hold.
constexpr std::uint64_t kGptMaxEntryArrayBytes = 1024 * 1024;
// Attribute bits: 0 the platform needs the partition; for basic data partitions 60 read-only,
// 62 hidden (Windows does not mount it), 63 no drive letter.
constexpr unsigned kGptRequiredAttributeBit = 0;
constexpr unsigned kGptReadOnlyAttributeBit = 60;
constexpr unsigned kGptHiddenAttributeBit = 62;
constexpr unsigned kGptNoLetterAttributeBit = 63;
// What hiding a partition sets and showing it clears: hidden, and no drive letter.
constexpr std::uint64_t kGptHideAttributes =
    std::uint64_t{1} << kGptHiddenAttributeBit | std::uint64_t{1} << kGptNoLetterAttributeBit;

struct GptPartition {
  unsigned number = 0;      // 1, 2, ... among the used entries, in entry order
  std::uint32_t entry = 0;  // its index in the entry array
  Guid type{};
  std::uint64_t firstLba = 0;
  std::uint64_t lastLba = 0;  // never below firstLba
  std::uint64_t attributes = 0;

  bool isHidden() const { return (attributes >> kGptHiddenAttributeBit & 1) != 0; }
  std::uint64_t sectorCount() const { return lastLba - firstLba + 1; }
};

enum class GptCopy { Primary, Backup };

// A header's fields, as read.
struct GptHeader {
  std::uint32_t headerSize = 0;
  std::uint64_t myLba = 0;
  std::uint64_t alternateLba = 0;
  std::uint64_t firstUsable = 0;
  std::uint64_t lastUsable = 0;
  std::uint64_t arrayLba = 0;
  std::uint32_t entryCount = 0;
  std::uint32_t entrySize = 0;
  std::uint32_t arrayCrc = 0;

  std::uint64_t arrayBytes() const { return std::uint64_t{entryCount} * entrySize; }
  // The sectors the entries take, the last one perhaps in part.
  std::uint64_t arraySectors(std::size_t sectorSize) const {
    return (arrayBytes() + sectorSize - 1) / sectorSize;
  }
};

struct GptTable {
  GptCopy copy = GptCopy::Primary;  // the copy the partitions come from
  GptHeader header;                 // that copy's header
  std::size_t sectorSize = kSectorSize;
  std::vector<GptPartition> partitions;
};

// The first used entry of type EE when `mbr` is a valid table sector that holds one.
std::optional<PartitionEntry> protectiveEntryOf(const Sector& mbr);

// The header in `sector` when it is intact as the header at `lba`: signature "EFI PART", a header
// size within 92 and the sector's size, its CRC (computed with the CRC field zeroed), its own LBA.
std::optional<GptHeader> intactGptHeader(const Sector& sector, std::uint64_t lba);

// Whether an intact header's fields describe a table that fits a disk of `end` sectors: a usable
// range that is non-empty, inside the disk and clear of LBAs 0 and 1 and of the header; an entry
// size of 128 x 2^n; at most 1 MiB of entries; an array inside the disk, outside the usable range
// and clear of LBAs 0 and 1 and of the header.
bool isSoundGptLayout(const GptHeader& header, std::uint64_t end, std::size_t sectorSize);

// The used entries of an entry array (at least entry count x entry size bytes) whose CRC matches
// `header`, each inside the usable range; nothing when the CRC or an entry is wrong.
std::optional<std::vector<GptPartition>> gptPartitionsOf(const std::vector<std::uint8_t>& array,
                                                         const GptHeader& header);

// The entry-array CRC over entry count x entry size bytes of `array` (not the padding of the last
// sector), and the header CRC over header size bytes with the CRC field taken as zero: the CRC
// rule of a GPT copy, in one place.
std::uint32_t gptArrayCrc(const std::vector<std::uint8_t>& array, const GptHeader& header);
// Stores `arrayCrc` in `headerSector` (a header whose size field is sound) and then its own CRC.
void sealGptHeader(Sector& headerSector, std::uint32_t arrayCrc);

// The table behind `mbr`'s protective entry, on a disk of `sectorSize`-byte sectors; `read` reads
// one such sector at a byte offset. `diskSectors` is the disk's length in sectors when the system
// can tell it. The primary copy is the header at LBA 1 and its entry array; when it fails a
// check, the backup is tried: at the primary header's alternate LBA when that header is intact
// (signature, size, CRC, own LBA), and then, when that gives no sound copy or there was no intact
// primary header, at the disk's last sector, or without a known length the last sector the
// protective entry covers. A copy passes when its header is intact, its layout sound, its array
// CRC matches, and every used entry lies within the usable range. Reads are the header sector,
// then the array's sectors one by one until one fails, and the backup's the same way only when
// the primary failed. nullopt without a protective entry or when neither copy passes.
std::optional<GptTable> readGpt(const Sector& mbr, const SectorReader& read,
                                std::optional<std::uint64_t> diskSectors,
                                std::size_t sectorSize = kSectorSize);

}  // namespace quenbolt

#pragma once
// The GUID partition table behind a protective MBR: the header and entry layouts, the checks a
// copy of the table must pass before anything in it is trusted, and the used entries of the first
// copy that passes them. Only 512-byte sectors, as everywhere in this program.

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
// Attribute bit 62: Windows does not mount the partition.
constexpr unsigned kGptHiddenAttributeBit = 62;

struct GptPartition {
  unsigned number = 0;  // 1, 2, ... among the used entries, in entry order
  Guid type{};
  std::uint64_t firstLba = 0;
  std::uint64_t lastLba = 0;  // never below firstLba
  std::uint64_t attributes = 0;

  bool isHidden() const { return (attributes >> kGptHiddenAttributeBit & 1) != 0; }
  std::uint64_t sectorCount() const { return lastLba - firstLba + 1; }
};

enum class GptCopy { Primary, Backup };

struct GptTable {
  GptCopy copy = GptCopy::Primary;  // the copy the partitions come from
  std::vector<GptPartition> partitions;
};

// The first used entry of type EE when `mbr` is a valid table sector that holds one.
std::optional<PartitionEntry> protectiveEntryOf(const Sector& mbr);

// The table behind `mbr`'s protective entry. `diskSectors` is the disk's length in sectors when the
// system can tell it. The primary copy is the header at LBA 1 and its entry array; when it fails a
// check, the backup is tried: at the primary header's alternate LBA when that header is intact
// (signature, size, CRC, own LBA), and then, when that gives no sound copy or there was no intact
// primary header, at the disk's last sector, or without a known length the last sector the
// protective entry covers. A copy passes when, in this order: its signature
// is "EFI PART"; its header size lies within 92..512; its header CRC matches (computed with the
// CRC field zeroed); it names its own LBA; its usable range is non-empty, inside the disk and
// clear of LBAs 0 and 1 and of the header; its entry size is 128 x 2^n; its entries take at most
// 1 MiB; its array lies inside the disk, outside the usable range and clear of LBAs 0 and 1 and
// of the header; its array CRC matches; and every used entry lies within the usable range.
// Reads are the header sector, then the array's sectors one by one until one fails, and the
// backup's the same way only when the primary failed. nullopt without a protective entry or when
// neither copy passes.
std::optional<GptTable> readGpt(const Sector& mbr, const SectorReader& read,
                                std::optional<std::uint64_t> diskSectors);

}  // namespace quenbolt

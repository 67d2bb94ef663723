#pragma once
// The MBR/EBR sector and its four 16-byte entries, read through named offsets: the table lies in
// the first 512 bytes of a sector of any size.

#include <cstdint>

#include "model/sector.h"

namespace quenbolt {

// Byte positions inside a table sector.
constexpr std::uint32_t kFirstEntryOffset = 0x1BE;
constexpr std::uint32_t kEntrySize = 16;
constexpr std::uint32_t kEntryCount = 4;
constexpr std::uint32_t kSignatureOffset = 0x1FE;
// Offsets inside an entry.
constexpr std::uint32_t kBootIndicatorField = 0;
constexpr std::uint32_t kTypeField = 4;
constexpr std::uint32_t kStartSectorField = 8;
constexpr std::uint32_t kSectorCountField = 12;
// The boot indicator always lies this many bytes before the type byte.
constexpr std::uint32_t kBootIndicatorBeforeType = kTypeField - kBootIndicatorField;

constexpr std::uint8_t kBootActive = 0x80;
constexpr std::uint8_t kBootInactive = 0x00;

// Position of entry `slot`'s type byte in its sector: 0x1C2 + 16 * slot.
constexpr std::uint32_t typeByteOffsetOf(unsigned slot) {
  return kFirstEntryOffset + kEntrySize * slot + kTypeField;
}

// Sector number to byte offset, in 64 bits: MBR and EBR entries count the disk's own sectors.
constexpr std::uint64_t sectorsToBytes(std::uint32_t sectors, std::size_t sectorSize) {
  return static_cast<std::uint64_t>(sectors) * sectorSize;
}

// Types 0x05 and 0x0F, and no other, are followed as extended containers.
constexpr bool isContainerType(std::uint8_t type) { return type == 0x05 || type == 0x0F; }

struct PartitionEntry {
  std::uint8_t bootIndicator = 0;
  std::uint8_t type = 0;
  std::uint32_t startSector = 0;
  std::uint32_t sectorCount = 0;

  bool isActive() const { return bootIndicator == kBootActive; }
  bool isContainer() const { return isContainerType(type); }
};

class PartitionTable {
 public:
  explicit PartitionTable(const Sector& sector) : sector_(sector) {}

  // Signature 0x55 0xAA and a boot indicator of 0x00 or 0x80 in entry 0. Entries 1 to 3 and all
  // type bytes are not looked at.
  bool isValid() const;

  // Entry `slot` (0 to 3), whatever the validity of the sector.
  PartitionEntry entry(unsigned slot) const;

  // An MBR entry is used when its sector count is not zero; its type plays no part.
  static bool isUsed(const PartitionEntry& entry) { return entry.sectorCount != 0; }

 private:
  const Sector& sector_;
};

// Little-endian field access for sectors.
std::uint32_t readLe32(const Sector& sector, std::uint32_t offset);

}  // namespace quenbolt

#include "model/partition_table.h"

namespace quenbolt {

std::uint32_t readLe32(const Sector& sector, std::uint32_t offset) {
  return static_cast<std::uint32_t>(sector[offset]) |
         static_cast<std::uint32_t>(sector[offset + 1]) << 8 |
         static_cast<std::uint32_t>(sector[offset + 2]) << 16 |
         static_cast<std::uint32_t>(sector[offset + 3]) << 24;
}

bool PartitionTable::isValid() const {
  const std::uint8_t boot = sector_[kFirstEntryOffset + kBootIndicatorField];
  return sector_[kSignatureOffset] == 0x55 && sector_[kSignatureOffset + 1] == 0xAA &&
         (boot == kBootInactive || boot == kBootActive);
}

PartitionEntry PartitionTable::entry(unsigned slot) const {
  const std::uint32_t base = kFirstEntryOffset + kEntrySize * slot;
  PartitionEntry e;
  e.bootIndicator = sector_[base + kBootIndicatorField];
  e.type = sector_[base + kTypeField];
  e.startSector = readLe32(sector_, base + kStartSectorField);
  e.sectorCount = readLe32(sector_, base + kSectorCountField);
  return e;
}

}  // namespace quenbolt

#pragma once
// Builders for the sectors tests lay onto simulated disks: MBR/EBR table sectors and boot sectors.

#include <cstdint>
#include <string>

#include "model/sector.h"

namespace quenbolt {

// A partition table sector, built up entry by entry:
//   disk.setSector(0, TableSector().entry(0, 0x80, 0x0C, 2048, 204800).signature());
class TableSector {
 public:
  TableSector() : sector_{} {}
  // Fills entry `slot` (0 to 3): boot indicator, type, start sector, sector count. CHS fields stay 0.
  TableSector& entry(unsigned slot, std::uint8_t boot, std::uint8_t type, std::uint32_t start,
                     std::uint32_t count);
  // 0x55 0xAA at 0x1FE.
  TableSector& signature();
  // Any single byte, for malformed sectors.
  TableSector& byte(std::size_t offset, std::uint8_t value);

  const Sector& sector() const { return sector_; }
  operator Sector() const { return sector_; }

 private:
  Sector sector_;
};

// A FAT32 boot sector with `label` at 0x47 (cut to 11 bytes, blank-padded, stored as given: not
// upper-cased) and "FAT32   " at 0x52. Its volume has 512-byte sectors, 8 to a cluster, 32
// reserved sectors (no backup boot sector) and two FATs of 1024 sectors; the root directory is
// cluster 2, which starts kFat32RootSector sectors after the boot sector.
Sector fat32BootSector(const std::string& label);
constexpr std::uint64_t kFat32RootSector = 32 + 2 * 1024;
// A FAT16 boot sector: label at 0x2B, "FAT16   " at 0x36, and nothing FAT32-like at 0x52.
Sector fat16BootSector(const std::string& label);
// An NTFS boot sector ("NTFS    " at 3), which has no label field at all.
Sector ntfsBootSector();

}  // namespace quenbolt

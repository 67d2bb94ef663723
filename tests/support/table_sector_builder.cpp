#include "support/table_sector_builder.h"

#include <stdexcept>

namespace quenbolt {

namespace {

void putLe16(Sector& sector, std::size_t offset, std::uint16_t value) {
  sector[offset] = static_cast<std::uint8_t>(value);
  sector[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void putLe32(Sector& sector, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) sector[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Copies `text` into `size` bytes at `offset`, blank-padded and cut to fit.
void putText(Sector& sector, std::size_t offset, std::size_t size, const std::string& text) {
  for (std::size_t i = 0; i < size; ++i) {
    sector[offset + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : std::uint8_t{' '};
  }
}

// The fields every FAT boot sector shares: jump, OEM name, BIOS parameter block basics, signature.
Sector fatBootSectorBase() {
  Sector sector{};
  sector[0] = 0xEB;
  sector[1] = 0x58;
  sector[2] = 0x90;
  putText(sector, 3, 8, "MSDOS5.0");
  putLe16(sector, 0x0B, 512);  // bytes per sector
  sector[0x0D] = 8;            // sectors per cluster
  sector[0x10] = 2;            // FATs
  sector[0x15] = 0xF8;         // media: fixed disk
  sector[0x1FE] = 0x55;
  sector[0x1FF] = 0xAA;
  return sector;
}

}  // namespace

TableSector& TableSector::entry(unsigned slot, std::uint8_t boot, std::uint8_t type, std::uint32_t start,
                                std::uint32_t count) {
  if (slot > 3) throw std::out_of_range("a table sector has four entries");
  const std::size_t base = 0x1BE + 16 * slot;
  sector_[base] = boot;
  sector_[base + 4] = type;
  putLe32(sector_, base + 8, start);
  putLe32(sector_, base + 12, count);
  return *this;
}

TableSector& TableSector::signature() {
  sector_[0x1FE] = 0x55;
  sector_[0x1FF] = 0xAA;
  return *this;
}

TableSector& TableSector::byte(std::size_t offset, std::uint8_t value) {
  sector_.at(offset) = value;
  return *this;
}

Sector fat32BootSector(const std::string& label) {
  Sector sector = fatBootSectorBase();
  putLe16(sector, 0x0E, 32);         // reserved sectors
  putLe32(sector, 0x24, 1024);       // sectors per FAT
  putLe32(sector, 0x2C, 2);          // root cluster
  sector[0x42] = 0x29;               // extended boot signature
  putLe32(sector, 0x43, 0x1234ABCD); // volume serial
  putText(sector, 0x47, 11, label);
  putText(sector, 0x52, 8, "FAT32");
  return sector;
}

Sector fat16BootSector(const std::string& label) {
  Sector sector = fatBootSectorBase();
  putLe16(sector, 0x0E, 1);          // reserved sectors
  putLe16(sector, 0x11, 512);        // root entries
  putLe16(sector, 0x16, 200);        // sectors per FAT
  sector[0x26] = 0x29;
  putLe32(sector, 0x27, 0x1234ABCD);
  putText(sector, 0x2B, 11, label);
  putText(sector, 0x36, 8, "FAT16");
  return sector;
}

Sector ntfsBootSector() {
  Sector sector{};
  sector[0] = 0xEB;
  sector[1] = 0x52;
  sector[2] = 0x90;
  putText(sector, 3, 8, "NTFS");
  putLe16(sector, 0x0B, 512);
  sector[0x0D] = 8;
  sector[0x15] = 0xF8;
  sector[0x1FE] = 0x55;
  sector[0x1FF] = 0xAA;
  return sector;
}

}  // namespace quenbolt

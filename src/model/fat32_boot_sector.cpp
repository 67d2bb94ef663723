#include "model/fat32_boot_sector.h"

#include "model/gbk_text.h"

namespace quenbolt {

bool isFat32BootSector(const Sector& sector) {
  const std::string type(reinterpret_cast<const char*>(sector.data()) + kFileSystemTypeOffset, 5);
  return upperCased(type) == "FAT32";
}

namespace {

unsigned le16(const Sector& sector, std::size_t offset) {
  return sector[offset] | (static_cast<unsigned>(sector[offset + 1]) << 8);
}

}  // namespace

unsigned bytesPerSector(const Sector& sector) { return le16(sector, kBytesPerSectorOffset); }

std::optional<std::uint32_t> backupBootSector(const Sector& sector) {
  const unsigned backup = le16(sector, kBackupBootSectorOffset);
  if (backup == 0 || backup == 0xFFFF || backup >= le16(sector, kReservedSectorsOffset)) {
    return std::nullopt;
  }
  return backup;
}

std::string bootSectorLabelField(const Sector& sector) {
  return std::string(reinterpret_cast<const char*>(sector.data()) + kBootLabelOffset,
                     kBootLabelSize);
}

std::string bootSectorLabelBytes(const std::string& label) {
  std::string bytes = cutGbk(label, kBootLabelSize);
  bytes.resize(kBootLabelSize, ' ');
  return upperCased(bytes);
}

}  // namespace quenbolt

#include "model/fat32_boot_sector.h"

#include "model/gbk_text.h"

namespace quenbolt {

bool isFat32BootSector(const Sector& sector) {
  const std::string type(reinterpret_cast<const char*>(sector.data()) + kFileSystemTypeOffset, 5);
  return upperCased(type) == "FAT32";
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

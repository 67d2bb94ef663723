#include "model/fat32_boot_sector.h"

#include <algorithm>

#include "model/fat_label.h"
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

std::uint32_t le32At(const Sector& sector, std::size_t offset) {
  return le16(sector, offset) | static_cast<std::uint32_t>(le16(sector, offset + 2)) << 16;
}

bool isPowerOfTwo(unsigned value) { return value != 0 && (value & (value - 1)) == 0; }

}  // namespace

std::optional<Fat32Layout> fat32Layout(const Sector& sector) {
  Fat32Layout layout;
  layout.bytesPerSector = bytesPerSector(sector);
  layout.sectorsPerCluster = sector[kSectorsPerClusterOffset];
  layout.reservedSectors = le16(sector, kReservedSectorsOffset);
  const unsigned fatCount = sector[kFatCountOffset];
  const std::uint32_t fatSectors = le32At(sector, kFatSectorsOffset);
  // A small volume counts its sectors in the 16-bit field, as mkfs.fat writes it.
  const std::uint32_t totalSectors = le16(sector, kTotalSectors16Offset) != 0
                                         ? le16(sector, kTotalSectors16Offset)
                                         : le32At(sector, kTotalSectorsOffset);
  layout.rootCluster = le32At(sector, kRootClusterOffset);
  if (layout.bytesPerSector < 512 || !isPowerOfTwo(layout.bytesPerSector) ||
      !isPowerOfTwo(layout.sectorsPerCluster) || layout.reservedSectors == 0 || fatCount == 0 ||
      fatSectors == 0) {
    return std::nullopt;
  }
  layout.firstDataSector = layout.reservedSectors + std::uint64_t{fatCount} * fatSectors;
  if (layout.firstDataSector >= totalSectors) return std::nullopt;
  // The clusters the FAT can describe and the volume holds, whichever are fewer.
  const std::uint64_t inVolume = (totalSectors - layout.firstDataSector) / layout.sectorsPerCluster;
  const std::uint64_t inFat = std::uint64_t{fatSectors} * layout.bytesPerSector / 4 - 2;
  layout.clusterCount = static_cast<std::uint32_t>(std::min<std::uint64_t>(inVolume, inFat));
  if (!layout.isCluster(layout.rootCluster)) return std::nullopt;
  return layout;
}

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

std::string bootSectorLabel(const Sector& sector) {
  const std::string field = bootSectorLabelField(sector);
  if (field == kNoLabelField) return std::string();
  return trimmed(field);
}

}  // namespace quenbolt

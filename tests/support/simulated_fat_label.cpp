#include "support/simulated_fat_label.h"

#include <cstring>
#include <vector>

#include "model/fat32_boot_sector.h"
#include "model/gbk_text.h"
#include "support/simulated_machine.h"

namespace quenbolt {

namespace {

constexpr std::size_t kEntrySize = 32;
constexpr std::size_t kNameSize = 11;
constexpr std::uint8_t kVolumeLabelAttribute = 0x08;
constexpr std::uint8_t kLongNameAttribute = 0x0F;
constexpr std::uint8_t kDeleted = 0xE5;
constexpr std::uint8_t kLeadE5 = 0x05;  // a name that really starts with 0xE5 is stored so
// A directory is not followed further than this; a chain that long is a broken one.
constexpr unsigned kMaxRootClusters = 64;

std::uint32_t le(const std::vector<std::uint8_t>& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
  return value;
}

struct Fat32Layout {
  std::uint64_t fatStart = 0;   // byte offset on the disk of the first FAT
  std::uint64_t dataStart = 0;  // byte offset on the disk of cluster 2
  std::uint64_t clusterBytes = 0;
  std::uint32_t rootCluster = 0;
};

std::optional<Fat32Layout> layoutAt(const SimulatedDisk& disk, std::uint64_t volumeStart) {
  const Sector boot = disk.sector(volumeStart);
  const std::vector<std::uint8_t> b(boot.begin(), boot.end());
  const std::uint32_t bytesPerSector = le(b, 0x0B, 2), sectorsPerCluster = b[0x0D];
  const std::uint32_t reserved = le(b, 0x0E, 2), fats = b[0x10], fatSectors = le(b, 0x24, 4);
  const std::uint32_t rootCluster = le(b, 0x2C, 4);
  if (!isFat32BootSector(boot) || bytesPerSector != kSectorSize || sectorsPerCluster == 0 ||
      reserved == 0 || fats == 0 || fatSectors == 0 || rootCluster < 2) {
    return std::nullopt;
  }
  Fat32Layout layout;
  layout.fatStart = volumeStart + std::uint64_t{reserved} * kSectorSize;
  layout.dataStart = layout.fatStart + std::uint64_t{fats} * fatSectors * kSectorSize;
  layout.clusterBytes = std::uint64_t{sectorsPerCluster} * kSectorSize;
  layout.rootCluster = rootCluster;
  return layout;
}

bool isForbidden(unsigned char c) {
  return c < 0x20 || std::strchr("\"*+,./:;<=>?[\\]|", c) != nullptr;
}

}  // namespace

std::optional<std::string> fatVolumeLabel(const std::string& gbk) {
  const std::string upper = upperCased(gbk);
  std::size_t characters = 0;
  for (std::size_t i = 0; i < upper.size(); ++i, ++characters) {
    const unsigned char c = static_cast<unsigned char>(upper[i]);
    if (isGbkLeadByte(c)) {
      ++i;
    } else if (isForbidden(c)) {
      return std::nullopt;
    }
  }
  if (characters > kNameSize || upper.size() > kNameSize) return std::nullopt;
  return upper.substr(0, upper.find_last_not_of(' ') + 1);
}

bool hasFat32Layout(const SimulatedDisk& disk, std::uint64_t volumeStart) {
  return layoutAt(disk, volumeStart).has_value();
}

std::optional<FileSystemWrite> writeFat32LabelEntry(SimulatedDisk& disk, std::uint64_t volumeStart,
                                                    const std::string& label) {
  const std::optional<Fat32Layout> layout = layoutAt(disk, volumeStart);
  if (!layout) return std::nullopt;

  std::optional<std::uint64_t> labelEntry, freeEntry;
  std::uint32_t cluster = layout->rootCluster;
  for (unsigned walked = 0; walked < kMaxRootClusters && !labelEntry; ++walked) {
    const std::uint64_t start = layout->dataStart + (cluster - 2ull) * layout->clusterBytes;
    if (start + layout->clusterBytes > disk.size()) return std::nullopt;
    const std::vector<std::uint8_t> entries = disk.bytes(start, static_cast<std::size_t>(layout->clusterBytes));
    bool ended = false;
    for (std::size_t at = 0; at < entries.size() && !ended; at += kEntrySize) {
      const std::uint8_t first = entries[at], attribute = entries[at + kNameSize];
      if (first == 0x00 || first == kDeleted) {
        if (!freeEntry) freeEntry = start + at;
        ended = first == 0x00;  // nothing in use follows an entry that was never used
      } else if (attribute != kLongNameAttribute && (attribute & kVolumeLabelAttribute)) {
        labelEntry = start + at;
        ended = true;
      }
    }
    if (ended) break;
    const std::uint64_t link = layout->fatStart + std::uint64_t{cluster} * 4;
    if (link + 4 > disk.size()) return std::nullopt;
    cluster = le(disk.bytes(link, 4), 0, 4) & 0x0FFFFFFF;
    if (cluster < 2 || cluster >= 0x0FFFFFF8) break;
  }

  if (label.empty()) {
    if (!labelEntry) return FileSystemWrite{disk.index(), volumeStart, 0};  // nothing to remove
    disk.setBytes(*labelEntry, {kDeleted});
    return FileSystemWrite{disk.index(), *labelEntry, 1};
  }
  // The driver would grow the directory by a cluster; a full root is not worth simulating.
  const std::optional<std::uint64_t> at = labelEntry ? labelEntry : freeEntry;
  if (!at) return std::nullopt;
  std::vector<std::uint8_t> entry = labelEntry ? disk.bytes(*at, kEntrySize)
                                               : std::vector<std::uint8_t>(kEntrySize, 0);
  for (std::size_t i = 0; i < kNameSize; ++i) {
    entry[i] = i < label.size() ? static_cast<std::uint8_t>(label[i]) : std::uint8_t{' '};
  }
  if (entry[0] == kDeleted) entry[0] = kLeadE5;
  entry[kNameSize] = kVolumeLabelAttribute;
  disk.setBytes(*at, entry);
  return FileSystemWrite{disk.index(), *at, kEntrySize};
}

}  // namespace quenbolt

#include "model/gpt_update.h"

#include <algorithm>

namespace quenbolt {

namespace {

// The header fields each copy holds for itself: its CRC, its own LBA, the other's, its array's.
bool isOwnField(std::size_t offset) {
  const auto within = [offset](std::uint32_t field, std::size_t size) {
    return offset >= field && offset < field + size;
  };
  return within(kGptHeaderCrcField, 4) || within(kGptMyLbaField, 8) ||
         within(kGptAlternateLbaField, 8) || within(kGptEntryArrayLbaField, 8);
}

// One copy's writes: its changed array sectors, then its resealed header.
void planCopy(const GptCopyImage& image, GptCopy copy, const std::vector<std::uint8_t>& array,
              std::uint32_t arrayCrc, std::vector<GptSectorWrite>& writes) {
  const std::size_t sectorSize = image.headerSector.size();
  const std::size_t entryBytes = static_cast<std::size_t>(image.header.arrayBytes());
  for (std::size_t i = 0; i < image.array.size(); ++i) {
    Sector after = image.array[i];
    const std::size_t first = i * sectorSize;
    // Only the entries change: the padding after the last entry stays as this copy holds it.
    for (std::size_t at = first; at < first + sectorSize && at < entryBytes; ++at) {
      after[at - first] = array[at];
    }
    if (after != image.array[i]) {
      writes.push_back({copy, image.header.arrayLba + i, image.array[i], after});
    }
  }
  Sector header = image.headerSector;
  sealGptHeader(header, arrayCrc);
  if (header != image.headerSector) {
    writes.push_back({copy, image.header.myLba, image.headerSector, header});
  }
}

}  // namespace

std::vector<std::uint8_t> GptCopyImage::arrayBytes() const {
  std::vector<std::uint8_t> bytes;
  for (const Sector& sector : array) bytes.insert(bytes.end(), sector.begin(), sector.end());
  return bytes;
}

bool gptCopiesAgree(const GptCopyImage& primary, const GptCopyImage& backup) {
  const GptHeader& p = primary.header;
  const GptHeader& b = backup.header;
  if (p.alternateLba != b.myLba || b.alternateLba != p.myLba) return false;
  if (p.headerSize != b.headerSize || primary.headerSector.size() != backup.headerSector.size()) {
    return false;
  }
  for (std::size_t at = 0; at < p.headerSize; ++at) {
    if (!isOwnField(at) && primary.headerSector[at] != backup.headerSector[at]) return false;
  }
  const std::vector<std::uint8_t> primaryArray = primary.arrayBytes();
  const std::vector<std::uint8_t> backupArray = backup.arrayBytes();
  const std::size_t entryBytes = static_cast<std::size_t>(p.arrayBytes());
  if (primaryArray.size() < entryBytes || backupArray.size() < entryBytes) return false;
  if (gptArrayCrc(primaryArray, p) != p.arrayCrc || gptArrayCrc(backupArray, b) != b.arrayCrc) {
    return false;
  }
  return std::equal(primaryArray.begin(), primaryArray.begin() + entryBytes, backupArray.begin());
}

std::vector<std::uint8_t> changedGptArray(std::vector<std::uint8_t> array, const GptHeader& header,
                                          const std::vector<GptEntryChange>& changes) {
  for (const GptEntryChange& change : changes) {
    if (change.entry >= header.entryCount) continue;
    const std::size_t entry = std::size_t{change.entry} * header.entrySize;
    if (entry + kGptMinEntrySize > array.size()) continue;
    std::copy(change.type.begin(), change.type.end(), array.begin() + entry + kGptTypeGuidField);
    for (int i = 0; i < 8; ++i) {
      array[entry + kGptAttributesField + i] =
          static_cast<std::uint8_t>(change.attributes >> (8 * i));
    }
  }
  return array;
}

std::vector<GptSectorWrite> planGptUpdate(const GptCopyImage& primary, const GptCopyImage& backup,
                                          const std::vector<GptEntryChange>& changes) {
  const std::vector<std::uint8_t> array =
      changedGptArray(primary.arrayBytes(), primary.header, changes);
  const std::uint32_t arrayCrc = gptArrayCrc(array, primary.header);
  std::vector<GptSectorWrite> writes;
  planCopy(backup, GptCopy::Backup, array, arrayCrc, writes);
  planCopy(primary, GptCopy::Primary, array, arrayCrc, writes);
  return writes;
}

}  // namespace quenbolt

#include "model/gpt_table.h"

#include <algorithm>
#include <cstring>

#include "model/crc32.h"

namespace quenbolt {

namespace {

// Every LBA the reader accepts lies below this, so that its byte offset fits in 64 bits.
constexpr std::uint64_t kLbaLimit = std::uint64_t{1} << 55;

std::uint32_t le32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::uint64_t le64(const std::uint8_t* bytes) {
  return static_cast<std::uint64_t>(le32(bytes)) | static_cast<std::uint64_t>(le32(bytes + 4)) << 32;
}

struct Header {
  std::uint64_t myLba = 0;
  std::uint64_t alternateLba = 0;
  std::uint64_t firstUsable = 0;
  std::uint64_t lastUsable = 0;
  std::uint64_t arrayLba = 0;
  std::uint32_t entryCount = 0;
  std::uint32_t entrySize = 0;
  std::uint32_t arrayCrc = 0;
};

// The header at `lba` when it is intact: signature, size, CRC, and its own LBA.
std::optional<Header> readIntactHeader(const SectorReader& read, std::uint64_t lba,
                                       std::uint64_t end) {
  Sector sector{};
  if (lba >= end || !read(lba * kSectorSize, sector)) return std::nullopt;
  if (std::memcmp(sector.data() + kGptSignatureField, "EFI PART", 8) != 0) return std::nullopt;
  const std::uint32_t size = le32(sector.data() + kGptHeaderSizeField);
  if (size < kGptMinHeaderSize || size > kSectorSize) return std::nullopt;
  const std::uint32_t storedCrc = le32(sector.data() + kGptHeaderCrcField);
  std::fill_n(sector.begin() + kGptHeaderCrcField, 4, 0);
  if (crc32(sector.data(), size) != storedCrc) return std::nullopt;

  Header header;
  header.myLba = le64(sector.data() + kGptMyLbaField);
  if (header.myLba != lba) return std::nullopt;
  header.alternateLba = le64(sector.data() + kGptAlternateLbaField);
  header.firstUsable = le64(sector.data() + kGptFirstUsableLbaField);
  header.lastUsable = le64(sector.data() + kGptLastUsableLbaField);
  header.arrayLba = le64(sector.data() + kGptEntryArrayLbaField);
  header.entryCount = le32(sector.data() + kGptEntryCountField);
  header.entrySize = le32(sector.data() + kGptEntrySizeField);
  header.arrayCrc = le32(sector.data() + kGptEntryArrayCrcField);
  return header;
}

bool inRange(std::uint64_t lba, std::uint64_t first, std::uint64_t last) {
  return lba >= first && lba <= last;
}

// The header's fields describe a table that fits the disk; `arraySectors` is how many sectors
// its entries take.
// Partitions and entry arrays must stay clear of the MBR (LBA 0), the primary header (LBA 1) and
// the header describing them, whichever copy that is.
bool isSoundLayout(const Header& h, std::uint64_t end, std::uint64_t& arraySectors) {
  if (h.firstUsable > h.lastUsable || h.lastUsable >= end) return false;
  if (h.firstUsable < 2 || inRange(h.myLba, h.firstUsable, h.lastUsable)) return false;

  const std::uint32_t units = h.entrySize / kGptMinEntrySize;
  if (h.entrySize % kGptMinEntrySize != 0 || units == 0 || (units & (units - 1)) != 0) return false;
  const std::uint64_t arrayBytes = std::uint64_t{h.entryCount} * h.entrySize;
  if (arrayBytes > kGptMaxEntryArrayBytes) return false;

  arraySectors = (arrayBytes + kSectorSize - 1) / kSectorSize;
  if (arraySectors == 0) return true;
  if (h.arrayLba >= end || arraySectors > end - h.arrayLba) return false;
  const std::uint64_t arrayLast = h.arrayLba + arraySectors - 1;
  if (h.arrayLba < 2 || inRange(h.myLba, h.arrayLba, arrayLast)) return false;
  return arrayLast < h.firstUsable || h.arrayLba > h.lastUsable;
}

std::optional<std::vector<GptPartition>> readEntries(const SectorReader& read, const Header& h,
                                                     std::uint64_t arraySectors) {
  std::vector<std::uint8_t> array;
  array.reserve(static_cast<std::size_t>(arraySectors * kSectorSize));
  for (std::uint64_t i = 0; i < arraySectors; ++i) {
    Sector sector{};
    if (!read((h.arrayLba + i) * kSectorSize, sector)) return std::nullopt;
    array.insert(array.end(), sector.begin(), sector.end());
  }
  const std::size_t arrayBytes = std::size_t{h.entryCount} * h.entrySize;
  if (crc32(array.data(), arrayBytes) != h.arrayCrc) return std::nullopt;

  std::vector<GptPartition> partitions;
  for (std::size_t i = 0; i < h.entryCount; ++i) {
    const std::uint8_t* entry = array.data() + i * h.entrySize;
    GptPartition partition;
    std::copy_n(entry + kGptTypeGuidField, partition.type.size(), partition.type.begin());
    if (partition.type == Guid{}) continue;  // an unused entry
    partition.firstLba = le64(entry + kGptFirstLbaField);
    partition.lastLba = le64(entry + kGptLastLbaField);
    partition.attributes = le64(entry + kGptAttributesField);
    // A partition outside the space the header declares usable could overlap the MBR, a header or
    // the entry array, where a label write must never land: the copy is not trusted.
    if (partition.firstLba < h.firstUsable || partition.firstLba > partition.lastLba ||
        partition.lastLba > h.lastUsable) {
      return std::nullopt;
    }
    partition.number = static_cast<unsigned>(partitions.size() + 1);
    partitions.push_back(partition);
  }
  return partitions;
}

std::optional<std::vector<GptPartition>> readCopy(const std::optional<Header>& header,
                                                  const SectorReader& read, std::uint64_t end) {
  std::uint64_t arraySectors = 0;
  if (!header || !isSoundLayout(*header, end, arraySectors)) return std::nullopt;
  return readEntries(read, *header, arraySectors);
}

}  // namespace

std::optional<PartitionEntry> protectiveEntryOf(const Sector& mbr) {
  const PartitionTable table(mbr);
  if (!table.isValid()) return std::nullopt;
  for (unsigned slot = 0; slot < kEntryCount; ++slot) {
    const PartitionEntry entry = table.entry(slot);
    if (PartitionTable::isUsed(entry) && entry.type == kProtectiveType) return entry;
  }
  return std::nullopt;
}

std::optional<GptTable> readGpt(const Sector& mbr, const SectorReader& read,
                                std::optional<std::uint64_t> diskSectors) {
  const std::optional<PartitionEntry> protective = protectiveEntryOf(mbr);
  if (!protective) return std::nullopt;
  const std::uint64_t end = diskSectors ? std::min(*diskSectors, kLbaLimit) : kLbaLimit;

  const std::optional<Header> primary = readIntactHeader(read, 1, end);
  if (auto partitions = readCopy(primary, read, end)) {
    return GptTable{GptCopy::Primary, std::move(*partitions)};
  }

  // Where the backup should be: at the disk's last sector, or, when the system cannot tell the
  // disk's length, the last sector the protective entry covers.
  const std::uint64_t lastSector =
      diskSectors ? *diskSectors - 1
                  : std::uint64_t{protective->startSector} + protective->sectorCount - 1;
  // An intact primary header names its backup; when that does not lead to a good copy (a
  // damaged alternate LBA, a disk grown or cloned onto a larger one), the last sector still may.
  std::vector<std::uint64_t> candidates;
  if (primary) candidates.push_back(primary->alternateLba);
  if (candidates.empty() || candidates.front() != lastSector) candidates.push_back(lastSector);
  for (std::uint64_t backupLba : candidates) {
    // LBA 1 is the primary just refused; LBA 0 is the MBR.
    if (backupLba <= 1) continue;
    if (auto partitions = readCopy(readIntactHeader(read, backupLba, end), read, end)) {
      return GptTable{GptCopy::Backup, std::move(*partitions)};
    }
  }
  return std::nullopt;
}

}  // namespace quenbolt

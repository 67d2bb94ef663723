#include "model/gpt_table.h"

#include <algorithm>
#include <cstring>

#include "model/crc32.h"

namespace quenbolt {

namespace {

// Every LBA the reader accepts lies below this, so that its byte offset fits in 64 bits.
constexpr std::uint64_t kLbaLimit = std::uint64_t{1} << 51;

std::uint32_t le32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::uint64_t le64(const std::uint8_t* bytes) {
  return static_cast<std::uint64_t>(le32(bytes)) | static_cast<std::uint64_t>(le32(bytes + 4))
                                                       << 32;
}

void putLe32(std::uint8_t* bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

bool inRange(std::uint64_t lba, std::uint64_t first, std::uint64_t last) {
  return lba >= first && lba <= last;
}

// The header at `lba` when it is intact.
std::optional<GptHeader> readHeader(const SectorReader& read, std::uint64_t lba, std::uint64_t end,
                                    std::size_t sectorSize) {
  Sector sector(sectorSize);
  if (lba >= end || !read(lba * sectorSize, sector)) return std::nullopt;
  return intactGptHeader(sector, lba);
}

// The copy `header` describes, when it passes the remaining checks.
std::optional<GptTable> readCopy(const SectorReader& read, const std::optional<GptHeader>& header,
                                 std::uint64_t end, std::size_t sectorSize) {
  if (!header || !isSoundGptLayout(*header, end, sectorSize)) return std::nullopt;
  std::vector<std::uint8_t> array;
  const std::uint64_t arraySectors = header->arraySectors(sectorSize);
  array.reserve(static_cast<std::size_t>(arraySectors * sectorSize));
  Sector sector(sectorSize);
  for (std::uint64_t i = 0; i < arraySectors; ++i) {
    if (!read((header->arrayLba + i) * sectorSize, sector)) return std::nullopt;
    array.insert(array.end(), sector.begin(), sector.end());
  }
  std::optional<std::vector<GptPartition>> partitions = gptPartitionsOf(array, *header);
  if (!partitions) return std::nullopt;
  GptTable table;
  table.copy = header->myLba == 1 ? GptCopy::Primary : GptCopy::Backup;
  table.header = *header;
  table.sectorSize = sectorSize;
  table.partitions = std::move(*partitions);
  return table;
}

}  // namespace

std::optional<GptHeader> intactGptHeader(const Sector& sector, std::uint64_t lba) {
  if (sector.size() < kGptMinHeaderSize) return std::nullopt;
  if (std::memcmp(sector.data() + kGptSignatureField, "EFI PART", 8) != 0) return std::nullopt;
  GptHeader header;
  header.headerSize = le32(sector.data() + kGptHeaderSizeField);
  if (header.headerSize < kGptMinHeaderSize || header.headerSize > sector.size())
    return std::nullopt;
  Sector zeroed = sector;
  std::fill_n(zeroed.begin() + kGptHeaderCrcField, 4, 0);
  if (crc32(zeroed.data(), header.headerSize) != le32(sector.data() + kGptHeaderCrcField)) {
    return std::nullopt;
  }
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

// Partitions and entry arrays must stay clear of the MBR (LBA 0), the primary header (LBA 1) and
// the header describing them, whichever copy that is.
bool isSoundGptLayout(const GptHeader& h, std::uint64_t end, std::size_t sectorSize) {
  end = std::min(end, kLbaLimit);
  if (h.firstUsable > h.lastUsable || h.lastUsable >= end) return false;
  if (h.firstUsable < 2 || inRange(h.myLba, h.firstUsable, h.lastUsable)) return false;

  const std::uint32_t units = h.entrySize / kGptMinEntrySize;
  if (h.entrySize % kGptMinEntrySize != 0 || units == 0 || (units & (units - 1)) != 0) return false;
  if (h.arrayBytes() > kGptMaxEntryArrayBytes) return false;

  const std::uint64_t arraySectors = h.arraySectors(sectorSize);
  if (arraySectors == 0) return true;
  if (h.arrayLba >= end || arraySectors > end - h.arrayLba) return false;
  const std::uint64_t arrayLast = h.arrayLba + arraySectors - 1;
  if (h.arrayLba < 2 || inRange(h.myLba, h.arrayLba, arrayLast)) return false;
  return arrayLast < h.firstUsable || h.arrayLba > h.lastUsable;
}

std::optional<std::vector<GptPartition>> gptPartitionsOf(const std::vector<std::uint8_t>& array,
                                                         const GptHeader& h) {
  if (array.size() < h.arrayBytes() || gptArrayCrc(array, h) != h.arrayCrc) return std::nullopt;
  std::vector<GptPartition> partitions;
  for (std::uint32_t i = 0; i < h.entryCount; ++i) {
    const std::uint8_t* entry = array.data() + std::size_t{i} * h.entrySize;
    GptPartition partition;
    std::copy_n(entry + kGptTypeGuidField, partition.type.size(), partition.type.begin());
    if (partition.type == Guid{}) continue;  // an unused entry
    partition.entry = i;
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

std::uint32_t gptArrayCrc(const std::vector<std::uint8_t>& array, const GptHeader& header) {
  return crc32(array.data(), static_cast<std::size_t>(header.arrayBytes()));
}

void sealGptHeader(Sector& headerSector, std::uint32_t arrayCrc) {
  putLe32(headerSector.data() + kGptEntryArrayCrcField, arrayCrc);
  putLe32(headerSector.data() + kGptHeaderCrcField, 0);
  const std::uint32_t size = le32(headerSector.data() + kGptHeaderSizeField);
  putLe32(headerSector.data() + kGptHeaderCrcField, crc32(headerSector.data(), size));
}

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
                                std::optional<std::uint64_t> diskSectors, std::size_t sectorSize) {
  const std::optional<PartitionEntry> protective = protectiveEntryOf(mbr);
  if (!protective) return std::nullopt;
  const std::uint64_t end = diskSectors ? std::min(*diskSectors, kLbaLimit) : kLbaLimit;

  const std::optional<GptHeader> primary = readHeader(read, 1, end, sectorSize);
  if (std::optional<GptTable> table = readCopy(read, primary, end, sectorSize)) return table;

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
    const std::optional<GptHeader> backup = readHeader(read, backupLba, end, sectorSize);
    if (std::optional<GptTable> table = readCopy(read, backup, end, sectorSize)) return table;
  }
  return std::nullopt;
}

}  // namespace quenbolt

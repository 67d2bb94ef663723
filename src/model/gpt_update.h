#pragma once
// A change of a GUID partition table planned before anything is written: both copies checked
// against each other, the entries changed in both arrays, both headers resealed, and the sectors
// that change listed in the order they must be written.

#include <cstdint>
#include <vector>

#include "model/gpt_table.h"
#include "model/sector.h"

namespace quenbolt {

// One copy of a table as read from the disk: an intact header whose layout is sound, and all the
// sectors of its entry array.
struct GptCopyImage {
  GptHeader header;
  Sector headerSector;
  std::vector<Sector> array;

  // The array's bytes, the padding of its last sector included.
  std::vector<std::uint8_t> arrayBytes() const;
};

// Whether the two copies are one table: each array matches its header's CRC, the arrays are the
// same byte for byte (entry count x entry size), each header names the other, and the headers
// agree in every other field (revision, sizes, usable range, disk GUID, entry count and size,
// array CRC).
bool gptCopiesAgree(const GptCopyImage& primary, const GptCopyImage& backup);

struct GptEntryChange {
  std::uint32_t entry = 0;  // index in the entry array
  Guid type{};
  std::uint64_t attributes = 0;
};

struct GptSectorWrite {
  GptCopy copy = GptCopy::Primary;
  std::uint64_t lba = 0;
  Sector before;  // what the sector holds now
  Sector after;   // what it is to hold
};

// The writes that put `changes` into the entries of both copies (which agree), with both arrays'
// CRC over entry count x entry size bytes and then each header's CRC recomputed: the backup's
// changed array sectors, the backup's header, the primary's changed array sectors, the primary's
// header, in that order, so that an interrupted update always leaves one intact copy. Sectors
// that would not change are left out. An entry index past the entry count is ignored.
std::vector<GptSectorWrite> planGptUpdate(const GptCopyImage& primary, const GptCopyImage& backup,
                                          const std::vector<GptEntryChange>& changes);

// The entry array `changes` make of `array` (entry count x entry size bytes of `header`).
std::vector<std::uint8_t> changedGptArray(std::vector<std::uint8_t> array, const GptHeader& header,
                                          const std::vector<GptEntryChange>& changes);

}  // namespace quenbolt

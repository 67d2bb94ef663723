#pragma once
// The one path by which the program changes a disk: read a whole sector, make sure it is still the
// sector the change was planned against, change exactly the intended bytes, write the whole sector
// back where it came from.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "editing/change_report.h"
#include "model/sector.h"
#include "platform/raw_disks.h"

namespace quenbolt {

// Looks at the sector just read and returns the reason not to write it, or nothing when the
// sector still holds what the change expects.
using SectorCheck = std::function<std::optional<FailureReason>(const Sector&)>;

struct SectorPatch {
  unsigned disk = 0;  // 0-based physical disk index
  // A drive letter: the sector is on that letter's volume, opened as "\\.\X:", and sectorOffset
  // counts from the volume's start. 0: the sector is on the physical disk `disk`.
  char volume = 0;
  std::uint64_t sectorOffset = 0;  // byte offset of the sector on the disk (or volume)
  std::size_t firstByte = 0;       // position in the sector of the first byte to change
  std::string bytes;               // the new bytes; they must fit inside the sector
  SectorCheck check;               // may be empty: any sector read in full is accepted
};

// Opens the disk (or volume) for reading and writing, reads the sector in full, runs the check,
// replaces exactly `bytes` at `firstByte` and writes the sector back at the same offset; the
// device is closed again in every case. A sector that already holds `bytes` there is not written:
// nothing would change. Returns nothing when the sector holds the bytes afterwards, otherwise why
// not: OpenFailed, ReadFailed (also for a short read; nothing is written then), the check's reason
// (nothing written), WriteFailed. A patch that does not fit in the sector read counts as
// TableChanged, and nothing is written.
std::optional<FailureReason> patchSector(RawDisks& disks, const SectorPatch& patch);

// Appends a failure for `row` to `report` when `outcome` holds a reason. Returns true when the
// change was made.
bool recordOutcome(ChangeReport& report, std::size_t row, ChangeKind kind,
                   const std::optional<FailureReason>& outcome);

}  // namespace quenbolt

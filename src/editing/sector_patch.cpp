#include "editing/sector_patch.h"

#include <algorithm>
#include <memory>

namespace quenbolt {

std::optional<FailureReason> patchSector(RawDisks& disks, const SectorPatch& patch) {
  std::unique_ptr<DiskHandle> handle = patch.volume
                                           ? disks.openVolume(patch.volume, DiskAccess::ReadWrite)
                                           : disks.openDisk(patch.disk, DiskAccess::ReadWrite);
  if (!handle) return FailureReason::OpenFailed;

  Sector sector{};
  // readSector zeroes the buffer again on a short read; writing that back would wipe the sector.
  if (!handle->readSector(patch.sectorOffset, sector)) return FailureReason::ReadFailed;
  if (patch.firstByte > sector.size() || patch.bytes.size() > sector.size() - patch.firstByte) {
    return FailureReason::TableChanged;
  }
  if (patch.check) {
    if (std::optional<FailureReason> refusal = patch.check(sector)) return refusal;
  }
  if (std::equal(patch.bytes.begin(), patch.bytes.end(), sector.begin() + patch.firstByte)) {
    return std::nullopt;
  }
  std::copy(patch.bytes.begin(), patch.bytes.end(), sector.begin() + patch.firstByte);
  if (!handle->writeSector(patch.sectorOffset, sector)) return FailureReason::WriteFailed;
  return std::nullopt;
}

bool recordOutcome(ChangeReport& report, std::size_t row, ChangeKind kind,
                   const std::optional<FailureReason>& outcome) {
  if (!outcome) return true;
  report.failures.push_back(ChangeFailure{row, kind, *outcome});
  return false;
}

}  // namespace quenbolt

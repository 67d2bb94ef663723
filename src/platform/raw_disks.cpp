#include "platform/raw_disks.h"

namespace quenbolt {

bool DiskHandle::readSector(std::uint64_t offset, Sector& sector) {
  sector.fill(0);
  lastError_ = 0;
  const long got = readAt(offset, sector.data(), sector.size());
  if (got != static_cast<long>(sector.size())) {
    sector.fill(0);
    return false;
  }
  return true;
}

bool DiskHandle::writeSector(std::uint64_t offset, const Sector& sector) {
  lastError_ = 0;
  return writeAt(offset, sector.data(), sector.size()) == static_cast<long>(sector.size());
}

}  // namespace quenbolt

#include "platform/raw_disks.h"

namespace quenbolt {

void DiskHandle::setSectorSize(std::size_t size) {
  const bool sane = size >= kSectorSize && size <= 65536 && (size & (size - 1)) == 0;
  sectorSize_ = sane ? size : kSectorSize;
}

bool DiskHandle::isSectorAligned(std::uint64_t offset, std::size_t size) const {
  return offset % sectorSize_ == 0 && size == sectorSize_;
}

bool DiskHandle::readSector(std::uint64_t offset, Sector& sector) {
  sector = Sector(sectorSize_);
  lastError_ = 0;
  if (!isSectorAligned(offset, sector.size())) {
    lastError_ = kErrorInvalidParameter;
    return false;
  }
  const long got = readAt(offset, sector.data(), sector.size());
  if (got != static_cast<long>(sector.size())) {
    sector.fill(0);
    return false;
  }
  return true;
}

bool DiskHandle::writeSector(std::uint64_t offset, const Sector& sector) {
  lastError_ = 0;
  if (!isSectorAligned(offset, sector.size())) {
    lastError_ = kErrorInvalidParameter;
    return false;
  }
  return writeAt(offset, sector.data(), sector.size()) == static_cast<long>(sector.size());
}

}  // namespace quenbolt

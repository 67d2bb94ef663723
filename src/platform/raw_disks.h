#pragma once
// Raw physical disks ("\\.\PHYSICALDRIVEn"), sector by sector at 64-bit byte offsets.

#include <cstdint>
#include <memory>
#include <optional>

#include "model/sector.h"

namespace quenbolt {

enum class DiskAccess { Read, ReadWrite };

// An open disk. Destroying it closes the device. Not copyable.
class DiskHandle {
 public:
  DiskHandle() = default;
  DiskHandle(const DiskHandle&) = delete;
  DiskHandle& operator=(const DiskHandle&) = delete;
  virtual ~DiskHandle() = default;

  // Clears `sector`, then reads the 512 bytes at byte `offset`. Returns true only when all 512
  // bytes arrived; on a failed or short read `sector` holds zeros again, so that nothing half
  // read can ever be written back.
  bool readSector(std::uint64_t offset, Sector& sector);

  // Writes the 512 bytes of `sector` at byte `offset`. Returns true only when all 512 were written.
  bool writeSector(std::uint64_t offset, const Sector& sector);

  // The disk's length in bytes (IOCTL_DISK_GET_LENGTH_INFO), or nullopt when the system cannot
  // tell it.
  virtual std::optional<std::uint64_t> lengthBytes() { return std::nullopt; }

 protected:
  // Positions at `offset` and transfers up to `size` bytes. Returns the number of bytes
  // transferred, or -1 when positioning or the transfer failed.
  virtual long readAt(std::uint64_t offset, std::uint8_t* data, std::size_t size) = 0;
  virtual long writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) = 0;
};

class RawDisks {
 public:
  virtual ~RawDisks() = default;
  // Opens physical disk `index` (0-based) with shared read and write access.
  // Returns nullptr when the device cannot be opened.
  virtual std::unique_ptr<DiskHandle> openDisk(unsigned index, DiskAccess access) = 0;
};

}  // namespace quenbolt

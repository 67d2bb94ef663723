#pragma once
// Raw physical disks ("\\.\PHYSICALDRIVEn") and volumes ("\\.\X:"), sector by sector at 64-bit
// byte offsets.

#include <cstdint>
#include <memory>
#include <optional>

#include "model/sector.h"

namespace quenbolt {

enum class DiskAccess { Read, ReadWrite };

// System error codes (as GetLastError gives them) that the program tells apart from the rest.
enum : std::uint32_t {
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorAccessDenied = 5,
  kErrorInvalidParameter = 87,  // a transfer that is not whole sectors at a sector boundary
  kErrorNotReady = 21,          // a drive without its medium, such as an empty card reader
  kErrorNoMediaInDrive = 1112,
};

// An open disk or volume. Destroying it closes the device. Not copyable.
class DiskHandle {
 public:
  DiskHandle() = default;
  DiskHandle(const DiskHandle&) = delete;
  DiskHandle& operator=(const DiskHandle&) = delete;
  virtual ~DiskHandle() = default;

  // The device's logical sector size (IOCTL_DISK_GET_DRIVE_GEOMETRY_EX's BytesPerSector; 512 where
  // the system does not tell it): every transfer is whole sectors of it at a multiple of it.
  std::size_t sectorSize() const { return sectorSize_; }

  // Makes `sector` one sector of zeros, then reads the sector at byte `offset`. Returns true only
  // when the whole sector arrived; on a failed or short read `sector` holds zeros again, so that
  // nothing half read can ever be written back. An offset that is no multiple of the sector size
  // is refused without a transfer (lastError: kErrorInvalidParameter), as the disk class driver
  // refuses it.
  bool readSector(std::uint64_t offset, Sector& sector);

  // Writes `sector`, which must be one whole sector, at byte `offset`, a multiple of the sector
  // size. Returns true only when all of it was written.
  bool writeSector(std::uint64_t offset, const Sector& sector);

  // The system's error code of the last readSector or writeSector that failed outright; 0 when
  // that call succeeded or transferred only part of the sector.
  std::uint32_t lastError() const { return lastError_; }
  // The disk's length in bytes (IOCTL_DISK_GET_LENGTH_INFO), or nullopt when the system cannot
  // tell it.
  virtual std::optional<std::uint64_t> lengthBytes() { return std::nullopt; }

 protected:
  // Positions at `offset` and transfers up to `size` bytes. Returns the number of bytes
  // transferred, or -1 when positioning or the transfer failed (through failedWith).
  virtual long readAt(std::uint64_t offset, std::uint8_t* data, std::size_t size) = 0;
  virtual long writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) = 0;
  // Keeps the system's error code for lastError() and returns -1.
  long failedWith(std::uint32_t error) {
    lastError_ = error;
    return -1;
  }
  // For the implementation, once it knows the device's sector size: a power of two from 512 to
  // 64 KiB; anything else counts as 512.
  void setSectorSize(std::size_t size);

 private:
  bool isSectorAligned(std::uint64_t offset, std::size_t size) const;

  std::uint32_t lastError_ = 0;
  std::size_t sectorSize_ = kSectorSize;
};

class RawDisks {
 public:
  virtual ~RawDisks() = default;
  // Opens physical disk `index` (0-based) with shared read and write access.
  // Returns nullptr when the device cannot be opened; lastOpenError() then tells why.
  virtual std::unique_ptr<DiskHandle> openDisk(unsigned index, DiskAccess access) = 0;

  // Opens the volume of drive `letter` ("\\.\X:") with shared read and write access; offsets
  // count from the volume's first byte. Since Windows Vista a write through a disk handle into a
  // mounted volume is refused (access denied), while the volume's own handle may still write the
  // volume's reserved area, its boot sectors. Returns nullptr when the volume cannot be opened.
  virtual std::unique_ptr<DiskHandle> openVolume(char letter, DiskAccess access) = 0;

  // Asks the system to read the partition table of disk `index` again
  // (IOCTL_DISK_UPDATE_PROPERTIES), so that it sees a table written behind its back without a
  // restart. False when the disk cannot be opened or the system does not do it.
  virtual bool updateDiskProperties(unsigned index) = 0;

  // The system's error code of the last openDisk that returned nullptr.
  std::uint32_t lastOpenError() const { return lastOpenError_; }

 protected:
  // Keeps the system's error code for lastOpenError() and returns nullptr.
  std::unique_ptr<DiskHandle> openFailed(std::uint32_t error) {
    lastOpenError_ = error;
    return nullptr;
  }

 private:
  std::uint32_t lastOpenError_ = 0;
};

}  // namespace quenbolt

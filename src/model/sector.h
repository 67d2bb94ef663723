#pragma once
// One raw disk sector: every disk access of the program is exactly one, of the disk's own size.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quenbolt {

// The sector size of nearly every disk, and of every disk that does not say otherwise. MBR and EBR
// fields and FAT32 boot-sector fields all lie within the first 512 bytes of a sector of any size.
constexpr std::size_t kSectorSize = 512;
// The other size disks report: 4Kn disks, and many USB bridges whatever the drive behind them.
constexpr std::size_t kLargeSectorSize = 4096;

class Sector {
 public:
  // A sector of zeros, 512 bytes, or `size` bytes.
  Sector() : bytes_(kSectorSize, 0) {}
  explicit Sector(std::size_t size) : bytes_(size, 0) {}

  std::size_t size() const { return bytes_.size(); }
  std::uint8_t* data() { return bytes_.data(); }
  const std::uint8_t* data() const { return bytes_.data(); }
  std::uint8_t& operator[](std::size_t i) { return bytes_[i]; }
  const std::uint8_t& operator[](std::size_t i) const { return bytes_[i]; }
  std::vector<std::uint8_t>::iterator begin() { return bytes_.begin(); }
  std::vector<std::uint8_t>::iterator end() { return bytes_.end(); }
  std::vector<std::uint8_t>::const_iterator begin() const { return bytes_.begin(); }
  std::vector<std::uint8_t>::const_iterator end() const { return bytes_.end(); }
  void fill(std::uint8_t value) { std::fill(bytes_.begin(), bytes_.end(), value); }

  friend bool operator==(const Sector& a, const Sector& b) { return a.bytes_ == b.bytes_; }
  friend bool operator!=(const Sector& a, const Sector& b) { return a.bytes_ != b.bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace quenbolt

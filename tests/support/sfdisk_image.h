#pragma once
// Disk images partitioned by sfdisk, the independent tool the GPT tests compare the program with.
// Made in a temporary file and loaded onto a simulated disk; on Windows, or where sfdisk is
// missing, nothing is made and the tests that need one skip.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/simulated_machine.h"

namespace quenbolt {

// sfdisk's input for the layout Windows Setup makes, on a disk of 1 GiB or more: EFI system
// partition (100 MiB), Microsoft reserved (16 MiB), basic data (800 MiB), recovery (100 MiB), in
// a table of 128 entries (32 sectors).
extern const char* const kWindowsGptScript;

// One partition as `sfdisk -J` lists it.
struct SfdiskPartition {
  std::uint64_t start = 0;  // sectors
  std::uint64_t size = 0;   // sectors
  std::string type;         // the type GUID (or MBR type) as sfdisk prints it
  bool hidden = false;      // attrs holds "GUID:62"
};

class SfdiskImage {
 public:
  // A sparse image of `sizeBytes` partitioned by sfdisk from `script` (its input, "label: gpt"
  // and all); nullptr when sfdisk is missing or refuses the script.
  static std::unique_ptr<SfdiskImage> make(const std::string& script, std::uint64_t sizeBytes);
  ~SfdiskImage();
  SfdiskImage(const SfdiskImage&) = delete;
  SfdiskImage& operator=(const SfdiskImage&) = delete;

  // What `sfdisk -J` lists, in its order.
  std::vector<SfdiskPartition> partitions() const;
  // A disk of the image's size on `machine` at `index`, holding every non-zero sector of it.
  SimulatedDisk& addTo(SimulatedMachine& machine, unsigned index) const;

 private:
  SfdiskImage(std::string path, std::uint64_t size) : path_(std::move(path)), size_(size) {}
  std::string path_;
  std::uint64_t size_;
};

}  // namespace quenbolt

#pragma once
// Disks partitioned by sfdisk, the independent tool the GPT tests compare the program with. On
// Windows, or where sfdisk is missing, none is made and the tests that need one skip.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/simulated_machine.h"

namespace quenbolt {

// The layout Windows Setup makes, for a disk of 1 GiB: EFI system partition (100 MiB), Microsoft
// reserved (16 MiB), basic data (800 MiB, from sector 239616), recovery (100 MiB); 128 entries.
extern const char* const kWindowsGptScript;

// One partition as `sfdisk -J` lists it.
struct SfdiskPartition {
  std::uint64_t start = 0, size = 0;  // sectors
  std::string type;                   // the type GUID as sfdisk prints it
  bool hidden = false;                // attrs holds "GUID:62"
};

// Partitions a sparse image of `bytes` from `script` (sfdisk's input), lays it onto `machine` as
// disk `index` and returns what `sfdisk -J` lists for it; nothing when sfdisk cannot.
std::optional<std::vector<SfdiskPartition>> sfdiskDisk(const std::string& script, std::uint64_t bytes,
                                                       SimulatedMachine& machine, unsigned index);

}  // namespace quenbolt

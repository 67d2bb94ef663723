#pragma once
// Disks partitioned by sfdisk, the independent tool the GPT tests compare the program with. None is
// made on Windows, or where sfdisk is missing; the tests that need one skip then.

#include "support/simulated_machine.h"

namespace quenbolt {
// The layout Windows Setup makes, for a disk of 1 GiB: EFI system partition (100 MiB), Microsoft
// reserved (16 MiB), basic data (800 MiB, from sector 239616), recovery (100 MiB); 128 entries.
extern const char* const kWindowsGptScript;

struct SfdiskPartition {  // one partition as `sfdisk -J` lists it
  std::uint64_t start = 0, size = 0;  // sectors
  bool hidden = false;                // attrs holds "GUID:62"
};

// Partitions a sparse image of `bytes` from `script` (sfdisk's input), lays it onto `machine` as disk
// `index` and returns what `sfdisk -J` lists for it; nothing when sfdisk cannot.
std::optional<std::vector<SfdiskPartition>> sfdiskDisk(const std::string& script, std::uint64_t bytes, SimulatedMachine& machine, unsigned index);
}  // namespace quenbolt

#pragma once
// Machines of a chosen size for measuring the scan: every disk has a primary and a container with
// a chain of logical partitions, every tenth of them hidden FAT32 (type 1C) with its label in its
// boot sector; the first 24 disks' primaries carry letters, so the volume pass has work.

#include <string>

#include "support/sectors.h"
#include "support/simulated_machine.h"

namespace quenbolt {
namespace bench {

struct ChainedDisks {
  unsigned disks = 1, logicals = 10;
};

// What one scan of such a machine reads, at the least.
struct ScanCost {
  std::uint64_t tableSectors = 0, hiddenBootSectors = 0, rows = 0;
};

inline ScanCost layChainedDisks(SimulatedMachine& machine, const ChainedDisks& shape) {
  constexpr std::uint32_t kStart = 2048 + 20480, kStride = 4096;  // sectors, EBR to EBR
  ScanCost cost;
  for (unsigned n = 0; n < shape.disks; ++n) {
    SimulatedDisk& disk = machine.addDisk(n, 4ull << 40);
    disk.put(0, table({{0, 0x80, 0x07, 2048, 20480}, {1, 0, 0x0F, kStart, (shape.logicals + 1) * kStride}}));
    for (unsigned i = 0; i < shape.logicals; ++i) {
      const bool hidden = i % 10 == 0;
      const std::uint64_t ebr = (kStart + std::uint64_t{i} * kStride) * 512;
      const std::uint32_t next = i + 1 < shape.logicals ? (i + 1) * kStride : 0;
      disk.put(ebr, table({{0, 0, static_cast<std::uint8_t>(hidden ? 0x1C : 0x07), 63, kStride - 63},
                           {1, 0, 0x05, next, next ? kStride : 0}}));
      if (hidden) disk.put(ebr + 63 * 512, fat32Boot("L" + std::to_string(i)));
      cost.hiddenBootSectors += hidden;
    }
    cost.tableSectors += 1 + shape.logicals;
    cost.rows += 2 + shape.logicals;
    if (n < 24) {
      SimulatedVolume& volume = machine.letters[static_cast<char>('C' + n)];
      volume.disk = n;
      volume.start = 2048 * 512;
      volume.label = "DISK" + std::to_string(n);
    }
  }
  return cost;
}

}  // namespace bench
}  // namespace quenbolt

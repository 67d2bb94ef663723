#pragma once
// Machines of a chosen size for measuring the scan: every disk holds a primary and a container of a
// chain of logicals, every tenth hidden FAT32 (1C) with its label in its boot sector; the primaries
// of the first 24 disks have letters, so the volume pass has work too.

#include "support/simulated_machine.h"

namespace quenbolt {
namespace bench {
struct ChainedDisks {
  unsigned disks = 1, logicals = 10;
};
struct ScanCost {
  std::uint64_t tableSectors = 0, hiddenBootSectors = 0, rows = 0;
};  // what one scan reads and makes

inline ScanCost layChainedDisks(SimulatedMachine& machine, const ChainedDisks& shape) {
  constexpr std::uint32_t kStart = 2048 + 20480, kStride = 4096;  // sectors, EBR to EBR
  ScanCost cost{shape.disks * (1ull + shape.logicals), shape.disks * ((shape.logicals + 9) / 10ull),
                shape.disks * (2ull + shape.logicals)};
  for (unsigned n = 0; n < shape.disks; ++n) {
    SimulatedDisk& disk = machine.addDisk(n, 4ull << 40);
    disk.put(0, table({{0, 0x80, 0x07, 2048, 20480},
                       {1, 0, 0x0F, kStart, (shape.logicals + 1) * kStride}}));
    for (unsigned i = 0; i < shape.logicals; ++i) {
      const std::uint64_t ebr = (kStart + std::uint64_t{i} * kStride) * 512;
      const std::uint32_t next = i + 1 < shape.logicals ? (i + 1) * kStride : 0;
      disk.put(ebr,
               table({{0, 0, static_cast<std::uint8_t>(i % 10 ? 0x07 : 0x1C), 63, kStride - 63},
                      {1, 0, 0x05, next, next ? kStride : 0}}));
      if (i % 10 == 0) disk.put(ebr + 63 * 512, fat32Boot("L" + std::to_string(i)));
    }
    if (n < 24)
      machine.letters[static_cast<char>('C' + n)] =
          SimulatedVolume{n, 2048 * 512, 20480 * 512, "DISK" + std::to_string(n)};
  }
  return cost;
}
}  // namespace bench
}  // namespace quenbolt

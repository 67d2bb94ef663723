#pragma once
// Machines of a chosen size for measuring the scan: every disk has a primary partition and an
// extended container with a chain of logical partitions, every tenth of them a hidden FAT32
// partition whose label lives in its boot sector. The first disks' primaries carry letters, so
// the volume pass has real work.

#include <cstdint>

#include "support/simulated_machine.h"
#include "support/table_sector_builder.h"

namespace quenbolt {
namespace bench {

struct ChainedDisks {
  unsigned disks = 1;
  unsigned logicalsPerDisk = 10;
  unsigned hiddenEvery = 10;  // every n-th logical is of type 1C
};

// What one scan of such a machine must cost at least.
struct ScanCost {
  std::uint64_t tableSectors = 0;       // MBRs and EBRs walked
  std::uint64_t hiddenBootSectors = 0;  // boot sectors read for their labels
  std::uint64_t rows = 0;
  std::uint64_t reads() const { return tableSectors + hiddenBootSectors; }
};

inline ScanCost layChainedDisks(SimulatedMachine& machine, const ChainedDisks& shape) {
  constexpr std::uint32_t kStart = 2048 + 20480, kStride = 4096;  // sectors; EBR to EBR
  ScanCost cost;
  machine.setDiskCount(shape.disks);
  for (unsigned n = 0; n < shape.disks; ++n) {
    SimulatedDisk& disk = machine.addDisk(n, 4ull << 40);
    disk.setSector(0, TableSector()
                          .entry(0, 0x80, 0x07, 2048, 20480)
                          .entry(1, 0x00, 0x0F, kStart, (shape.logicalsPerDisk + 1) * kStride)
                          .signature());
    for (unsigned i = 0; i < shape.logicalsPerDisk; ++i) {
      const bool hidden = shape.hiddenEvery != 0 && i % shape.hiddenEvery == 0;
      const std::uint64_t ebr = (kStart + std::uint64_t{i} * kStride) * 512;
      TableSector table;
      table.entry(0, 0x00, hidden ? 0x1C : 0x07, 63, kStride - 63);
      if (i + 1 < shape.logicalsPerDisk) table.entry(1, 0x00, 0x05, (i + 1) * kStride, kStride);
      disk.setSector(ebr, table.signature());
      if (hidden) disk.setSector(ebr + 63 * 512, fat32BootSector("L" + std::to_string(i)));
      cost.hiddenBootSectors += hidden;
    }
    cost.tableSectors += 1 + shape.logicalsPerDisk;
    cost.rows += 2 + shape.logicalsPerDisk;
    if (n < 24) {
      SimulatedVolume volume;
      volume.disk = n;
      volume.startOffset = 2048 * 512;
      volume.label = "DISK" + std::to_string(n);
      volume.freeBytes = 1ull << 30;
      machine.mountVolume(static_cast<char>('C' + n), volume);
    }
  }
  return cost;
}

}  // namespace bench
}  // namespace quenbolt

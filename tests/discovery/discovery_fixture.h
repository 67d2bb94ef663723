#pragma once
// A simulated machine, the catalogue and an empty partition list: what every discovery test
// starts from, with short ways to lay out disks and volumes.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "discovery/partition_list.h"
#include "discovery/scan_disks.h"
#include "model/type_catalogue.h"
#include "support/simulated_machine.h"
#include "support/table_sector_builder.h"

namespace quenbolt {

constexpr std::uint64_t kGiB = 1024ull * 1024 * 1024;
constexpr std::uint64_t kMiB = 1024ull * 1024;

constexpr std::uint64_t bytes(std::uint32_t sectors) { return std::uint64_t{sectors} * 512; }

// A table sector with its signature, ready for entries.
inline TableSector table() { return TableSector().signature(); }

inline SimulatedVolume volumeAt(unsigned disk, std::uint64_t offset, const std::string& label = "",
                                std::uint64_t freeBytes = 0) {
  SimulatedVolume volume;
  volume.disk = disk;
  volume.startOffset = offset;
  volume.label = label;
  volume.freeBytes = freeBytes;
  return volume;
}

inline std::vector<std::string> strings(std::initializer_list<const char*> texts) {
  return std::vector<std::string>(texts.begin(), texts.end());
}

class DiscoveryTest : public testing::Test {
 protected:
  SimulatedMachine machine;
  Platform platform = machine.platform();
  TypeCatalogue catalogue;
  PartitionList list;
  unsigned diskCount = 0;

  // Sparse, so the size costs nothing. The registry's disk count grows to include it.
  SimulatedDisk& addDisk(unsigned index, const Sector& mbr = Sector{}) {
    if (index >= diskCount) machine.setDiskCount(diskCount = index + 1);
    SimulatedDisk& disk = machine.addDisk(index, 64 * kGiB);
    disk.setSector(0, mbr);
    return disk;
  }
  // Disk `index` with 07 primaries of 2048 sectors at each of `starts`.
  SimulatedDisk& addPrimaries(unsigned index, std::initializer_list<std::uint32_t> starts) {
    TableSector mbr = table();
    unsigned slot = 0;
    for (std::uint32_t start : starts) mbr.entry(slot++, 0x00, 0x07, start, 2048);
    return addDisk(index, mbr);
  }
  void scan() { scanDisks(platform, catalogue, list); }

  // One column of every row, in row order.
  std::vector<std::string> column(Column c) const {
    std::vector<std::string> cells;
    for (const PartitionRow& row : list.rows) cells.push_back(row[c]);
    return cells;
  }
};

}  // namespace quenbolt

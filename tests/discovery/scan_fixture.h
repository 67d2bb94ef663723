#pragma once
// An empty simulated machine, the catalogue and a partition list, with short ways to lay out disks
// and volumes and to look at what a scan made of them.

#include <gtest/gtest.h>

#include "discovery/scan_disks.h"
#include "discovery/startup_scan.h"
#include "support/sectors.h"
#include "support/simulated_machine.h"

namespace quenbolt {

using Strings = std::vector<std::string>;

class ScanTest : public testing::Test {
 protected:
  // Disk `index` of 64 GiB (sparse) holding `mbr`; the registry's count grows to include it.
  SimulatedDisk& disk(unsigned index, const Sector& mbr) {
    machine.addDisk(index, 64ull << 30).put(0, mbr);
    return machine.disks[index];
  }
  SimulatedVolume& mount(char letter, unsigned disk, std::uint64_t sector, const std::string& label = "", std::uint64_t freeBytes = 0) {
    SimulatedVolume& v = machine.letters[letter];
    v.disk = disk, v.start = sector * 512, v.label = label, v.freeBytes = freeBytes;
    return v;
  }
  void scan() { scanDisks(platform, catalogue, list); }
  Strings column(Column c) const {
    Strings cells;
    for (const PartitionRow& row : list.rows) cells.push_back(row[c]);
    return cells;
  }

  SimulatedMachine machine;
  Platform platform = machine.platform();
  TypeCatalogue catalogue;
  PartitionList list;
};

}  // namespace quenbolt

#include <gtest/gtest.h>

#include "bench/chained_disks.h"
#include "discovery/scan_disks.h"
#include "discovery/startup_scan.h"

namespace quenbolt {
namespace {

struct Measured {
  bench::ScanCost expected;
  std::uint64_t reads = 0, opens = 0;
  PartitionList list;
};

Measured measureScan(const bench::ChainedDisks& shape) {
  SimulatedMachine machine;
  Measured m;
  m.expected = bench::layChainedDisks(machine, shape);
  Platform platform = machine.platform();
  const TypeCatalogue catalogue;
  scanDisks(platform, catalogue, m.list);
  m.reads = machine.diskLog(DiskOp::Read).size();
  m.opens = machine.diskLog(DiskOp::Open).size();
  return m;
}

TEST(ScanCost, ReadsAreOnePerTableSectorPlusOnePerHiddenBootSector) {
  for (unsigned disks : {1u, 4u, 32u}) {
    for (unsigned chain : {10u, 100u, 1000u}) {
      SCOPED_TRACE(std::to_string(disks) + " disks, chains of " + std::to_string(chain));
      const Measured m = measureScan({disks, chain, 10});
      EXPECT_EQ(m.reads, m.expected.reads());
      // One open per disk for the walk and one per hidden row for its label.
      EXPECT_EQ(m.opens, disks + m.expected.hiddenBootSectors);
      // Every store keeps a place for every row, however long the chain.
      const PartitionList& list = m.list;
      EXPECT_EQ(list.size(), m.expected.rows);
      for (std::size_t store : {list.TableSectorOffset.size(), list.TypeByteOffset.size(),
                                list.BootSectorOffsetText.size(), list.ScannedTypeId.size(),
                                list.ScannedLabel.size()}) {
        EXPECT_EQ(store, list.size());
      }
      EXPECT_EQ(list.LogicalList.size(), disks * chain);
      EXPECT_EQ(list.LogicalList.back().number, chain + 1);
      EXPECT_EQ(list.rows.back()[kPartitionColumn], std::to_string(chain + 1));
    }
  }
}

TEST(ScanCost, StartUpAsksForFreeLettersNoMoreOftenThanThereAreLetters) {
  // Each question costs milliseconds under Wine: asked once per partition, a thousand logical
  // partitions made start-up seconds slower.
  SimulatedMachine machine;
  bench::layChainedDisks(machine, {1, 1000, 0});
  machine.unmountVolume('C');
  Platform platform = machine.platform();
  const TypeCatalogue catalogue;
  PartitionList list;
  TempLetterList letters;
  scanWithTemporaryLetters(platform, catalogue, list, letters);
  EXPECT_EQ(letters.size(), 23u);  // D to Z
  // Once a letter, and once for each of the two scans' volume passes.
  EXPECT_LE(machine.calls(CallKind::LogicalDrives).size(), 24u + 2u);
}

}  // namespace
}  // namespace quenbolt

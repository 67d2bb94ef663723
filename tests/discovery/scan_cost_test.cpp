#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "bench/chained_disks.h"
#include "discovery/scan_disks.h"

namespace quenbolt {
namespace {

struct Measured {
  bench::ScanCost expected;
  std::uint64_t reads = 0, opens = 0;
  double seconds = 1e9;  // the best of the runs
  PartitionList list;
};

Measured measureScan(const bench::ChainedDisks& shape, int repeats = 1) {
  SimulatedMachine machine;
  Measured m;
  m.expected = bench::layChainedDisks(machine, shape);
  Platform platform = machine.platform();
  const TypeCatalogue catalogue;
  for (int i = 0; i < repeats; ++i) {
    machine.clearLogs();
    const auto start = std::chrono::steady_clock::now();
    scanDisks(platform, catalogue, m.list);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    m.seconds = std::min(m.seconds, took.count());
  }
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

TEST(ScanCost, TimePerPartitionStaysRoughlyConstant) {
  // Best of several runs, eight times the partitions: a cost that grows with the square of the
  // list would take about eight times as long per partition.
  const Measured a = measureScan({2, 125, 10}, 7);
  const Measured b = measureScan({2, 1000, 10}, 7);
  const double perRowSmall = a.seconds / static_cast<double>(a.expected.rows);
  const double perRowLarge = b.seconds / static_cast<double>(b.expected.rows);
  EXPECT_LT(perRowLarge, 4 * perRowSmall) << perRowSmall * 1e9 << " ns per row at "
                                          << a.expected.rows << " rows, " << perRowLarge * 1e9
                                          << " ns per row at " << b.expected.rows << " rows";
}

}  // namespace
}  // namespace quenbolt

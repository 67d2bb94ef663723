#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "bench/chained_disks.h"
#include "discovery/scan_disks.h"

namespace quenbolt {
namespace {

struct Measured {
  std::uint64_t reads = 0;
  std::uint64_t rows = 0;
  std::uint64_t opens = 0;
  double seconds = 0;
};

// Scans a freshly laid machine `repeats` times; the time is the best of them.
Measured measureScan(const bench::ChainedDisks& shape, bench::ScanCost* expected,
                     int repeats = 1) {
  SimulatedMachine machine;
  *expected = bench::layChainedDisks(machine, shape);
  Platform platform = machine.platform();
  const TypeCatalogue catalogue;
  PartitionList list;
  Measured measured;
  measured.seconds = 1e9;
  for (int i = 0; i < repeats; ++i) {
    machine.clearLogs();
    const auto start = std::chrono::steady_clock::now();
    scanDisks(platform, catalogue, list);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    measured.seconds = std::min(measured.seconds, took.count());
  }
  measured.reads = machine.diskLog(DiskOp::Read).size();
  measured.opens = machine.diskLog(DiskOp::Open).size();
  measured.rows = list.size();
  return measured;
}

TEST(ScanCost, ReadsAreOnePerTableSectorPlusOnePerHiddenBootSector) {
  for (unsigned disks : {1u, 4u, 32u}) {
    for (unsigned chain : {10u, 100u, 1000u}) {
      bench::ScanCost expected;
      const Measured measured = measureScan({disks, chain, 10}, &expected);
      EXPECT_EQ(measured.rows, expected.rows) << disks << " disks, chains of " << chain;
      EXPECT_EQ(measured.reads, expected.reads()) << disks << " disks, chains of " << chain;
      // One open per disk for the walk and one per hidden row for its label.
      EXPECT_EQ(measured.opens, disks + expected.hiddenBootSectors);
    }
  }
}

TEST(ScanCost, TimePerPartitionStaysRoughlyConstant) {
  // Best of several runs, eight times the partitions: a cost that grows with the square of the
  // list would take about eight times as long per partition.
  bench::ScanCost small;
  bench::ScanCost large;
  const Measured a = measureScan({2, 125, 10}, &small, 7);
  const Measured b = measureScan({2, 1000, 10}, &large, 7);
  const double perRowSmall = a.seconds / static_cast<double>(small.rows);
  const double perRowLarge = b.seconds / static_cast<double>(large.rows);
  EXPECT_LT(perRowLarge, 4 * perRowSmall)
      << perRowSmall * 1e9 << " ns per row at " << small.rows << " rows, " << perRowLarge * 1e9
      << " ns per row at " << large.rows << " rows";
}

}  // namespace
}  // namespace quenbolt

// Time and sector reads of one scan over machines of growing size.
//   scripts/bench            (or: scan_benchmark --benchmark_filter=...)

#include <benchmark/benchmark.h>

#include "bench/chained_disks.h"
#include "discovery/scan_disks.h"

namespace quenbolt {
namespace {

void BM_ScanDisks(benchmark::State& state) {
  SimulatedMachine machine;
  bench::ChainedDisks shape;
  shape.disks = static_cast<unsigned>(state.range(0));
  shape.logicalsPerDisk = static_cast<unsigned>(state.range(1));
  const bench::ScanCost expected = bench::layChainedDisks(machine, shape);
  Platform platform = machine.platform();
  const TypeCatalogue catalogue;
  PartitionList list;

  std::uint64_t reads = 0;
  for (auto _ : state) {
    state.PauseTiming();
    machine.clearLogs();  // the machine logs every access; keep that out of the figures
    state.ResumeTiming();
    scanDisks(platform, catalogue, list);
    benchmark::DoNotOptimize(list.rows.data());
    state.PauseTiming();
    reads = machine.diskLog(DiskOp::Read).size();
    state.ResumeTiming();
    if (reads != expected.reads() || list.size() != expected.rows) {
      state.SkipWithError("the scan read more or fewer sectors, or made other rows, than expected");
      break;
    }
  }
  const double partitions = static_cast<double>(expected.rows);
  state.counters["rows"] = partitions;
  state.counters["reads"] = static_cast<double>(reads);
  state.counters["min_reads"] = static_cast<double>(expected.reads());
  // Seconds per row, averaged over all iterations.
  state.counters["per_row"] = benchmark::Counter(
      partitions, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_ScanDisks)
    ->ArgNames({"disks", "chain"})
    ->ArgsProduct({{1, 4, 32}, {10, 100, 1000}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quenbolt

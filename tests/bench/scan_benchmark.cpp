// The time one scan takes over machines of growing size: scripts/bench native
// [--benchmark_filter=...].
#include <benchmark/benchmark.h>
#include "bench/chained_disks.h"
#include "discovery/scan_disks.h"

namespace quenbolt {
void scanDisksBenchmark(benchmark::State& state) {
  SimulatedMachine machine;
  const bench::ScanCost cost = bench::layChainedDisks(
      machine, {static_cast<unsigned>(state.range(0)), static_cast<unsigned>(state.range(1))});
  Platform platform = machine.platform();
  const TypeCatalogue catalogue;
  PartitionList list;
  for (auto _ : state) {
    state.PauseTiming();
    machine.log.clear();  // the machine logs every access; keep that out of the figures
    state.ResumeTiming();
    scanDisks(platform, catalogue, list);
  }
  if (list.size() != cost.rows) state.SkipWithError("the scan made other rows than the disks hold");
  state.counters["per_row"] = benchmark::Counter(
      static_cast<double>(cost.rows),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(scanDisksBenchmark)
    ->ArgNames({"disks", "chain"})
    ->ArgsProduct({{1, 4, 32}, {10, 100, 1000}})
    ->Unit(benchmark::kMicrosecond);
}  // namespace quenbolt

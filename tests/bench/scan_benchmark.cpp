// Time of one scan over machines of growing size: scripts/bench native [--benchmark_filter=...].

#include <benchmark/benchmark.h>

#include "bench/chained_disks.h"
#include "discovery/scan_disks.h"

namespace quenbolt {
namespace {

void BM_ScanDisks(benchmark::State& state) {
  SimulatedMachine machine;
  const bench::ChainedDisks shape{static_cast<unsigned>(state.range(0)), static_cast<unsigned>(state.range(1))};
  const bench::ScanCost cost = bench::layChainedDisks(machine, shape);
  Platform platform = machine.platform();
  const TypeCatalogue catalogue;
  PartitionList list;
  for (auto _ : state) {
    state.PauseTiming();
    machine.log.clear();  // the machine logs every access; keep that out of the figures
    state.ResumeTiming();
    scanDisks(platform, catalogue, list);
    benchmark::DoNotOptimize(list.rows.data());
  }
  if (machine.logged("read ").size() != cost.tableSectors + cost.hiddenBootSectors || list.size() != cost.rows) {
    state.SkipWithError("the scan read other sectors, or made other rows, than the disks hold");
  }
  // Seconds per row, averaged over all iterations.
  state.counters["per_row"] = benchmark::Counter(static_cast<double>(cost.rows),
                                                 benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_ScanDisks)->ArgNames({"disks", "chain"})->ArgsProduct({{1, 4, 32}, {10, 100, 1000}})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quenbolt

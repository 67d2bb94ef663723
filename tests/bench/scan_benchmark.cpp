// The time one scan takes over machines of growing size: scripts/bench native
// [--benchmark_filter=...].
#include <benchmark/benchmark.h>
#include "discovery/scan_disks.h"
#include "support/simulated_machine.h"

namespace quenbolt {
namespace {
// Machines of a chosen size for measuring the scan: every disk holds a primary and a container of a
// chain of logicals, every tenth hidden FAT32 (1C) with its label in its boot sector; the primaries
// of the first 24 disks have letters, so the volume pass has work too.
struct ChainedDisks {
  unsigned disks = 1;
  unsigned logicals = 10;
};

// Lays the machine out; the rows a scan of it makes.
std::uint64_t layChainedDisks(SimulatedMachine& machine, const ChainedDisks& shape) {
  constexpr std::uint32_t kStart = 2048 + 20480;  // sectors
  constexpr std::uint32_t kStride = 4096;         // sectors, EBR to EBR
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
  return shape.disks * (2ull + shape.logicals);
}
}  // namespace

void scanDisksBenchmark(benchmark::State& state) {
  SimulatedMachine machine;
  const std::uint64_t rows = layChainedDisks(
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
  if (list.size() != rows) state.SkipWithError("the scan made other rows than the disks hold");
  state.counters["per_row"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
}
BENCHMARK(scanDisksBenchmark)
    ->ArgNames({"disks", "chain"})
    ->ArgsProduct({{1, 4, 32}, {10, 100, 1000}})
    ->Unit(benchmark::kMicrosecond);
}  // namespace quenbolt

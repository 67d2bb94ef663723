#pragma once
// Random machines and batch commands, and an oracle that works out what a command must do from the
// raw sectors and the command alone, as the tables and the commands are defined, using nothing of
// the program. Shared by the property test and the fuzz targets (so no GoogleTest here).

#include "support/simulated_machine.h"

namespace quenbolt {
namespace oracle {
// Every random choice goes through one, from a seed (splitmix64, the same sequence everywhere, so
// a failure's seed reproduces it).
struct Chooser {
  std::function<std::uint32_t(std::uint32_t)> below;  // 0 to n - 1 (0 when n is 0)
  bool chance(unsigned percent) { return below(100) < percent; }
  template <typename T>
  const T& oneOf(const std::vector<T>& items) {
    return items[below(static_cast<std::uint32_t>(items.size()))];
  }
};
inline Chooser seeded(std::uint64_t seed) {
  return {[seed](std::uint32_t n) mutable {
    std::uint64_t z = (seed += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return n ? static_cast<std::uint32_t>((z ^ (z >> 31)) % n) : 0;
  }};
}

// One row of the partition list, worked out from the table sectors.
struct Part {
  unsigned disk = 0;
  std::string number;   // display number; empty for containers and EBRs whose entry 0 is a link
  unsigned system = 0;  // system number of primaries and EBR rows
  bool primary = false;
  std::uint64_t table = 0, typeAt = 0, start = 0;  // byte offsets on the disk
  std::uint8_t type = 0, boot = 0;
};

// The rows of the disks the registry lists, in list order; `unreadable` gets those not opening.
std::vector<Part> partsOf(const SimulatedMachine& machine, std::vector<unsigned>& unreadable);

// Disks of sound, broken and hostile tables (loops, shared chains, starts near 2^32 sectors and
// past the disk), FAT32 and NTFS boot sectors, volumes on partitions.
void buildRandomMachine(Chooser& chooser, SimulatedMachine& machine);
// Batch arguments (after the program name) of "/M", "/F" and "/A", mostly aimed at partitions the
// machine holds; labels are left to the suites that compare them with fixed bytes.
std::vector<std::string> randomCommand(Chooser& chooser, const SimulatedMachine& machine);

// What is wrong with the command step's run of `args` that turned `before` (the machine as scanned,
// its log empty) into `after` with exit status `status`; `faults`: whether any were planted.
std::vector<std::string> checkBatchRun(const SimulatedMachine& before,
                                       const SimulatedMachine& after,
                                       const std::vector<std::string>& args, int status,
                                       bool faults);
// The writes of the log without a full read of their sector just before on their handle, or after
// a failed read there.
std::vector<std::string> writesWithoutFullRead(const std::vector<std::string>& log);
}  // namespace oracle
}  // namespace quenbolt

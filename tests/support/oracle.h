#pragma once
// Random machines and batch commands, and an oracle that works out what a command must do from the
// raw sectors and the command alone, as the format and the commands are defined, using nothing of
// the program. Shared by the property test and the fuzz targets (so no GoogleTest here).

#include <cstdint>
#include <string>
#include <vector>

#include "support/simulated_machine.h"

namespace quenbolt {
namespace oracle {

// Every random choice goes through one, so the same builders run from a seed or from fuzzer input.
class Chooser {
 public:
  virtual ~Chooser() = default;
  virtual std::uint32_t below(std::uint32_t n) = 0;  // 0 to n - 1 (0 when n is 0)
  bool chance(unsigned percent) { return below(100) < percent; }
  template <typename T>
  const T& oneOf(const std::vector<T>& items) { return items[below(static_cast<std::uint32_t>(items.size()))]; }
};

// splitmix64: the same sequence everywhere, so a seed a failure names reproduces it.
class SeededChooser : public Chooser {
 public:
  explicit SeededChooser(std::uint64_t seed) : state_(seed) {}
  std::uint32_t below(std::uint32_t n) override {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return n ? static_cast<std::uint32_t>((z ^ (z >> 31)) % n) : 0;
  }

 private:
  std::uint64_t state_;
};

// One row of the partition list, worked out from the table sectors.
struct Part {
  unsigned disk = 0;
  std::string number;      // display number; empty for containers and EBRs whose entry 0 is a link
  unsigned system = 0;     // system number of primaries and EBR rows
  bool primary = false;
  std::uint64_t table = 0, typeAt = 0, start = 0;  // byte offsets on the disk
  std::uint8_t type = 0, boot = 0;
  char letter = 0;  // the drive letter the volumes give it
};

// The rows of every disk the registry lists, in list order; `unreadable` gets the listed disks
// that are missing.
std::vector<Part> partsOf(const SimulatedMachine& machine, std::vector<unsigned>& unreadable);

// Disks of sound, broken and hostile tables (loops, shared chains, starts near 2^32 sectors),
// FAT32 and NTFS boot sectors (some with a backup), volumes on some partitions.
void buildRandomMachine(Chooser& chooser, SimulatedMachine& machine);

// Batch arguments (after the program name) aimed at the partitions the machine holds, sometimes
// malformed.
std::vector<std::string> randomCommand(Chooser& chooser, const SimulatedMachine& machine);

// Failing opens, reads, short reads, writes and short writes of table and boot sectors.
void plantFaults(Chooser& chooser, SimulatedMachine& machine);

// What went wrong when the command step ran `args` on `before` (the machine at scan time) and
// left `after` with exit status `status`; `faults` says whether faults were planted. Empty when
// nothing did.
std::vector<std::string> checkBatchRun(const SimulatedMachine& before, const SimulatedMachine& after,
                                       const std::vector<std::string>& args, int status, bool faults);

// The 11 bytes a label is stored as in a FAT32 boot sector: cut without halving a character,
// blank-padded, a to z upper-cased.
std::string labelField(const std::string& label);

// Every write of the log follows a full read of its sector on the same handle, with no failed read
// between; the problems otherwise.
std::vector<std::string> writesWithoutFullRead(const std::vector<std::string>& log);

}  // namespace oracle
}  // namespace quenbolt

#pragma once
// Random machines for the property test and the fuzz targets: disks whose tables are sound,
// broken or hostile (loops, links back to the MBR, chains shared by two containers, offsets near
// 2^32 sectors, sectors past the end of the disk), with boot sectors, volumes and partition
// devices for temporary letters. Every choice goes through a Chooser, so the same builder runs
// from a seeded generator (repeatable cases) or from fuzzer input (coverage-guided).
//
// No GoogleTest here: the fuzz targets link this too.

#include <cstdint>
#include <string>
#include <vector>

#include "discovery/partition_list.h"
#include "support/simulated_machine.h"
#include "support/two_disk_machine.h"

namespace quenbolt {
namespace hardening {

class Chooser {
 public:
  virtual ~Chooser() = default;
  // A number from 0 to n - 1 (0 when n is 0).
  virtual std::uint32_t below(std::uint32_t n) = 0;
  virtual std::uint32_t word() = 0;

  bool chance(unsigned percent) { return below(100) < percent; }
  std::uint8_t byte() { return static_cast<std::uint8_t>(below(256)); }
  template <typename T, std::size_t N>
  const T& oneOf(const T (&items)[N]) {
    return items[below(static_cast<std::uint32_t>(N))];
  }
  template <typename T>
  const T& oneOf(const std::vector<T>& items) {
    return items[below(static_cast<std::uint32_t>(items.size()))];
  }
};

// splitmix64: the same sequence on every platform and standard library, so a seed printed by a
// failing run reproduces it anywhere.
class SeededChooser : public Chooser {
 public:
  explicit SeededChooser(std::uint64_t seed) : state_(seed) {}
  std::uint32_t below(std::uint32_t n) override {
    return n == 0 ? 0 : static_cast<std::uint32_t>(next() % n);
  }
  std::uint32_t word() override { return static_cast<std::uint32_t>(next() >> 32); }

 private:
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::uint64_t state_;
};

// Builds disks, registry count, volumes and partition devices on an empty machine.
void buildRandomMachine(Chooser& chooser, SimulatedMachine& machine);

// A label as a user or a script might stage it: empty, lower case, exactly 11 or 12 bytes, GBK
// characters (one cut across the 11-byte limit), blanks and control bytes.
std::string randomLabel(Chooser& chooser);

// A type-ID text: mostly two hex digits of either case, sometimes one digit, three, none, or
// bytes that are no hex digit at all.
std::string randomTypeIdText(Chooser& chooser);

// Plants faults on the disks the scanned `list` names, at the sectors a commit reads and writes,
// mostly those of the `targets` rows: open, read, short read, write and short write failures
// (each for every access or the n-th), a table or boot sector changed behind the scan's back, a
// volume that refuses its label. Returns a line per fault for the failure message.
std::vector<std::string> plantRandomFaults(Chooser& chooser, SimulatedMachine& machine,
                                           const PartitionList& list,
                                           const std::vector<std::size_t>& targets);

// A batch command line (without the program name) aimed at the scanned `list`: mostly a
// well-formed "/M", "/F", "/L", "/S" or "/A" naming real partitions, sometimes with the wrong
// case, count, ID, partition, flag or quoting. `targets` gets the rows it was aimed at.
std::string randomCommandLine(Chooser& chooser, const PartitionList& list,
                              std::vector<std::size_t>& targets);

}  // namespace hardening
}  // namespace quenbolt

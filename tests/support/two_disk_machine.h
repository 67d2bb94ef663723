#pragma once
// One fixed machine that several suites run commands against:
//   disk 0 (1 GiB)   slot 0  07 active    C:  NTFS             row 0  "1" "主，活动"  system 1
//                    slot 1  0F container                      row 1  ""  "扩展"
//                      EBR 1  07          temporary letter     row 2  "2" "逻辑"     system 3
//                      EBR 2  0B          E:  FAT32 "LOGIC"    row 3  "3" "逻辑"     system 4
//                    slot 2  empty
//                    slot 3  0B           D:  FAT32 "DATA0"    row 4  "4" "主"       system 2
//   disk 1 (512 MiB) slot 0  0C           F:  FAT32 "SPARE"    row 5  "1" "主"       system 1
//                    slot 1  07           no letter            row 6  "2" "主"       system 2

#include <cstddef>
#include <cstdint>

#include "support/simulated_machine.h"

namespace quenbolt {
namespace two_disks {

constexpr std::uint64_t kSector = 512;
constexpr std::uint64_t kMbr = 0;
constexpr std::uint64_t kEbr1 = 206848 * kSector;
constexpr std::uint64_t kEbr2 = kEbr1 + 100100 * kSector;
constexpr std::uint64_t kBootC = 2048 * kSector;
constexpr std::uint64_t kBootLogical = kEbr1 + 63 * kSector;
constexpr std::uint64_t kBootE = kEbr2 + 63 * kSector;
constexpr std::uint64_t kBootD = 616448 * kSector;
constexpr std::uint64_t kBootF = 2048 * kSector;  // on disk 1

enum Row : std::size_t {
  kRowC, kRowContainer, kRowLogical, kRowE, kRowD, kRowF, kRowUnlettered, kRowCount
};

}  // namespace two_disks

// Lays the two disks, the registry count, the mounted volumes (10 MiB free each) and the
// partition device of the unlettered logical partition onto an empty machine.
void buildTwoDiskMachine(SimulatedMachine& machine);

}  // namespace quenbolt

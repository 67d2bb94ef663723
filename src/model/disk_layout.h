#pragma once
// One disk's partition table sectors walked into rows: the MBR entries in slot order and, right
// after each extended container, the rows of its EBR chain. Also gives both numberings.

#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "model/partition_table.h"

namespace quenbolt {

// Reads the sector at a byte offset of the disk being walked, a whole sector of the disk's size.
// Must clear the sector first and leave zeros when the read fails or comes back short; the result
// says whether it succeeded.
using SectorReader = std::function<bool(std::uint64_t offset, Sector& sector)>;

// The most EBRs read per disk. Real disks hold a few dozen logical partitions; the cap keeps a
// crafted or damaged chain from producing rows without end.
constexpr std::size_t kMaxEbrReadsPerDisk = 4096;

enum class RowSource { Primary, Container, Ebr };

struct LayoutRow {
  RowSource source = RowSource::Primary;
  unsigned slot = 0;                    // MBR slot (0 to 3); 0 for EBR rows
  PartitionEntry entry;                 // the MBR entry, or entry 0 of the EBR
  std::uint64_t tableSectorOffset = 0;  // 0 for MBR rows, the EBR's byte offset otherwise
  std::uint32_t typeByteOffset = 0;     // 0x1C2 + 16 * slot; 0x1C2 for EBR rows
  std::uint64_t partitionOffset = 0;    // byte offset of the partition's first sector (64-bit sum)
  unsigned displayNumber = 0;           // 0: none (container rows, EBRs whose entry 0 is a link)
  unsigned systemNumber = 0;            // 0: none (MBR containers)
  unsigned ebrVisit = 0;                // k: position among the visited EBRs of the disk (EBR rows)
};

// Follows one container's EBR chain from the MBR entry's start sector, on a disk of
// `sectorSize`-byte sectors. Calls `visit` with the offset and contents of every valid EBR, in
// chain order. Ends at a zero link, at a link to an offset already read on this disk
// (`readOffsets`, shared by all containers of the disk), or when the disk's read budget is spent.
void ChainWalk(std::uint32_t containerStart, std::size_t sectorSize, const SectorReader& read,
               std::set<std::uint64_t>& readOffsets,
               const std::function<void(std::uint64_t offset, const Sector& ebr)>& visit);

// The rows of one disk of `sectorSize`-byte sectors, given its MBR. Empty when the MBR is not a
// valid table sector.
std::vector<LayoutRow> walkDiskLayout(const Sector& mbr, const SectorReader& read,
                                      std::size_t sectorSize = kSectorSize);

}  // namespace quenbolt

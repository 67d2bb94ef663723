#include "model/disk_layout.h"

namespace quenbolt {

namespace {

// Reads the sector at `offset` unless the walk must end there: the offset was read before on
// this disk (a loop, or a chain shared by two containers) or the disk's read budget is spent.
bool readUnvisited(const SectorReader& read, std::set<std::uint64_t>& readOffsets,
                   std::uint64_t offset, Sector& sector) {
  if (readOffsets.size() > kMaxEbrReadsPerDisk) return false;  // the set also holds the MBR
  if (!readOffsets.insert(offset).second) return false;
  read(offset, sector);  // a failed read leaves zeros: an invalid sector with all links 0
  return true;
}

}  // namespace

void ChainWalk(std::uint32_t containerStart, std::size_t sectorSize, const SectorReader& read,
               std::set<std::uint64_t>& readOffsets,
               const std::function<void(std::uint64_t offset, const Sector& ebr)>& visit) {
  const std::uint64_t extendedBase = sectorsToBytes(containerStart, sectorSize);
  Sector current(sectorSize);
  std::uint64_t offset = extendedBase;
  if (!readUnvisited(read, readOffsets, offset, current)) return;
  if (!PartitionTable(current).isValid()) return;

  for (;;) {
    {
      const PartitionTable table(current);
      if (table.isValid() && table.entry(0).isContainer()) {
        // A link in slot 0 replaces the sector at once; it counts from the container's start.
        offset = extendedBase + sectorsToBytes(table.entry(0).startSector, sectorSize);
        if (!readUnvisited(read, readOffsets, offset, current)) return;
      }
    }
    const PartitionTable table(current);
    if (table.isValid()) visit(offset, current);

    // Link fields are followed even through an invalid sector; only a zero link ends the chain.
    const PartitionEntry first = table.entry(0);
    const std::uint32_t link = first.isContainer() ? first.startSector : table.entry(1).startSector;
    if (link == 0) return;
    offset = extendedBase + sectorsToBytes(link, sectorSize);
    if (!readUnvisited(read, readOffsets, offset, current)) return;
  }
}

std::vector<LayoutRow> walkDiskLayout(const Sector& mbr, const SectorReader& read,
                                      std::size_t sectorSize) {
  std::vector<LayoutRow> rows;
  const PartitionTable table(mbr);
  if (!table.isValid()) return rows;

  unsigned displayCount = 0;
  unsigned primaryCount = 0;
  unsigned ebrVisits = 0;
  // The MBR itself is never an EBR: a container starting at sector 0 yields no logicals.
  std::set<std::uint64_t> readOffsets{0};

  for (unsigned slot = 0; slot < kEntryCount; ++slot) {
    const PartitionEntry entry = table.entry(slot);
    if (!PartitionTable::isUsed(entry)) continue;

    LayoutRow row;
    row.slot = slot;
    row.entry = entry;
    row.tableSectorOffset = 0;
    row.typeByteOffset = typeByteOffsetOf(slot);
    row.partitionOffset = sectorsToBytes(entry.startSector, sectorSize);
    if (!entry.isContainer()) {
      row.source = RowSource::Primary;
      row.systemNumber = ++primaryCount;
      row.displayNumber = ++displayCount;
      rows.push_back(row);
      continue;
    }
    row.source = RowSource::Container;
    rows.push_back(row);
    ChainWalk(entry.startSector, sectorSize, read, readOffsets,
              [&](std::uint64_t offset, const Sector& ebr) {
                LayoutRow logical;
                logical.source = RowSource::Ebr;
                logical.entry = PartitionTable(ebr).entry(0);
                logical.tableSectorOffset = offset;
                logical.typeByteOffset = typeByteOffsetOf(0);
                logical.partitionOffset =
                    offset + sectorsToBytes(logical.entry.startSector, sectorSize);
                logical.ebrVisit = ++ebrVisits;
                if (!logical.entry.isContainer()) logical.displayNumber = ++displayCount;
                rows.push_back(logical);
              });
  }

  // Logical partitions are numbered after all primaries of the disk, wherever the container is.
  for (LayoutRow& row : rows) {
    if (row.source == RowSource::Ebr) row.systemNumber = primaryCount + row.ebrVisit;
  }
  return rows;
}

}  // namespace quenbolt

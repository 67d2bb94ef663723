#include "model/disk_layout.h"

#include <gtest/gtest.h>

#include <map>

#include "support/table_sector_builder.h"

namespace quenbolt {
namespace {

// A sparse disk: absent sectors read as zeros. Every read is logged.
struct Disk {
  std::map<std::uint64_t, Sector> sectors;  // by byte offset
  std::vector<std::uint64_t> reads;

  Disk& put(std::uint64_t sector, const Sector& content) {
    sectors[sector * 512] = content;
    return *this;
  }
  std::vector<LayoutRow> walk() {
    return walkDiskLayout(sectors[0], [this](std::uint64_t offset, Sector& sector) {
      reads.push_back(offset);
      const auto it = sectors.find(offset);
      sector = it == sectors.end() ? Sector{} : it->second;
      return true;
    });
  }
};

TableSector table() { return TableSector().signature(); }
// An EBR with a small logical in slot 0 and a link to `next` (relative to the container) in slot 1.
Sector ebr(std::uint32_t next, std::uint8_t type = 0x07) {
  return table().entry(0, 0, type, 1, 10).entry(1, 0, 0x05, next, 10);
}
bool valid(const Sector& sector) { return PartitionTable(sector).isValid(); }

TEST(TableValidity, OnlyTheSignatureAndEntryZerosBootIndicatorCount) {
  EXPECT_FALSE(valid(Sector{}));
  const TableSector sound = table().entry(1, 0x01, 0x07, 63, 100).entry(3, 0xFF, 0x07, 200, 100);
  EXPECT_TRUE(valid(sound));
  EXPECT_TRUE(valid(TableSector(sound).entry(0, 0x80, 0x07, 1000, 100)));
  EXPECT_FALSE(valid(TableSector(sound).entry(0, 0x01, 0x07, 1000, 100)));
  EXPECT_FALSE(valid(TableSector(sound).byte(511, 0xAB)));
  // An invalid MBR yields no rows, however sound its entries look.
  EXPECT_TRUE(Disk().put(0, TableSector(sound).entry(0, 0x01, 0x07, 2048, 4096)).walk().empty());
}

TEST(DiskLayout, UsedEntriesAreThoseWithASectorCount) {
  Disk disk;
  disk.put(0, table()
                  .entry(0, 0, 0x07, 2048, 0)    // type but no count: unused
                  .entry(1, 0, 0x00, 4096, 10)   // type 00 with a count: listed
                  .entry(2, 0, 0x85, 8192, 10));  // listed, never followed
  const auto rows = disk.walk();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].slot, 1u);
  EXPECT_EQ(rows[0].typeByteOffset, 0x1D2u);
  EXPECT_EQ(rows[1].source, RowSource::Primary);
  EXPECT_TRUE(disk.reads.empty());
}

// Slot 0 primary, slot 1 container with two logicals, slot 2 empty, slot 3 primary.
TEST(DiskLayout, NumbersRowsForDisplayAndForTheSystem) {
  Disk disk;
  disk.put(0, table()
                  .entry(0, 0x80, 0x07, 2048, 2048)
                  .entry(1, 0x00, 0x0F, 10000, 50000)
                  .entry(3, 0x00, 0x0B, 70000, 2048));
  disk.put(10000, table().entry(0, 0, 0x07, 63, 1000).entry(1, 0, 0x05, 2000, 1063));
  disk.put(12000, table().entry(0, 0, 0x06, 63, 1000));
  const auto rows = disk.walk();
  ASSERT_EQ(rows.size(), 5u);
  const unsigned display[] = {1, 0, 2, 3, 4};
  const unsigned system[] = {1, 0, 3, 4, 2};
  for (std::size_t r = 0; r < rows.size(); ++r) {
    EXPECT_EQ(rows[r].displayNumber, display[r]) << "row " << r;
    EXPECT_EQ(rows[r].systemNumber, system[r]) << "row " << r;
  }
  EXPECT_EQ(rows[2].partitionOffset, 10063 * 512ull);
  EXPECT_EQ(rows[3].tableSectorOffset, 12000 * 512ull);  // the link counts from the container
  EXPECT_EQ(rows[3].partitionOffset, 12063 * 512ull);    // the logical counts from its EBR
  EXPECT_EQ(rows[3].typeByteOffset, 0x1C2u);
  EXPECT_EQ(rows[4].typeByteOffset, 0x1F2u);
}

TEST(ChainWalk, FollowsASlotZeroLinkAtOnceFromTheContainerStart) {
  Disk disk;
  disk.put(0, table().entry(0, 0, 0x05, 1000, 9000));
  disk.put(1000, ebr(200));                                // a logical, then a link to 1200
  disk.put(1200, table().entry(0, 0, 0x05, 500, 10));      // slot-0 link to 1500, not 1700
  disk.put(1500, table().entry(0, 0x80, 0x0C, 63, 100));  // the row comes from here
  const auto rows = disk.walk();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].tableSectorOffset, 1500 * 512ull);
  EXPECT_EQ(rows[2].entry.type, 0x0C);
  EXPECT_TRUE(rows[2].entry.isActive());
  EXPECT_EQ(rows[2].displayNumber, 2u);
  EXPECT_EQ(rows[2].systemNumber, 2u);
}

TEST(ChainWalk, CarriesLogicalStartsIntoTheHighHalf) {
  Disk disk;  // the EBR at 0xFFFFFE00 is sector 8388607
  disk.put(0, table().entry(0, 0, 0x0F, 8388607, 1000));
  disk.put(8388607, table().entry(0, 0, 0x07, 63, 900));
  const auto rows = disk.walk();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].partitionOffset, 0x100007C00ull);
}

TEST(ChainWalk, AnInvalidFirstEbrEndsTheWalkButALaterOneIsWalkedThrough) {
  Disk first;  // no signature, but a link
  first.put(0, table().entry(0, 0, 0x05, 100, 1000));
  first.put(100, TableSector().entry(1, 0, 0x05, 50, 10));
  EXPECT_EQ(first.walk().size(), 1u);

  Disk signatureOnly;  // a valid first EBR with nothing in it is one empty logical
  signatureOnly.put(0, table().entry(0, 0, 0x05, 12288, 8192)).put(12288, table());
  const auto empty = signatureOnly.walk();
  ASSERT_EQ(empty.size(), 2u);
  EXPECT_EQ(empty[1].entry.type, 0x00);
  EXPECT_EQ(empty[1].entry.sectorCount, 0u);

  Disk middle;
  middle.put(0, table().entry(0, 0, 0x05, 100, 1000)).put(100, ebr(50));
  middle.put(150, TableSector().entry(0, 0, 0x07, 1, 10).entry(1, 0, 0x05, 80, 10));
  middle.put(180, table().entry(0, 0, 0x0B, 1, 10));
  const auto rows = middle.walk();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].tableSectorOffset, 180 * 512ull);
  EXPECT_EQ(rows[2].systemNumber, 2u);  // the invalid EBR was no visit
}

TEST(ChainWalk, EndsWhenALinkLeadsBackToAnEbrAlreadyRead) {
  Disk pair;  // 100 -> 150 -> 160 -> 150
  pair.put(0, table().entry(0, 0, 0x05, 100, 1000));
  pair.put(100, ebr(50)).put(150, ebr(60)).put(160, ebr(50));
  EXPECT_EQ(pair.walk().size(), 4u);
  EXPECT_EQ(pair.reads.size(), 3u);

  // A slot-0 link of start 0 leads back to the first EBR; it is not a zero link.
  Disk slotZero;
  slotZero.put(0, table().entry(0, 0, 0x05, 100, 1000));
  slotZero.put(100, ebr(50)).put(150, table().entry(0, 0, 0x0F, 0, 10));
  EXPECT_EQ(slotZero.walk().size(), 2u);

  // Two containers sharing one chain: it is walked once.
  Disk shared;
  shared.put(0, table().entry(0, 0, 0x05, 100, 1000).entry(1, 0, 0x0F, 100, 1000));
  shared.put(100, table().entry(0, 0, 0x07, 1, 10));
  EXPECT_EQ(shared.walk().size(), 3u);

  // A container starting at the MBR yields no logicals and no read.
  Disk atMbr;
  atMbr.put(0, table().entry(0, 0, 0x05, 0, 1000).entry(1, 0, 0x07, 2048, 1000));
  EXPECT_EQ(atMbr.walk().size(), 2u);
  EXPECT_TRUE(atMbr.reads.empty());
}

TEST(ChainWalk, BoundsTheReadsOfOneDisk) {
  Disk disk;
  const std::uint32_t chain = static_cast<std::uint32_t>(kMaxEbrReadsPerDisk) + 100;
  disk.put(0, table().entry(0, 0, 0x05, 1, chain * 2 + 2));
  for (std::uint32_t i = 0; i < chain; ++i) disk.put(1 + 2 * i, ebr(2 * (i + 1), 0x83));
  const auto rows = disk.walk();
  EXPECT_EQ(disk.reads.size(), kMaxEbrReadsPerDisk);
  EXPECT_EQ(rows.size(), kMaxEbrReadsPerDisk + 1);  // the container and one row per EBR read
}

}  // namespace
}  // namespace quenbolt

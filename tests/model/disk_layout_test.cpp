#include "model/disk_layout.h"

#include <gtest/gtest.h>

#include <map>

namespace quenbolt {
namespace {

// A disk as a map of byte offset -> sector; absent sectors read as zeros, like a sparse image.
struct SectorMap {
  std::map<std::uint64_t, Sector> sectors;
  std::vector<std::uint64_t> reads;

  Sector& at(std::uint64_t offset) {
    Sector& s = sectors[offset];
    s[510] = 0x55;
    s[511] = 0xAA;
    return s;
  }
  SectorReader reader() {
    return [this](std::uint64_t offset, Sector& sector) {
      reads.push_back(offset);
      sector.fill(0);
      auto it = sectors.find(offset);
      if (it != sectors.end()) sector = it->second;
      return true;
    };
  }
};

void setEntry(Sector& s, unsigned slot, std::uint8_t boot, std::uint8_t type, std::uint32_t start,
              std::uint32_t count) {
  const unsigned base = 0x1BE + 16 * slot;
  s[base] = boot;
  s[base + 4] = type;
  for (unsigned i = 0; i < 4; ++i) {
    s[base + 8 + i] = static_cast<std::uint8_t>(start >> (8 * i));
    s[base + 12 + i] = static_cast<std::uint8_t>(count >> (8 * i));
  }
}

std::vector<LayoutRow> walk(SectorMap& disk) {
  return walkDiskLayout(disk.at(0), disk.reader());
}

TEST(TableValidity, OnlyEntryZerosBootIndicatorAndTheSignatureCount) {
  Sector s{};
  EXPECT_FALSE(PartitionTable(s).isValid());
  s[510] = 0x55;
  s[511] = 0xAA;
  EXPECT_TRUE(PartitionTable(s).isValid());
  setEntry(s, 1, 0x01, 0x07, 63, 100);
  setEntry(s, 3, 0xFF, 0x07, 200, 100);
  EXPECT_TRUE(PartitionTable(s).isValid());
  setEntry(s, 0, 0x01, 0x07, 1000, 100);
  EXPECT_FALSE(PartitionTable(s).isValid());
  s[446] = 0x80;
  s[511] = 0xAB;
  EXPECT_FALSE(PartitionTable(s).isValid());
}

TEST(DiskLayout, AnInvalidMbrYieldsNoRowsEvenWithSoundEntries) {
  SectorMap disk;
  setEntry(disk.at(0), 0, 0x01, 0x07, 2048, 4096);
  setEntry(disk.at(0), 1, 0x00, 0x07, 8192, 4096);
  EXPECT_TRUE(walk(disk).empty());
}

TEST(DiskLayout, UsedEntriesAreThoseWithASectorCount) {
  SectorMap disk;
  setEntry(disk.at(0), 0, 0x00, 0x07, 2048, 0);   // type but no count: unused
  setEntry(disk.at(0), 1, 0x00, 0x00, 4096, 10);  // type 00 with a count: listed
  setEntry(disk.at(0), 2, 0x00, 0x85, 8192, 10);  // listed, never followed
  const auto rows = walk(disk);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].slot, 1u);
  EXPECT_EQ(rows[0].typeByteOffset, 0x1D2u);
  EXPECT_EQ(rows[1].source, RowSource::Primary);
  EXPECT_EQ(disk.reads.size(), 0u);
}

// Slot 0 primary, slot 1 container with two logicals, slot 2 empty, slot 3 primary.
TEST(DiskLayout, NumbersRowsForDisplayAndForTheSystem) {
  SectorMap disk;
  setEntry(disk.at(0), 0, 0x80, 0x07, 2048, 2048);
  setEntry(disk.at(0), 1, 0x00, 0x0F, 10000, 50000);
  setEntry(disk.at(0), 3, 0x00, 0x0B, 70000, 2048);
  setEntry(disk.at(10000 * 512ull), 0, 0, 0x07, 63, 1000);
  setEntry(disk.at(10000 * 512ull), 1, 0, 0x05, 2000, 1063);
  setEntry(disk.at(12000 * 512ull), 0, 0, 0x06, 63, 1000);
  const auto rows = walk(disk);
  ASSERT_EQ(rows.size(), 5u);
  const unsigned display[] = {1, 0, 2, 3, 4};
  const unsigned system[] = {1, 0, 3, 4, 2};
  for (std::size_t r = 0; r < rows.size(); ++r) {
    EXPECT_EQ(rows[r].displayNumber, display[r]) << "row " << r;
    EXPECT_EQ(rows[r].systemNumber, system[r]) << "row " << r;
  }
  EXPECT_EQ(rows[2].tableSectorOffset, 10000 * 512ull);
  EXPECT_EQ(rows[2].partitionOffset, 10063 * 512ull);
  EXPECT_EQ(rows[3].tableSectorOffset, 12000 * 512ull);  // the link counts from the container
  EXPECT_EQ(rows[3].partitionOffset, 12063 * 512ull);    // the logical counts from its EBR
  EXPECT_EQ(rows[3].typeByteOffset, 0x1C2u);
  EXPECT_EQ(rows[4].typeByteOffset, 0x1F2u);
}

TEST(ChainWalk, FollowsASlotZeroLinkAtOnceFromTheContainerStart) {
  SectorMap disk;
  setEntry(disk.at(0), 0, 0, 0x05, 1000, 9000);
  setEntry(disk.at(1000 * 512ull), 0, 0, 0x05, 500, 10);    // slot-0 link to 1500
  setEntry(disk.at(1500 * 512ull), 0, 0x80, 0x0C, 63, 100);  // the row comes from here
  const auto rows = walk(disk);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].tableSectorOffset, 1500 * 512ull);
  EXPECT_EQ(rows[1].entry.type, 0x0C);
  EXPECT_TRUE(rows[1].entry.isActive());
  EXPECT_EQ(rows[1].displayNumber, 1u);
  EXPECT_EQ(rows[1].systemNumber, 1u);
}

TEST(ChainWalk, CarriesLogicalStartsIntoTheHighHalf) {
  SectorMap disk;
  const std::uint64_t ebr = 0xFFFFFE00ull;  // sector 8388607
  setEntry(disk.at(0), 0, 0, 0x0F, 8388607, 1000);
  setEntry(disk.at(ebr), 0, 0, 0x07, 63, 900);
  const auto rows = walk(disk);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].partitionOffset, 0x100007C00ull);
}

TEST(ChainWalk, ASignatureOnlyFirstEbrGivesOneEmptyLogical) {
  SectorMap disk;
  setEntry(disk.at(0), 0, 0, 0x05, 12288, 8192);
  disk.at(12288 * 512ull);
  const auto rows = walk(disk);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].entry.type, 0x00);
  EXPECT_EQ(rows[1].entry.sectorCount, 0u);
  EXPECT_EQ(rows[1].tableSectorOffset, 12288 * 512ull);
}

TEST(ChainWalk, AnInvalidFirstEbrEndsTheWalkButALaterOneIsWalkedThrough) {
  SectorMap first;
  setEntry(first.at(0), 0, 0, 0x05, 100, 1000);
  first.sectors[100 * 512ull][0x1BE] = 0;  // no signature
  setEntry(first.sectors[100 * 512ull], 1, 0, 0x05, 50, 10);
  EXPECT_EQ(walk(first).size(), 1u);

  SectorMap middle;
  setEntry(middle.at(0), 0, 0, 0x05, 100, 1000);
  setEntry(middle.at(100 * 512ull), 0, 0, 0x07, 1, 10);
  setEntry(middle.at(100 * 512ull), 1, 0, 0x05, 50, 10);
  Sector& broken = middle.sectors[150 * 512ull];  // no signature, but a link
  setEntry(broken, 0, 0, 0x07, 1, 10);
  setEntry(broken, 1, 0, 0x05, 80, 10);
  setEntry(middle.at(180 * 512ull), 0, 0, 0x0B, 1, 10);
  const auto rows = walk(middle);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].tableSectorOffset, 180 * 512ull);
  EXPECT_EQ(rows[2].systemNumber, 2u);  // the invalid EBR was no visit
}

TEST(ChainWalk, EndsWhenALinkLeadsBackToAnEbrAlreadyRead) {
  SectorMap pair;
  setEntry(pair.at(0), 0, 0, 0x05, 100, 1000);
  setEntry(pair.at(100 * 512ull), 0, 0, 0x07, 1, 10);
  setEntry(pair.at(100 * 512ull), 1, 0, 0x05, 50, 10);
  setEntry(pair.at(150 * 512ull), 0, 0, 0x07, 1, 10);
  setEntry(pair.at(150 * 512ull), 1, 0, 0x05, 60, 10);
  setEntry(pair.at(160 * 512ull), 0, 0, 0x07, 1, 10);
  setEntry(pair.at(160 * 512ull), 1, 0, 0x05, 50, 10);  // back to 150
  EXPECT_EQ(walk(pair).size(), 4u);
  EXPECT_EQ(pair.reads.size(), 3u);

  // A slot-0 link of start 0 leads back to the first EBR; it is not a zero link.
  SectorMap slotZero;
  setEntry(slotZero.at(0), 0, 0, 0x05, 100, 1000);
  setEntry(slotZero.at(100 * 512ull), 0, 0, 0x07, 1, 10);
  setEntry(slotZero.at(100 * 512ull), 1, 0, 0x05, 50, 10);
  setEntry(slotZero.at(150 * 512ull), 0, 0, 0x0F, 0, 10);
  EXPECT_EQ(walk(slotZero).size(), 2u);

  // Two containers sharing one chain: it is walked once.
  SectorMap shared;
  setEntry(shared.at(0), 0, 0, 0x05, 100, 1000);
  setEntry(shared.at(0), 1, 0, 0x0F, 100, 1000);
  setEntry(shared.at(100 * 512ull), 0, 0, 0x07, 1, 10);
  EXPECT_EQ(walk(shared).size(), 3u);
}

TEST(ChainWalk, BoundsTheReadsOfOneDisk) {
  SectorMap disk;
  const std::uint32_t chain = static_cast<std::uint32_t>(kMaxEbrReadsPerDisk) + 100;
  setEntry(disk.at(0), 0, 0, 0x05, 1, chain * 2 + 2);
  for (std::uint32_t i = 0; i < chain; ++i) {
    Sector& ebr = disk.at((1 + 2ull * i) * 512);
    setEntry(ebr, 0, 0, 0x83, 1, 1);
    setEntry(ebr, 1, 0, 0x05, 2 * (i + 1), 2);
  }
  const auto rows = walk(disk);
  EXPECT_EQ(disk.reads.size(), kMaxEbrReadsPerDisk);
  EXPECT_EQ(rows.size(), kMaxEbrReadsPerDisk + 1);  // the container and one row per EBR read
}

TEST(ChainWalk, AContainerStartingAtTheMbrYieldsNoLogicals) {
  SectorMap disk;
  setEntry(disk.at(0), 0, 0, 0x05, 0, 1000);
  setEntry(disk.at(0), 1, 0, 0x07, 2048, 1000);
  EXPECT_EQ(walk(disk).size(), 2u);
  EXPECT_TRUE(disk.reads.empty());
}

}  // namespace
}  // namespace quenbolt

#include "model/disk_layout.h"

#include <gtest/gtest.h>

#include <map>

#include "support/sectors.h"

namespace quenbolt {
namespace {

using Disk = std::map<std::uint64_t, Sector>;  // by sector; absent sectors read as zeros

// The rows of the disk and the sectors the walk read, in order.
std::pair<std::vector<LayoutRow>, std::vector<std::uint64_t>> walk(Disk disk) {
  std::vector<std::uint64_t> reads;
  const std::vector<LayoutRow> rows = walkDiskLayout(disk[0], [&](std::uint64_t offset, Sector& sector) {
    reads.push_back(offset / 512);
    sector = disk.count(offset / 512) ? disk[offset / 512] : Sector{};
    return true;
  });
  return {rows, reads};
}

// Entry 0's indicator (0 or 80) and 55 AA make a table; a used entry is one with a sector count,
// whatever its type; 85 is listed, never followed.
TEST(DiskLayout, OnlyTheSignatureAndEntryZerosIndicatorMakeATableAndOnlyCountsMakeRows) {
  EXPECT_TRUE(walk({{0, table({{0, 0x01, 0x07, 2048, 4096}, {1, 0, 0x07, 9000, 10}})}}).first.empty());
  EXPECT_TRUE(walk({{0, table({{0, 0, 0x07, 2048, 4096}}, false)}}).first.empty());
  const auto [rows, reads] = walk({{0, table({{0, 0x80, 0x07, 2048, 0}, {1, 0x01, 0x00, 4096, 10}, {3, 0xFF, 0x85, 8192, 10}})}});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].typeByteOffset + rows[1].typeByteOffset, 0x1D2u + 0x1F2u);
  EXPECT_TRUE(rows[1].source == RowSource::Primary && reads.empty());
}

// Slot 0 a primary, slot 1 a container, slot 3 a primary. The chain: a logical; an EBR whose
// slot-0 link is followed at once to an EBR whose entry 0 is itself a link (a row without a
// number; its link is entry 0's); a logical. Links count from the container's start, logicals from
// their EBR; logicals are numbered for the system after every primary of the disk.
TEST(DiskLayout, NumbersAndLocatesEveryRowInWalkOrder) {
  const auto [rows, reads] = walk({{0, table({{0, 0x80, 0x07, 2048, 2048}, {1, 0, 0x0F, 10000, 50000}, {3, 0, 0x0B, 70000, 2048}})},
                                   {10000, table({{0, 0, 0x07, 63, 1000}, {1, 0, 0x05, 2000, 10}})},
                                   {12000, table({{0, 0, 0x05, 3000, 10}, {1, 0, 0x05, 9999, 10}})},
                                   {13000, table({{0, 0x80, 0x0F, 4000, 10}, {1, 0, 0x05, 9999, 10}})},
                                   {14000, table({{0, 0, 0x06, 63, 1000}})}});
  const struct { RowSource source; unsigned display, system; std::uint64_t table, start; std::uint32_t type; } expected[] = {
      {RowSource::Primary, 1, 1, 0, 2048, 0x1C2},  {RowSource::Container, 0, 0, 0, 10000, 0x1D2}, {RowSource::Ebr, 2, 3, 10000, 10063, 0x1C2},
      {RowSource::Ebr, 0, 4, 13000, 17000, 0x1C2}, {RowSource::Ebr, 3, 5, 14000, 14063, 0x1C2},   {RowSource::Primary, 4, 2, 0, 70000, 0x1F2}};
  ASSERT_EQ(rows.size(), 6u);
  for (std::size_t r = 0; r < 6; ++r) {
    const LayoutRow& row = rows[r];
    EXPECT_EQ(std::make_tuple(row.source, row.displayNumber, row.systemNumber, row.tableSectorOffset, row.partitionOffset, row.typeByteOffset),
              std::make_tuple(expected[r].source, expected[r].display, expected[r].system, expected[r].table * 512, expected[r].start * 512,
                              expected[r].type)) << "row " << r;
  }
  EXPECT_EQ(reads, (std::vector<std::uint64_t>{10000, 12000, 13000, 14000}));
  // An EBR at 0xFFFFFE00 with a logical 63 sectors on: the sum carries into the high half.
  EXPECT_EQ(walk({{0, table({{0, 0, 0x0F, 8388607, 1000}})}, {8388607, table({{0, 0, 0x07, 63, 900}})}}).first.at(1).partitionOffset,
            0x100007C00u);
}

TEST(ChainWalk, EndsOnlyAtAZeroLinkALoopTheMbrOrTheReadBudget) {
  auto ebr = [](std::uint32_t next) { return table({{0, 0, 0x07, 1, 10}, {1, 0, 0x05, next, 10}}); };
  const Sector container = table({{0, 0, 0x05, 100, 1000}}), logical = table({{0, 0, 0x07, 1, 10}});
  const struct { const char* what; Disk disk; std::size_t rows; std::vector<std::uint64_t> reads; } cases[] = {
      {"first EBR invalid: the container alone", {{0, container}, {100, table({{1, 0, 0x05, 50, 10}}, false)}}, 1, {100}},
      {"first EBR only 55 AA: one empty logical", {{0, container}, {100, table({})}}, 2, {100}},
      {"an invalid EBR in the middle is walked through",
       {{0, container}, {100, ebr(50)}, {150, table({{0, 0, 0x07, 1, 10}, {1, 0, 0x05, 80, 10}}, false)}, {180, logical}}, 3, {100, 150, 180}},
      {"a loop back to an EBR read before", {{0, container}, {100, ebr(50)}, {150, ebr(60)}, {160, ebr(50)}}, 4, {100, 150, 160}},
      {"a slot-0 link of start 0 leads back", {{0, container}, {100, ebr(50)}, {150, table({{0, 0, 0x0F, 0, 10}})}}, 2, {100, 150}},
      {"two containers share one chain", {{0, table({{0, 0, 0x05, 100, 1000}, {1, 0, 0x0F, 100, 1000}})}, {100, logical}}, 3, {100}},
      {"a container at the MBR", {{0, table({{0, 0, 0x05, 0, 1000}, {1, 0, 0x07, 2048, 1000}})}}, 2, {}}};
  for (const auto& c : cases) {
    const auto [rows, reads] = walk(c.disk);
    EXPECT_EQ(rows.size(), c.rows) << c.what;
    EXPECT_EQ(reads, c.reads) << c.what;
  }
  Disk chain{{0, table({{0, 0, 0x05, 1, 0x7FFFFFFF}})}};
  for (std::uint32_t i = 0; i < kMaxEbrReadsPerDisk + 100; ++i) chain[1 + 2 * i] = ebr(2 * (i + 1));
  const auto [rows, reads] = walk(chain);
  EXPECT_EQ(reads.size(), kMaxEbrReadsPerDisk);
  EXPECT_EQ(rows.size(), kMaxEbrReadsPerDisk + 1);
}

}  // namespace
}  // namespace quenbolt

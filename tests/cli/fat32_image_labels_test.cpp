// "/L" and "/S" on a FAT32 volume mkfs.fat made, mounted with a letter; the volume written out is
// then judged by dosfstools: fsck.fat finds the boot sector, its backup and the root-directory
// label in agreement, and fatlabel reads the new label. Skipped without dosfstools or under Wine.

#include <gtest/gtest.h>
#include <fstream>
#include "cli/command_line.h"
#include "cli/commands.h"
#include "support/standard_machine.h"
#include "support/tools.h"

namespace quenbolt {
namespace {
TEST(Fat32ImageLabels, LeaveAVolumeFsckFindsCleanWithTheNewLabel) {
  const std::string dir = runTool("mktemp -d").first,
                    image = dir.substr(0, dir.find('\n')) + "/volume.img";
  // 34000 KiB with a sector a cluster: just enough clusters for FAT32; the backup boot sector in
  // sector 6 of 32 reserved ones, the label in the root directory.
  if (runTool("mkfs.fat -C -F 32 -s 1 -i 51424c54 -n OLDLABEL " + image + " 34000 >/dev/null 2>&1")
              .second != 0 ||
      runTool("command -v fsck.fat && command -v fatlabel && command -v iconv").second != 0) {
    GTEST_SKIP() << "dosfstools are not installed here";
  }
  const std::string made = runTool("cat " + image).first;
  for (const auto& [arguments, label] : {std::pair<std::string, std::string>{"/L 1 1 data", "DATA"},
                                         {"/S 0C \"new vol\"", "NEW VOL"},
                                         {"/L 1 1 数据", "数据"},
                                         {"/S 0c 中文卷标", "中文卷标"}}) {
    SimulatedMachine machine;
    Platform platform = machine.platform();
    machine.addDisk(0, 2048 * 512 + made.size())
        .put(0, table({{0, 0, 0x0C, 2048, static_cast<std::uint32_t>(made.size() / 512)}}));
    machine.disks[0].put(2048 * 512, made);
    machine.letters['E'] = standard::volumeAt(0, 2048 * 512, made.size() / 512, "OLDLABEL");
    PartitionList list;
    TempLetterList letters;
    scanWithTemporaryLetters(platform, TypeCatalogue(), list, letters);
    EXPECT_EQ(runCommandStep(platform, list, splitCommandLine("q " + arguments)).exitStatus,
              kExitDone);
    std::ofstream(image, std::ios::binary) << machine.disks[0].bytes(2048 * 512, made.size());
    const auto [fsck, status] = runTool("fsck.fat -n " + image + " 2>&1");
    // dosfstools 4.2 calls every label byte above 0x7F invalid: of a Chinese label only the
    // agreement of the three copies can be checked.
    EXPECT_TRUE(static_cast<unsigned char>(label[0]) < 0x80
                    ? status == 0
                    : fsck.find("different") == std::string::npos)
        << fsck;
    // fatlabel decodes the label as code page 850; read back through it, the bytes are GBK again.
    EXPECT_EQ(runTool("LC_ALL=C.UTF-8 fatlabel " + image + " | iconv -f UTF-8 -t CP850").first,
              label + "\n")
        << arguments;
  }
  runTool("rm -rf '" + image.substr(0, image.rfind('/')) + "'");
}
}  // namespace
}  // namespace quenbolt

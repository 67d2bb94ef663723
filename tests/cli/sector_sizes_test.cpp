// Disks of 4096-byte sectors. Twins of one layout, one disk reporting 512-byte sectors and one
// 4096, every partition at the same byte offset and of the same size (so every LBA of the second
// is an eighth of the first's): they must list alike, and each command must end alike and write the
// same field values at the places the disk's own sector size gives. Then tables and volumes made by
// the Linux tools for 4096-byte sectors, and disks whose reported size contradicts their table.

#include <gtest/gtest.h>

#include <fstream>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/listing.h"
#include "discovery/startup_scan.h"
#include "support/gpt_disk.h"
#include "support/tools.h"

namespace quenbolt {
namespace {
using Lines = std::vector<std::string>;
constexpr std::uint64_t kMiB = 1 << 20;

// Disk 1 (MBR): an active NTFS primary at 1 MiB; a container at 32 MiB whose EBRs, at 32 and 48
// MiB, hold a FAT32 volume mounted as F: and an NTFS logical partition 1 MiB after each; a hidden
// FAT32 primary at 128 MiB, no letter. Both FAT32 volumes keep a backup boot sector in sector 6.
// Disk 2 (GPT): basic data at 1 MiB, recovery at 33 MiB.
struct Twin {
  explicit Twin(std::size_t sectorSize) : size(sectorSize) {
    const auto lba = [this](std::uint64_t bytes) {
      return static_cast<std::uint32_t>(bytes / size);
    };
    SimulatedDisk& mbr = machine.addDisk(0, 256 * kMiB, size);
    mbr.put(0, table({{0, 0x80, 0x07, lba(kMiB), lba(16 * kMiB)},
                      {1, 0, 0x0F, lba(32 * kMiB), lba(64 * kMiB)},
                      {2, 0, 0x1C, lba(128 * kMiB), lba(64 * kMiB)}}));
    mbr.put(32 * kMiB, table({{0, 0, 0x0B, lba(kMiB), lba(8 * kMiB)},
                              {1, 0, 0x05, lba(16 * kMiB), lba(16 * kMiB)}}));
    mbr.put(48 * kMiB, table({{0, 0, 0x07, lba(kMiB), lba(8 * kMiB)}}));
    for (std::uint64_t copy : {0u, 6u})
      mbr.put(33 * kMiB + copy * size, fat32Boot("LOGIC", 6, static_cast<unsigned>(size)));
    machine.letters['F'] = SimulatedVolume{0, 33 * kMiB, 8 * kMiB, "LOGIC"};
    for (std::uint64_t copy : {0u, 6u})
      mbr.put(128 * kMiB + copy * size, fat32Boot("HIDDEN", 6, static_cast<unsigned>(size)));
    putGpt(machine.addDisk(1, 256 * kMiB, size),
           {{0, kBasicData, lba(kMiB), lba(33 * kMiB) - 1},
            {1, kRecovery, lba(33 * kMiB), lba(49 * kMiB) - 1}},
           128, size);
    scanWithTemporaryLetters(platform, TypeCatalogue(), list, letters);
    before = machine.contents();
  }
  CommandResult run(const std::string& command) {
    return runCommandStep(platform, list, splitCommandLine("q " + command));
  }
  std::string rescanned() {
    PartitionList again;
    TempLetterList more;
    scanWithTemporaryLetters(platform, TypeCatalogue(), again, more);
    return formatListing(again);
  }

  // The places of the fields a command may change, in this twin's own sector size: name -> disk,
  // byte offset, length, and whether its bytes are the same in both twins (a CRC covers LBAs,
  // which differ: only its place is the same).
  struct Field {
    unsigned disk;
    std::uint64_t offset;
    std::size_t length;
    bool sameBytes = true;
  };
  std::map<std::string, Field> fields() const {
    const GptPlaces at = gptPlaces(256 * kMiB / size, 128, size);
    const std::uint64_t hidden = 128 * kMiB;
    std::map<std::string, Field> f{{"MBR entry 0 type", {0, 0x1C2, 1}},
                                   {"MBR entry 2 boot indicator", {0, 0x1BE + 32, 1}},
                                   {"EBR 1 entry 0 type", {0, 32 * kMiB + 0x1C2, 1}},
                                   {"boot label", {0, hidden + 0x47, 11}},
                                   {"backup label", {0, hidden + 6 * size + 0x47, 11}},
                                   {"root entry", {0, hidden + kFat32RootSector * size, 32}},
                                   {"F: boot label", {0, 33 * kMiB + 0x47, 11}},
                                   {"F: backup label", {0, 33 * kMiB + 6 * size + 0x47, 11}},
                                   {"F: root entry", {0, 33 * kMiB + kFat32RootSector * size, 12}}};
    for (const auto& [copy, header, array] :
         {std::tuple<std::string, std::uint64_t, std::uint64_t>{"", 1, at.primaryArray},
          {"backup ", at.backupHeader, at.backupArray}}) {
      f[copy + "header CRC"] = {1, header * size + 16, 4, false};
      f[copy + "array CRC"] = {1, header * size + 88, 4, false};
      for (unsigned entry : {0u, 1u}) {
        f[copy + "entry " + std::to_string(entry) + " type"] = {1, array * size + entry * 128, 16};
        f[copy + "entry " + std::to_string(entry) + " attributes"] = {
            1, array * size + entry * 128 + 48, 8};
      }
    }
    return f;
  }
  std::string bytesOf(const Field& field) const {
    return machine.disks.at(field.disk).bytes(field.offset, field.length);
  }

  std::size_t size;
  SimulatedMachine machine;
  Platform platform = machine.platform();
  PartitionList list;
  TempLetterList letters;
  std::map<unsigned, DiskBytes> before;
};

TEST(SectorSizes, TwinsOfFiveHundredTwelveAndFourKilobyteSectorsListAndChangeAlike) {
  Twin small(512);
  Twin large(4096);
  EXPECT_EQ(formatListing(large.list), formatListing(small.list));
  EXPECT_EQ(large.list.BootSectorOffsetText, small.list.BootSectorOffsetText);
  EXPECT_NE(formatListing(small.list).find("HIDDEN"), std::string::npos)
      << "the hidden partition's label";
  for (const char* command : {"/M 1 1 0C", "/M 1 2 0C", "/A 1 2 1", "/L 1 4 NEWNAME", "/L 1 2 data",
                              "/M 2 2 0700", "/G 2 1 4000000000000000"}) {
    Twin a(512);
    Twin b(4096);
    const CommandResult ra = a.run(command);
    const CommandResult rb = b.run(command);
    EXPECT_EQ(rb.exitStatus, ra.exitStatus) << command;
    EXPECT_EQ(rb.errorLines, ra.errorLines) << command;
    EXPECT_EQ(rb.exitStatus, kExitDone) << command;
    EXPECT_EQ(b.rescanned(), a.rescanned()) << command;
    EXPECT_EQ(b.machine.logged("write ").size(), a.machine.logged("write ").size()) << command;
    for (Twin* twin : {&a, &b}) {  // nothing changes outside the fields
      for (const auto& [disk, offset] : differingBytes(twin->before, twin->machine.contents())) {
        bool inField = false;
        for (const auto& [name, f] : twin->fields())
          inField |= f.disk == disk && offset >= f.offset && offset < f.offset + f.length;
        EXPECT_TRUE(inField) << command << ": " << twin->size << "-byte sectors, disk " << disk
                             << " byte " << hexText(offset);
      }
    }
    const auto fb = b.fields();
    for (const auto& [name, field] : a.fields()) {
      if (!field.sameBytes) continue;
      EXPECT_EQ(b.bytesOf(fb.at(name)), a.bytesOf(field)) << command << ": " << name;
    }
  }
}

// A GPT header at byte 4096 of a disk that says 512, or at 512 of one that says 4096: read with the
// size the disk reports, every LBA would be wrong, so the disk is not listed, and not written.
TEST(SectorSizes, ADiskWhoseTableContradictsItsSectorSizeIsReportedAndNotListed) {
  for (const auto& [made, reported] :
       {std::pair<std::size_t, std::size_t>{4096, 512}, {512, 4096}}) {
    SimulatedMachine m;
    SimulatedDisk& d = m.addDisk(0, 64 * kMiB, made);
    putGpt(d, {{0, kBasicData, 2048 * 512 / made, 4096 * 512 / made}}, 128, made);
    d.sectorSize = reported;
    Platform platform = m.platform();
    PartitionList list;
    TempLetterList letters;
    scanWithTemporaryLetters(platform, TypeCatalogue(), list, letters);
    EXPECT_EQ(list.size(), 0u) << reported;
    const CommandResult result = runCommandStep(platform, list, splitCommandLine("q /F 0700 2700"));
    EXPECT_EQ(result.exitStatus, kExitDiskUnreadable);
    EXPECT_EQ(result.errorLines, Lines{"磁盘 1 无法读取（磁盘报告的扇区大小（" +
                                       std::to_string(reported) + " 字节）与分区表不符）"});
    EXPECT_EQ(m.logged("write ").size(), 0u);
  }
}

// The Linux tools' own tables and volumes for 4096-byte sectors: fdisk -b 4096 makes a GPT and
// reads it back after the program's change; mkfs.fat -S 4096 makes a FAT32 volume whose label the
// program writes with no driver mounted there, and fsck.fat and fatlabel judge it.
TEST(SectorSizes, TablesAndVolumesTheLinuxToolsMakeForFourKilobyteSectors) {
  const std::string work = runTool("mktemp -d | tr -d '\\n'").first;
  const std::string image = work + "/disk.img";
  const std::string volume = work + "/volume.img";
  const std::string make = "truncate -s 64M " + image +
                           " && printf 'g\\nn\\n1\\n256\\n+16M\\nt\\n11\\nw\\n' | fdisk -b 4096 " +
                           image + " && mkfs.fat -F 32 -S 4096 -s 1 -n TOOLS4K --offset 256 " +
                           image + " 16384 && command -v fsck.fat && command -v fatlabel";
  if (runTool("{ " + make + "; } >/dev/null 2>&1").second != 0) {
    runTool("rm -rf '" + work + "'");
    GTEST_SKIP() << "fdisk -b or mkfs.fat -S cannot make the image here";
  }
  const std::string bytes = runTool("cat " + image).first;
  SimulatedMachine m;
  SimulatedDisk& d = m.addDisk(0, bytes.size(), 4096);
  for (std::uint64_t at = 0; at < bytes.size(); at += 4096) {
    if (bytes.compare(at, 4096, std::string(4096, '\0')) != 0) d.put(at, bytes.substr(at, 4096));
  }
  Platform platform = m.platform();
  // Scans as start-up does, runs `command`, and writes the disk back into the image.
  auto run = [&](const std::string& command) {
    PartitionList list;
    TempLetterList letters;
    scanWithTemporaryLetters(platform, TypeCatalogue(), list, letters);
    EXPECT_EQ(list.rows.at(0)[kTypeIdColumn] + "|" + list.rows[0][kCapacityColumn] + "|" +
                  list.BootSectorOffsetText[0],
              "0700|16|000000100000");
    EXPECT_EQ(runCommandStep(platform, list, splitCommandLine("q " + command)).exitStatus,
              kExitDone);
    std::ofstream(image, std::ios::binary) << d.bytes(0, bytes.size());
  };
  run("/L 1 1 relabelled");
  runTool("dd if=" + image + " of=" + volume + " bs=4096 skip=256 count=4096 2>/dev/null");
  EXPECT_EQ(runTool("fsck.fat -n " + volume + " >/dev/null 2>&1").second, 0);
  EXPECT_EQ(runTool("fatlabel " + volume).first, "RELABELLED\n");
  // The type through the GPT writer, then as fdisk reads the table with 4096-byte sectors.
  run("/M 1 1 8300");
  const std::string listed = runTool("fdisk -b 4096 -l " + image + " 2>&1").first;
  EXPECT_NE(listed.find("Linux filesystem"), std::string::npos) << listed;
  for (const char* word : {"orrupt", "nvalid", "ismatch"})
    EXPECT_EQ(listed.find(word), std::string::npos) << listed;
  runTool("rm -rf '" + work + "'");
}
}  // namespace
}  // namespace quenbolt

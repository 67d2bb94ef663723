// A FAT32 volume no driver has mounted: row H of the standard machine without a letter (its
// temporary one leads to no volume), or with one to a volume Windows does not recognise. The
// program writes the boot sector, its backup and the root directory's label entry itself, under
// FAT's rules, reading and checking everything before it writes anything.

#include <gtest/gtest.h>

#include "editing/apply_changes.h"
#include "support/standard_machine.h"

namespace quenbolt {
namespace {
using namespace standard;

constexpr std::uint64_t kRoot = kBootH + kFat32RootSector * 512;
constexpr std::uint64_t kFat = kBootH + 32 * 512;  // the first FAT: entry n at kFat + 4n

std::string bytes(const char* text, std::size_t size) { return std::string(text, size); }

// A directory entry: `name` (11 bytes), attributes, the rest zero.
std::string entry(const std::string& name, char attributes) {
  return name + attributes + std::string(20, '\0');
}

// The label entry the program makes in a free slot, dated 1980-01-01 as fatlabel dates one.
std::string newLabelEntry(const std::string& name) {
  return name + "\x08" + std::string(4, '\0') + bytes("\x21\0\x21\0", 4) + std::string(4, '\0') +
         bytes("\x21\0", 2) + std::string(6, '\0');
}

// Fills the root's first cluster (8 sectors of 16 entries) with files.
void fillFirstCluster(SimulatedDisk& disk) {
  for (std::uint64_t at = kRoot; at < kRoot + 8 * 512; at += 32)
    disk.put(at, entry("FILE    TXT", 0x20));
}

// The volume with a backup boot sector at 3 (not the usual 6) and, after a file, the label entry
// "OLD".
void withBackupAndLabel(SimulatedDisk& disk) {
  disk.put(kBootH, fat32Boot("OLD", 3));
  disk.put(kBootH + 3 * 512, fat32Boot("OLD", 3));
  disk.put(kRoot, entry("FILE    TXT", 0x20));
  disk.put(kRoot + 32, entry("OLD        ", 0x08));
}

// More root directory: the first cluster full, the FAT leading on to cluster 3.
void firstClusterFullThenMore(SimulatedDisk& d) {
  fillFirstCluster(d);
  d.put(kFat + 2 * 4, le(3, 4));
}
void labelInSecondCluster(SimulatedDisk& d) {
  firstClusterFullThenMore(d);
  d.put(kRoot + 8 * 512, entry("OLD        ", 0x08));
}
void bootWriteFails(SimulatedDisk& d) {
  withBackupAndLabel(d);
  d.faults = {{FaultOn::Write, kBootH}};
}
void rootReadFails(SimulatedDisk& d) { d.faults = {{FaultOn::Read, kRoot, -1, 1}}; }
void rootReadAgainFails(SimulatedDisk& d) { d.faults = {{FaultOn::Read, kRoot, 100, 2}}; }
void noSectorsPerCluster(SimulatedDisk& d) { d.put(kBootH + 0x0D, std::string(1, '\x03')); }

struct Case {
  const char* label;
  void (*volume)(SimulatedDisk&);
  std::string failure;  // the one line of the report, after "磁盘 1 分区 4："; empty for none
  std::vector<ByteChange> changes;
  unsigned oemCodePage = 936;
};

// `field` in both boot sectors, then `more`.
std::vector<ByteChange> inBothBootSectors(const std::string& field, std::vector<ByteChange> more) {
  more.push_back({0, kBootH + 0x47, field});
  more.push_back({0, kBootH + 3 * 512 + 0x47, field});
  return more;
}

// The boot sector and a new root entry holding `field`.
std::vector<ByteChange> inBootAndNewEntry(const std::string& field, const std::string& entry) {
  return {{0, kBootH + 0x47, field}, {0, kRoot, newLabelEntry(entry)}};
}

TEST(UnmountedFat32Label, ThreeCopiesAreWrittenUnderFatsRulesOrNothingIs) {
  const std::string badChar = "卷标 未写入（卷标含有 FAT 不允许的字符）";
  const std::string notOem = "卷标 未写入（卷标含有系统 OEM 代码页没有的字符）";
  const std::string noRoom = "根目录卷标 未写入（根目录没有空位存放卷标）";
  const std::string rootUnread = "根目录卷标 未写入（读取扇区失败）";
  const Case cases[] = {
      {"new label", nullptr, "", inBootAndNewEntry("NEW LABEL  ", "NEW LABEL  ")},
      {"new", withBackupAndLabel, "",
       inBothBootSectors("NEW        ", {{0, kRoot + 32, "NEW        "}})},
      // Upper case as Windows makes it, not only a to z; a capital GBK lacks cannot be stored.
      {"αβａｂ", nullptr, "", inBootAndNewEntry("ΑΒＡＢ   ", "ΑΒＡＢ   ")},
      {"āb", nullptr, notOem, {}},
      {"数据", nullptr, notOem, {}, 437},
      {"a.b", nullptr, badChar, {}},
      {" lead", nullptr, badChar, {}},
      {"twelve bytes", nullptr, "卷标 未写入（卷标超过 11 字节）", {}},
      // No label: "NO NAME" in the boot sectors, the entry deleted as fatlabel deletes it.
      {"", withBackupAndLabel, "",
       inBothBootSectors("NO NAME    ",
                         {{0, kRoot + 32, "\xE5"}, {0, kRoot + 32 + 11, bytes("\0", 1)}})},
      // A first name byte of 0xE5 (a GBK lead byte) is kept as 0x05, or the entry reads as deleted.
      {"\xE5\xA1", nullptr, "", inBootAndNewEntry("\xE5\xA1         ", "\x05\xA1         ")},
      {"new", fillFirstCluster, noRoom, {}},
      {"new", firstClusterFullThenMore, noRoom, {}},  // free entries further on are not taken
      {"new",
       labelInSecondCluster,
       "",
       {{0, kBootH + 0x47, "NEW        "}, {0, kRoot + 8 * 512, "NEW        "}}},
      // A failed write ends the label there: nothing after it is written.
      {"new", bootWriteFails, "引导区卷标 未写入（写入扇区失败）", {}},
      {"new", rootReadFails, rootUnread, {}},
      // Read again just before it is written, the root sector fails: the boot sector stays written.
      {"new", rootReadAgainFails, rootUnread, {{0, kBootH + 0x47, "NEW        "}}},
      {"new", noSectorsPerCluster, "卷标 未写入（FAT32 引导区的参数无效）", {}},
  };
  for (const Case& c : cases) {
    Bench b([](SimulatedMachine& m) { m.partitionDevices.erase({0, 2}); });
    ASSERT_EQ(b.list.rows[rowH][kDriveLetterColumn], "");
    b.machine.oemCp = c.oemCodePage;
    if (c.volume) c.volume(b.machine.disks[0]);
    b.before = b.machine.contents();
    b.machine.log.clear();
    b.list.nameLabel(rowH, c.label);
    const ChangeReport report = applyChanges(b.platform, b.list);
    Lines failures;
    for (const ChangeFailure& f : report.failures) failures.push_back(describeFailure(b.list, f));
    EXPECT_EQ(failures, c.failure.empty() ? Lines{} : Lines{"磁盘 1 分区 4：" + c.failure})
        << c.label;
    EXPECT_EQ(b.unexpectedBytes(c.changes), "") << c.label;
    EXPECT_EQ(b.machine.openHandles, 0u);
  }
}

// A sector changed between the reads that planned the label and the write: that one is not written.
TEST(UnmountedFat32Label, ASectorChangedSinceItWasPlannedIsNotWritten) {
  Bench b([](SimulatedMachine& m) { m.partitionDevices.erase({0, 2}); });
  b.machine.whenClosed = [&b] {
    b.machine.whenClosed = nullptr;
    b.machine.disks[0].put(kRoot, entry("NEWFILE TXT", 0x20));
  };
  b.list.nameLabel(rowH, "new");
  const ChangeReport report = applyChanges(b.platform, b.list);
  ASSERT_EQ(report.failures.size(), 1u);
  EXPECT_EQ(describeFailure(b.list, report.failures[0]),
            "磁盘 1 分区 4：根目录卷标 未写入（扇区在读取之后已被改动）");
  EXPECT_EQ(b.unexpectedBytes(
                {{0, kBootH + 0x47, "NEW        "}, {0, kRoot, entry("NEWFILE TXT", 0x20)}}),
            "");
}

// A letter that leads to a volume Windows does not recognise: no driver keeps the label there
// either, and the disk handle may write where only RAW is mounted.
TEST(UnmountedFat32Label, AVolumeWindowsDoesNotRecogniseIsLabelledThroughTheDisk) {
  Bench b([](SimulatedMachine& m) { m.partitionDevices[{0, 2}].fileSystem = "RAW"; });
  ASSERT_EQ(b.list.rows[rowH][kDriveLetterColumn], "H");
  b.list.nameLabel(rowH, "raw");
  EXPECT_TRUE(applyChanges(b.platform, b.list).succeeded());
  EXPECT_EQ(b.machine.logged("label "), Lines{"H:\\ raw unrecognised"});
  EXPECT_EQ(b.unexpectedBytes(
                {{0, kBootH + 0x47, "RAW        "}, {0, kRoot, newLabelEntry("RAW        ")}}),
            "");
  Bench ntfs([](SimulatedMachine& m) { m.partitionDevices[{0, 2}].fileSystem = "RAW"; });
  ntfs.machine.disks[0].put(kBootH, ntfsBoot());
  ntfs.list.nameLabel(rowH, "raw");
  const ChangeReport report = applyChanges(ntfs.platform, ntfs.list);
  ASSERT_EQ(report.failures.size(), 1u);
  EXPECT_EQ(describeFailure(ntfs.list, report.failures[0]),
            "磁盘 1 分区 4：卷标 未写入（分区上没有可识别的文件系统）");
}
}  // namespace
}  // namespace quenbolt

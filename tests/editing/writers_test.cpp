// The writers and the commit on the standard machine, beyond what the property test and the fault
// matrix cover: a sector changed since the scan, changes never written, the boot-sector label and
// its backup, the order of the commit and its failures' words.

#include <gtest/gtest.h>

#include "editing/apply_changes.h"
#include "editing/boot_sector_label_writer.h"
#include "support/standard_machine.h"

namespace quenbolt {
namespace {

using namespace standard;
using Lines = std::vector<std::string>;

Lines described(const PartitionList& list, const ChangeReport& report) {
  Lines lines;
  for (const ChangeFailure& f : report.failures) lines.push_back(describeFailure(list, f));
  return lines;
}

// The scan knew the sector; changed since, the change was planned against something else.
TEST(Writers, ASectorChangedSinceTheScanIsReadButNotWritten) {
  const struct { std::uint64_t offset; char value; bool type; } cases[] = {
      {typeAt(0, 3), 0x1B, true},  {0x1FE, 0x00, true}, {bootAt(0, 0), 0x01, true},  // another type; no signature; entry 0 invalid
      {bootAt(0, 3), '\x80', false}, {0x1FF, 0x00, false}};                          // made active by another tool; no signature
  for (const auto& c : cases) {
    Bench b;
    b.list.rows[rowI][c.type ? kTypeIdColumn : kKindColumn] = c.type ? "0C" : kKindPrimaryActive;
    b.machine.disks[0].put(c.offset, std::string(1, c.value));
    b.before = b.machine.contents();
    const ChangeReport report = applyChanges(b.platform, b.list);
    EXPECT_EQ(described(b.list, report), Lines{std::string("磁盘 1 分区 5：") + (c.type ? "分区标记 \"0C\"" : "活动标记") + " 未写入（分区表已被改动）"});
    EXPECT_EQ(b.machine.log, cycle("0", 0, "512", "") + Lines{"requestClose"});
    EXPECT_EQ(b.unexpectedBytes({}), "");
  }
}

TEST(Writers, TypesThatAreNoHexByteStoresThatLocateNoEntryGptRowsAndTypeEeAreNeverWritten) {
  Bench b;
  b.list.rows[rowD][kTypeIdColumn] = "ee";
  b.list.rows[rowE][kTypeIdColumn] = "";  // an emptied type field
  b.list.rows[rowF][kTypeIdColumn] = "G1";
  b.list.TypeByteOffset[rowI] = 0x1FE;  // would patch the signature
  b.list.rows[rowI][kKindColumn] = kKindPrimaryActive;
  b.list.GptList.push_back(GptRecord{rowH, 0, 2, false});  // row H taken for a GPT entry
  b.list.rows[rowH][kTypeIdColumn] = "0B";
  b.list.ScannedTypeId[rowG] = "EE";  // an MBR entry of type EE
  b.list.rows[rowG][kTypeIdColumn] = "07";
  EXPECT_EQ(described(b.list, applyChanges(b.platform, b.list)),
            (Lines{"磁盘 1 分区 1：分区标记 \"ee\" 未写入（EE 是 GPT 保护分区的类型，不能写入或替换）",
                   "磁盘 1 分区 2：分区标记 \"\" 未写入（分区标记无效）", "磁盘 1 分区 3：分区标记 \"G1\" 未写入（分区标记无效）",
                   "磁盘 1 分区 4：分区标记 \"0B\" 未写入（GPT 分区表暂不能修改）",
                   "磁盘 2 分区 1：分区标记 \"07\" 未写入（EE 是 GPT 保护分区的类型，不能写入或替换）",
                   "磁盘 1 分区 5：活动标记 未写入（分区表已被改动）"}));
  EXPECT_EQ(b.machine.log, Lines{"requestClose"}) << "refused before any disk access";
}

// 11 bytes at 0x47, cut without halving a character, blank-padded, upper-cased; through the
// volume's own handle (Windows refuses the disk's), the backup boot sector too; without a letter,
// where no volume is in the way, through the disk.
TEST(Writers, ABootSectorLabelIsElevenUpperCaseBytesInTheBootSectorAndItsBackup) {
  for (const auto& [label, stored] : {std::pair<std::string, std::string>{"data", "DATA       "}, {"Fifteen-bytes!!", "FIFTEEN-BYT"},
                                      {"数据d", "数据D      "}, {"ABCDEFGHIJ卷", "ABCDEFGHIJ "}, {"ab数据卷标五", "AB数据卷标 "}}) {
    Bench b;
    ChangeReport report;
    writeBootSectorLabel(b.platform, b.list, rowD, label, report);
    EXPECT_TRUE(report.succeeded());
    EXPECT_EQ(b.machine.log, cycle("D:", kBootD) + cycle("D:", kBootD + 6 * 512));
    EXPECT_EQ(b.unexpectedBytes({{0, kBootD + 0x47, stored}, {0, kBootD + 6 * 512 + 0x47, stored}}), "") << label;
  }
  Bench b;
  b.machine.defined.clear();
  b.list.rows[rowH][kDriveLetterColumn] = "";
  ChangeReport report;
  writeBootSectorLabel(b.platform, b.list, rowH, "hidden2", report);
  EXPECT_EQ(b.machine.log, cycle("0", kBootH));
  EXPECT_EQ(b.unexpectedBytes({{0, kBootH + 0x47, "HIDDEN2    "}}), "");
}

TEST(Writers, TheBackupIsWrittenOnlyInsideTheReservedAreaAndOnlyFat32Of512ByteSectorsAtAll) {
  auto boot = [](unsigned bytesPerSector, unsigned reserved, unsigned backup, const char* type = "FAT32") {
    Sector s = fat32Boot("OLD", backup);
    place(s, 0x0B, le(bytesPerSector, 2));
    place(s, 0x0E, le(reserved, 2));
    place(s, 0x52, type);
    return s;
  };
  const std::uint64_t six = kBootD + 6 * 512;
  const std::string label = "NEW        ";
  const struct { const char* what; Sector boot, atSix; Lines log; std::vector<ByteChange> changes; Lines failures; } cases[] = {
      {"no backup", boot(512, 32, 0), boot(512, 32, 0), cycle("D:", kBootD), {{0, kBootD + 0x47, label}}, {}},
      {"FFFF: none", boot(512, 32, 0xFFFF), boot(512, 32, 6), cycle("D:", kBootD), {{0, kBootD + 0x47, label}}, {}},
      {"sector 6 of 6 reserved is data", boot(512, 6, 6), boot(512, 6, 6), cycle("D:", kBootD), {{0, kBootD + 0x47, label}}, {}},
      {"a backup that is no boot sector", boot(512, 32, 6), Sector{}, cycle("D:", kBootD) + cycle("D:", six, "512", ""),
       {{0, kBootD + 0x47, label}}, {"磁盘 1 分区 1：备份引导区卷标 未写入（引导区不是 FAT32）"}},
      {"4096-byte sectors", boot(4096, 32, 6), boot(4096, 32, 6), cycle("D:", kBootD, "512", ""), {},
       {"磁盘 1 分区 1：引导区卷标 未写入（引导区的扇区不是 512 字节）"}},
      {"lower-case fat32", boot(512, 32, 0, "fat32"), Sector{}, cycle("D:", kBootD), {{0, kBootD + 0x47, label}}, {}},
      {"NTFS: nothing of ours, nothing reported", ntfsBoot(), Sector{}, cycle("D:", kBootD, "512", ""), {}, {}}};
  for (const auto& c : cases) {
    Bench b;
    b.machine.disks[0].put(kBootD, c.boot);
    b.machine.disks[0].put(six, c.atSix);
    b.before = b.machine.contents();
    ChangeReport report;
    writeBootSectorLabel(b.platform, b.list, rowD, "new", report);
    EXPECT_EQ(described(b.list, report), c.failures) << c.what;
    EXPECT_EQ(b.machine.log, c.log) << c.what;
    EXPECT_EQ(b.unexpectedBytes(c.changes), "") << c.what;
  }
  Bench b;  // an offset text the scan never writes is never read leniently as another sector
  b.list.BootSectorOffsetText[rowD] = "00000000ZZZZ";
  ChangeReport report;
  writeBootSectorLabel(b.platform, b.list, rowD, "new", report);
  EXPECT_EQ(described(b.list, report), Lines{"磁盘 1 分区 1：引导区卷标 未写入（读取扇区失败）"});
  EXPECT_TRUE(b.machine.log.empty());
}

// Staged against the order of the passes: types, then active flags, then labels (the system's
// call as typed, then the boot sector upper-cased; a label outside the FAT32 group goes to the
// system alone), then each disk whose table changed is read again. A refused re-read is a note.
TEST(ApplyChanges, PassesRunTypesThenFlagsThenLabelsAndEachWrittenTableIsReadAgainLast) {
  Bench b([](SimulatedMachine& m) { m.rereadFails = true; });
  b.list.rows[rowF][kLabelColumn] = "Data";
  b.list.rows[rowE][kLabelColumn] = "Work";
  b.list.rows[rowH][kKindColumn] = kKindPrimaryActive;
  b.list.rows[rowG][kTypeIdColumn] = "1C";
  b.list.rows[rowE][kTypeIdColumn] = "0B";  // the label pass sees the new type: the boot sector is read, found NTFS
  const ChangeReport report = applyChanges(b.platform, b.list);
  EXPECT_TRUE(report.succeeded());
  EXPECT_EQ(report.tablesNotReread, (std::vector<unsigned>{0, 1}));
  EXPECT_EQ(b.machine.log, (cycle("0", kEbr1) + cycle("1", 0) + cycle("0", 0) + Lines{"label E:\\ Work ok"} +
                            cycle("E:", kBootE, "512", "") + Lines{"fat 0 " + hexText(kBootF + kFat32RootSector * 512) + " 12"} +
                            Lines{"label F:\\ Data ok"} + cycle("F:", kBootF) + Lines{"reread 0 failed", "reread 1 failed", "requestClose"}));
  EXPECT_EQ(b.unexpectedBytes({{0, typeAt(kEbr1, 0), "\x0B"}, {1, typeAt(0, 0), "\x1C"}, {0, bootAt(0, 2), "\x80"},
                               {0, kBootF + 0x47, "DATA       "}, rootLabel(0, kBootF, "DATA")}), "");
  EXPECT_EQ(describeTableNotReread(1), "磁盘 2：分区表已写入，但系统未能重新读取，重新启动 Windows 后生效");
}

// Every change is attempted and every failure is one line, control bytes shown as '?'.
TEST(ApplyChanges, EveryChangeIsAttemptedAndEveryFailureRecorded) {
  Bench b;
  b.machine.disks[0].faults = {{FaultOn::OpenForWriting}};
  b.machine.letters['G'].refusesLabel = true;
  b.list.rows[rowD][kTypeIdColumn] = "0B";
  b.list.rows[rowD][kKindColumn] = kKindPrimary;
  b.list.rows[rowExtended][kTypeIdColumn] = "05";
  b.list.rows[rowF][kLabelColumn] = "a\r\nb";
  b.list.rows[rowI][kLabelColumn] = "lost";
  b.list.rows[rowG][kLabelColumn] = "Spare2";
  b.list.rows[rowG][kTypeIdColumn] = "0B";
  EXPECT_EQ(described(b.list, applyChanges(b.platform, b.list)),
            (Lines{"磁盘 1 分区 1：分区标记 \"0B\" 未写入（打开磁盘失败）", "磁盘 1 扩展 0F：分区标记 \"05\" 未写入（打开磁盘失败）",
                   "磁盘 1 分区 1：活动标记 未写入（打开磁盘失败）", "磁盘 1 分区 3：卷标 未写入（卷标被系统拒绝）",
                   "磁盘 1 分区 3：引导区卷标 未写入（打开磁盘失败）", "磁盘 1 分区 5：卷标 未写入（分区没有盘符）",
                   "磁盘 2 分区 1：卷标 未写入（卷标被系统拒绝）"}));
  EXPECT_EQ(b.unexpectedBytes({{1, typeAt(0, 0), "\x0B"}, {1, kBootG + 0x47, "SPARE2     "}}), "");
  EXPECT_EQ(b.machine.logged("reread "), Lines{"1 ok"}) << "no table of disk 0 was written";
  b.list.rows[rowI][kTypeIdColumn] = "a\r\nb";
  EXPECT_EQ(describeFailure(b.list, {rowI, ChangeKind::TypeId, FailureReason::WriteFailed}),
            "磁盘 1 分区 5：分区标记 \"a??b\" 未写入（写入扇区失败）");
}

}  // namespace
}  // namespace quenbolt

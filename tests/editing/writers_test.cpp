// The writers and the commit on the standard machine, beyond the property test and the fault
// matrix: a sector changed since the scan, refusals, the boot-sector label and its backup, the
// commit's order.

#include <gtest/gtest.h>
#include "editing/apply_changes.h"
#include "editing/boot_sector_label_writer.h"
#include "support/gpt_disk.h"
#include "support/standard_machine.h"

namespace quenbolt {
namespace {
using namespace standard;

Lines failures(const PartitionList& list, const ChangeReport& report) {
  Lines lines;
  for (const ChangeFailure& f : report.failures) lines.push_back(describeFailure(list, f));
  return lines;
}

// A type and an active flag of row I, each with its table changed since the scan: another type,
// no signature, entry 0 invalid; made active elsewhere, no signature. Read, never written.
TEST(Writers, ASectorChangedSinceTheScanIsReadButNotWritten) {
  const std::tuple<std::uint64_t, char, bool> cases[] = {{typeAt(0, 3), 0x1B, true},
                                                         {0x1FE, 0, true},
                                                         {bootAt(0, 0), 0x01, true},
                                                         {bootAt(0, 3), '\x80', false},
                                                         {0x1FF, 0, false}};
  for (const auto& [offset, value, type] : cases) {
    Bench b;
    b.list.rows[rowI][type ? kTypeIdColumn : kKindColumn] = type ? "0C" : kKindPrimaryActive;
    b.machine.disks[0].put(offset, std::string(1, value));
    b.before = b.machine.contents();
    const ChangeReport report = applyChanges(b.platform, b.list);
    EXPECT_EQ(failures(b.list, report),
              Lines{std::string("磁盘 1 分区 5：") + (type ? "分区标记 \"0C\"" : "活动标记") +
                    " 未写入（分区表已被改动）"});
    EXPECT_EQ(b.machine.log, cycle("0", 0, "512", "") + Lines{"requestClose"});
    EXPECT_EQ(b.unexpectedBytes({}), "");
  }
}

TEST(Writers, NoHexByteAStoreLocatingNoEntryOrTypeEeIsNeverWrittenAndEveryFailureIsALine) {
  Bench b;  // an emptied type field; a store that would patch the signature; G an EE entry
  b.list.rows[rowD][kTypeIdColumn] = "ee";
  b.list.rows[rowExtended][kTypeIdColumn] = "a\r\nb";
  b.list.rows[rowE][kTypeIdColumn] = "";
  b.list.TypeByteOffset[rowI] = 0x1FE;
  b.list.rows[rowI][kKindColumn] = kKindPrimaryActive;
  b.list.ScannedTypeId[rowG] = "EE";
  b.list.rows[rowG][kTypeIdColumn] = "07";
  b.list.rows[rowG][kKindColumn] = kKindPrimaryActive;
  EXPECT_EQ(
      failures(b.list, applyChanges(b.platform, b.list)),
      (Lines{"磁盘 1 分区 1：分区标记 \"ee\" 未写入（EE 是 GPT 保护分区的类型，不能写入或替换）",
             "磁盘 1 扩展 0F：分区标记 \"a??b\" 未写入（分区标记无效）",
             "磁盘 1 分区 2：分区标记 \"\" 未写入（分区标记无效）",
             "磁盘 2 分区 1：分区标记 \"07\" 未写入（EE 是 GPT 保护分区的类型，不能写入或替换）",
             "磁盘 1 分区 5：活动标记 未写入（分区表已被改动）",
             "磁盘 2 分区 1：活动标记 未写入（EE 是 GPT 保护分区的类型，不能写入或替换）"}));
  EXPECT_EQ(b.machine.log, Lines{"requestClose"}) << "refused before any disk access";
}

// The field as given, through the volume's own handle (Windows refuses the disk's); the backup
// only inside the reserved area; only FAT32 of 512-byte sectors at all, and a refusal only said
// where the sector is FAT32. Without a letter, where no volume is in the way, through the disk.
TEST(Writers, ABootSectorLabelGoesIntoTheBootSectorAndABackupInsideTheReservedArea) {
  auto boot = [](unsigned bytesPerSector, unsigned reserved, unsigned backup,
                 const char* type = "FAT32") {
    Sector s = fat32Boot("OLD", backup);
    place(s, 0x0B, le(bytesPerSector, 2));
    place(s, 0x0E, le(reserved, 2));
    place(s, 0x52, type);
    return s;
  };
  const std::uint64_t six = kBootD + 6 * 512;
  const Lines both = cycle("D:", kBootD) + cycle("D:", six);
  const Lines one = cycle("D:", kBootD);
  const Lines none = cycle("D:", kBootD, "512", "");
  const BootLabelField data{"DATA       ", std::nullopt};
  const BootLabelField refused{"", FailureReason::LabelNotInOemCodePage};
  struct Case {
    BootLabelField field;
    Sector boot, atSix;
    Lines log;
    unsigned copies;
    std::string failure;
  };
  const Case cases[] = {
      {data, boot(512, 32, 6), boot(512, 32, 6), both, 2, ""},
      {data, boot(512, 32, 3), Sector{}, one + cycle("D:", kBootD + 3 * 512, "512", ""), 1,
       "备份引导区卷标 未写入（引导区不是 FAT32）"},  // BPB_BkBootSec says 3, and sector 3 is read
      {data, boot(512, 32, 0), boot(512, 32, 0), one, 1, ""},
      {data, boot(512, 32, 0xFFFF), boot(512, 32, 6), one, 1, ""},  // FFFF: none
      {data, boot(512, 6, 6), boot(512, 6, 6), one, 1, ""},  // sector 6 of 6 reserved is data
      {data, boot(512, 32, 6), Sector{}, one + cycle("D:", six, "512", ""), 1,
       "备份引导区卷标 未写入（引导区不是 FAT32）"},
      {data, boot(4096, 32, 6), boot(4096, 32, 6), none, 0,
       "引导区卷标 未写入（引导区的扇区大小与磁盘不符）"},
      {data, boot(512, 32, 0, "fat32"), Sector{}, one, 1, ""},
      {refused, boot(512, 32, 6), boot(512, 32, 6), none, 0,
       "引导区卷标 未写入（卷标含有系统 OEM 代码页没有的字符）"},
      {refused, ntfsBoot(), Sector{}, none, 0, ""},  // nothing of ours there, nothing reported
      {data, ntfsBoot(), Sector{}, none, 0, ""}};
  for (const auto& c : cases) {
    Bench b;
    b.machine.disks[0].put(kBootD, c.boot);
    b.machine.disks[0].put(six, c.atSix);
    b.before = b.machine.contents();
    ChangeReport report;
    writeBootSectorLabel(b.platform, b.list, rowD, c.field, report);
    EXPECT_EQ(failures(b.list, report),
              c.failure.empty() ? Lines{} : Lines{"磁盘 1 分区 1：" + c.failure});
    EXPECT_EQ(b.machine.log, c.log);
    const std::vector<ByteChange> changes{{0, kBootD + 0x47, c.field.bytes},
                                          {0, six + 0x47, c.field.bytes}};
    EXPECT_EQ(b.unexpectedBytes({changes.begin(), changes.begin() + c.copies}), "") << c.failure;
  }
  Bench failed;  // a boot sector that could not be written leaves its backup alone
  failed.machine.disks[0].faults = {{FaultOn::Write, kBootD}};
  ChangeReport lost;
  writeBootSectorLabel(failed.platform, failed.list, rowD, data, lost);
  EXPECT_EQ(failures(failed.list, lost), Lines{"磁盘 1 分区 1：引导区卷标 未写入（写入扇区失败）"});
  EXPECT_EQ(failed.unexpectedBytes({}), "");
  Bench c;  // without a letter, where no volume is in the way, through the disk
  c.machine.defined.clear();
  c.list.rows[rowH][kDriveLetterColumn] = "";
  writeBootSectorLabel(c.platform, c.list, rowH, {"HIDDEN2    ", std::nullopt}, lost);
  EXPECT_EQ(c.machine.log, cycle("0", kBootH));
  EXPECT_EQ(c.unexpectedBytes({{0, kBootH + 0x47, "HIDDEN2    "}}), "");
}

// Staged against the order of the passes: types, then active flags, then labels (the system's call
// as typed, then the boot sector upper-cased; outside the FAT32 group the system's alone), then
// each disk whose table changed is read again; a refusal is a note. Every change is attempted.
TEST(ApplyChanges, PassesRunTypesThenFlagsThenLabelsAndEachWrittenTableIsReadAgainLast) {
  Bench b([](SimulatedMachine& m) { m.rereadFails = true; });
  b.list.rows[rowF][kLabelColumn] = "Data";
  b.list.rows[rowH][kKindColumn] = kKindPrimaryActive;
  b.list.rows[rowG][kTypeIdColumn] = "1C";
  // The label pass sees the new type: the boot sector is read, found NTFS.
  b.list.rows[rowE][kTypeIdColumn] = "0B";
  b.list.rows[rowE][kLabelColumn] = "Work";
  const ChangeReport report = applyChanges(b.platform, b.list);
  EXPECT_TRUE(report.succeeded());
  EXPECT_EQ(report.tablesNotReread, (std::vector<unsigned>{0, 1}));
  EXPECT_EQ(
      b.machine.log,
      (cycle("0", kEbr1) + cycle("1", 0) + cycle("0", 0) + Lines{"label E:\\ Work ok"} +
       cycle("E:", kBootE, "512", "") +
       Lines{"fat 0 " + hexText(kBootF + kFat32RootSector * 512) + " 12", "label F:\\ Data ok"} +
       cycle("F:", kBootF) + Lines{"reread 0 failed", "reread 1 failed", "requestClose"}));
  EXPECT_EQ(b.unexpectedBytes({{0, typeAt(kEbr1, 0), "\x0B"},
                               {1, typeAt(0, 0), "\x1C"},
                               {0, bootAt(0, 2), "\x80"},
                               {0, kBootF + 0x47, "DATA       "},
                               rootLabel(0, kBootF, "DATA")}),
            "");
  Bench c;
  c.machine.disks[0].faults = {{FaultOn::OpenForWriting}};
  c.machine.letters['G'].refusesLabel = true;
  c.list.rows[rowD][kTypeIdColumn] = "0B";
  c.list.rows[rowF][kLabelColumn] = "LOST";
  c.list.rows[rowI][kLabelColumn] = "lost";
  c.list.rows[rowG][kLabelColumn] = "Spare2";
  EXPECT_EQ(failures(c.list, applyChanges(c.platform, c.list)),
            (Lines{"磁盘 1 分区 1：分区标记 \"0B\" 未写入（打开磁盘失败）",
                   "磁盘 1 分区 3：引导区卷标 未写入（打开磁盘失败）",
                   "磁盘 1 分区 5：卷标 未写入（分区没有盘符）",
                   "磁盘 2 分区 1：卷标 未写入（卷标被系统拒绝）"}));
  EXPECT_EQ(c.unexpectedBytes({rootLabel(0, kBootF, "LOST")}), "")
      << "the rest is still made; nothing of a refused label";
}
// The boot-sector label box reloads GPT rows too, those whose boot sector is FAT32.
TEST(Writers, TheBootLabelBoxReloadsGptRowsWhoseBootSectorIsFat32) {
  Bench b([](SimulatedMachine& m) {
    putGpt(m.addDisk(2, 1ull << 30),
           {{0, kBasicData, 2048, 206847}, {1, kBasicData, 206848, 411647}});
    m.disks[2].put(2048 * 512, fat32Boot("GPTDATA"));
    m.disks[2].put(206848 * 512, ntfsBoot());
  });
  b.list.rows[rowCount + 1][kLabelColumn] = "KEPT";
  refreshBootLabels(b.platform, b.list, true);
  EXPECT_EQ(b.list.rows[rowCount][kLabelColumn] + "|" + b.list.rows[rowCount + 1][kLabelColumn],
            "GPTDATA|KEPT");
  refreshBootLabels(b.platform, b.list, false);
  EXPECT_EQ(b.list.rows[rowCount][kLabelColumn] + "|" + b.list.rows[rowCount + 1][kLabelColumn],
            "|KEPT")
      << "no letter";
}
}  // namespace
}  // namespace quenbolt

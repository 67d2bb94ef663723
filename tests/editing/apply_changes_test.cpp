// The commit: type IDs, then active flags, then labels (the system's call, then the FAT32 boot
// sectors), every change attempted, every failure recorded, each written table read again.

#include "editing/apply_changes.h"

#include <gtest/gtest.h>

#include "support/standard_machine.h"

namespace quenbolt {
namespace {

using namespace standard;
using Lines = std::vector<std::string>;

class ApplyChanges : public testing::Test, public Bench {
 protected:
  std::string& cell(std::size_t row, Column c) { return list.rows[row][c]; }
  Lines failures(const ChangeReport& report) {
    Lines lines;
    for (const ChangeFailure& f : report.failures) lines.push_back(describeFailure(list, f));
    return lines;
  }
};

TEST_F(ApplyChanges, NothingPendingTouchesNoDiskAndStillCloses) {
  EXPECT_TRUE(applyChanges(platform, list).succeeded());
  EXPECT_EQ(machine.log, Lines{"requestClose"});
}

TEST_F(ApplyChanges, PassesRunTypesThenFlagsThenLabelsAndEachWrittenTableIsReadAgainLast) {
  // Staged against the order of the passes. The system gets the label as typed, the boot
  // sectors its upper-case form; a label of a type outside the FAT32 group goes to the system only.
  cell(rowF, kLabelColumn) = "Data";
  cell(rowE, kLabelColumn) = "Work";
  cell(rowH, kKindColumn) = kKindPrimaryActive;
  cell(rowG, kTypeIdColumn) = "1C";
  cell(rowE, kTypeIdColumn) = "0B";  // a label pass reads a row's new type: the boot sector is NTFS
  EXPECT_TRUE(applyChanges(platform, list).succeeded());
  const Lines labels{"fat 0 " + hexText(kBootF + kFat32RootSector * 512) + " 12", "label F:\\ Data ok"};
  EXPECT_EQ(machine.log, (cycle("0", kEbr1) + cycle("1", 0) + cycle("0", 0) + Lines{"label E:\\ Work ok"} +
                          cycle("E:", kBootE, "512", "") + labels + cycle("F:", kBootF) +
                          Lines{"reread 0 ok", "reread 1 ok", "requestClose"}));
  EXPECT_EQ(unexpectedBytes({{0, typeAt(kEbr1, 0), "\x0B"}, {1, typeAt(0, 0), "\x1C"}, {0, bootAt(0, 2), "\x80"},
                             {0, kBootF + 0x47, "DATA       "}, rootLabel(0, kBootF, "DATA")}), "");
}

TEST_F(ApplyChanges, EveryChangeIsAttemptedAndEveryFailureRecordedOnOneLineEach) {
  machine.disks[0].faults = {{FaultOn::OpenForWriting}};
  machine.letters['G'].refusesLabel = true;
  cell(rowD, kTypeIdColumn) = "0B";
  cell(rowD, kKindColumn) = kKindPrimary;
  cell(rowI, kTypeIdColumn) = "G1";
  cell(rowExtended, kTypeIdColumn) = "05";
  cell(rowF, kLabelColumn) = "a\r\nb";
  cell(rowI, kLabelColumn) = "lost";
  cell(rowG, kLabelColumn) = "Spare2";
  cell(rowG, kTypeIdColumn) = "0B";
  const ChangeReport report = applyChanges(platform, list);
  EXPECT_EQ(failures(report),
            (Lines{"磁盘 1 分区 1：分区标记 \"0B\" 未写入（打开磁盘失败）",
                   "磁盘 1 扩展 0F：分区标记 \"05\" 未写入（打开磁盘失败）",
                   "磁盘 1 分区 5：分区标记 \"G1\" 未写入（分区标记无效）",
                   "磁盘 1 分区 1：活动标记 未写入（打开磁盘失败）",
                   "磁盘 1 分区 3：卷标 未写入（卷标被系统拒绝）",
                   "磁盘 1 分区 3：引导区卷标 未写入（打开磁盘失败）",
                   "磁盘 1 分区 5：卷标 未写入（分区没有盘符）",
                   "磁盘 2 分区 1：卷标 未写入（卷标被系统拒绝）"}));
  // Disk 1's type, and the boot sector of its label the system refused, are still written.
  EXPECT_EQ(unexpectedBytes({{1, typeAt(0, 0), "\x0B"}, {1, kBootG + 0x47, "SPARE2     "}}), "");
  EXPECT_EQ(machine.logged("reread "), Lines{"1 ok"}) << "no table of disk 0 was written";
  EXPECT_EQ(machine.logged("requestClose").size(), 1u);
  cell(rowI, kTypeIdColumn) = "a\r\nb";
  EXPECT_EQ(describeFailure(list, {rowI, ChangeKind::TypeId, FailureReason::TableChanged}),
            "磁盘 1 分区 5：分区标记 \"a??b\" 未写入（分区表已被改动）");
  EXPECT_EQ(describeFailure(list, {rowD, ChangeKind::BackupBootSectorLabel, FailureReason::SectorSizeNot512}),
            "磁盘 1 分区 1：备份引导区卷标 未写入（引导区的扇区不是 512 字节）");
}

TEST_F(ApplyChanges, ATableTheSystemCannotReadAgainIsOnlyANote) {
  machine.rereadFails = true;
  cell(rowD, kTypeIdColumn) = "1C";
  cell(rowE, kTypeIdColumn) = "17";  // the MBR and an EBR of disk 0: one request
  cell(rowG, kLabelColumn) = "G";    // a label changes no table of disk 1
  const ChangeReport report = applyChanges(platform, list);
  EXPECT_TRUE(report.succeeded());
  EXPECT_EQ(report.tablesNotReread, std::vector<unsigned>{0});
  EXPECT_EQ(machine.logged("reread "), Lines{"0 failed"});
  EXPECT_EQ(describeTableNotReread(0), "磁盘 1：分区表已写入，但系统未能重新读取，重新启动 Windows 后生效");
}

}  // namespace
}  // namespace quenbolt

#include "editing/apply_changes.h"

#include "editing_bench.h"

namespace quenbolt {
namespace {

using namespace bench;
using ::testing::ElementsAre;

using ApplyChanges = EditingBench;
using Lines = std::vector<std::string>;

TEST_F(ApplyChanges, NothingPendingTouchesNoDiskAndStillCloses) {
  EXPECT_TRUE(applyChanges(platform, list).succeeded());
  EXPECT_TRUE(machine.diskLog().empty());
  EXPECT_EQ(journal(), Lines{"requestClose"});
  EXPECT_EQ(machine.closeRequests(), 1u);
}

TEST_F(ApplyChanges, NewFat32TypeAndLabelWriteTypeThenSystemLabelThenBootSector) {
  // First on the NTFS volume C as it is: its boot sector is read, found not FAT32, left alone.
  // Then with C made a FAT32 volume that is still typed 07.
  for (bool fat32 : {false, true}) {
    SCOPED_TRACE(fat32 ? "FAT32 boot sector" : "NTFS boot sector");
    if (fat32) {
      machine.disk(0).setSector(kBootC, fat32BootSector("SYSTEM"));
      machine.disk(0).setBytes(typeByte(kMbr, 0), {0x07});
      machine.volume('C')->fileSystem = "FAT32";
      machine.volume('C')->label = "SYSTEM";
      scan();
    }
    row(kRowC)[kTypeIdColumn] = "0B";
    row(kRowC)[kLabelColumn] = "New Sys";
    EXPECT_TRUE(applyChanges(platform, list).succeeded());
    // The boot sector of a mounted volume is written through the volume; the disk whose table
    // changed is read again by the system once everything is written.
    EXPECT_EQ(journal(), concat({cycle(0, kMbr), {"setVolumeLabel C:\\ New Sys ok"},
                                 bootCycle('C', fat32 ? "512" : ""),
                                 {"updateProperties 0 ok", "requestClose"}}));
    std::vector<ByteChange> changes{{0, typeByte(kMbr, 0), "\x0B"}};
    if (fat32) {
      changes.push_back({0, kBootC + 0x47, "NEW SYS    "});
      changes.push_back(labelEntry(0, kBootC, "NEW SYS"));  // by the system's own label call
    }
    expectOnly(changes);
    machine.clearLogs();
  }
}

TEST_F(ApplyChanges, LabelOfANonFat32TypeGoesOnlyToTheSystem) {
  // The boot sector would take it, but type 07 is not a FAT32 label type.
  machine.disk(0).setSector(kBootC, fat32BootSector("SYSTEM"));
  scan();
  row(kRowC)[kLabelColumn] = "New Sys";
  EXPECT_TRUE(applyChanges(platform, list).succeeded());
  EXPECT_EQ(journal(), (Lines{"setVolumeLabel C:\\ New Sys ok", "requestClose"}));
  EXPECT_EQ(machine.volume('C')->label, "New Sys");
}

TEST_F(ApplyChanges, ALabelWithoutALetterOrRefusedIsReportedAndTheRestStillMade) {
  row(kRowUnlettered)[kLabelColumn] = "lost";
  machine.volume('D')->refusesLabel = true;
  row(kRowD)[kLabelColumn] = "new";
  EXPECT_THAT(applyChanges(platform, list).failures,
              ElementsAre(IsFailure(kRowD, ChangeKind::VolumeLabel, FailureReason::LabelRefused),
                          IsFailure(kRowUnlettered, ChangeKind::VolumeLabel, FailureReason::NoDriveLetter)));
  // The boot-sector copy of the refused label is still made; the unlettered row is not touched.
  EXPECT_EQ(journal(), concat({{"setVolumeLabel D:\\ new refused"}, bootCycle('D'), {"requestClose"}}));
  expectOnly({{0, kBootD + 0x47, "NEW        "}});
}

TEST_F(ApplyChanges, PassesRunTypesThenActiveFlagsThenLabelsOverTheWholeList) {
  // Staged in the opposite order of the passes, and the type change on the last row. The system
  // gets the label as typed, the boot sector its upper-case form.
  row(kRowD)[kLabelColumn] = "Data";
  row(kRowD)[kKindColumn] = kKindPrimaryActive;
  row(kRowF)[kTypeIdColumn] = "1C";
  EXPECT_TRUE(applyChanges(platform, list).succeeded());
  EXPECT_EQ(journal(), concat({cycle(1, kMbr), cycle(0, kMbr), {"setVolumeLabel D:\\ Data ok"},
                               bootCycle('D'),
                               {"updateProperties 0 ok", "updateProperties 1 ok", "requestClose"}}));
  expectOnly({{0, bootIndicator(kMbr, 1), "\x80"},
              {0, kBootD + 0x47, "DATA       "},
              labelEntry(0, kBootD, "DATA"),
              {1, typeByte(kMbr, 0), "\x1C"}});
}

TEST_F(ApplyChanges, EveryChangeIsAttemptedAndEveryFailureRecordedBeforeClosing) {
  machine.disk(0).failOpen(OpenFault::ReadWriteOnly);
  row(kRowC)[kTypeIdColumn] = "0C";
  row(kRowC)[kKindColumn] = kKindPrimary;
  row(kRowD)[kTypeIdColumn] = "";
  row(kRowE)[kLabelColumn] = "DATA";
  row(kRowF)[kTypeIdColumn] = "1C";
  const ChangeReport report = applyChanges(platform, list);
  EXPECT_THAT(report.failures,
              ElementsAre(IsFailure(kRowC, ChangeKind::TypeId, FailureReason::OpenFailed),
                          IsFailure(kRowD, ChangeKind::TypeId, FailureReason::NotHexTypeId),
                          IsFailure(kRowC, ChangeKind::ActiveFlag, FailureReason::OpenFailed),
                          IsFailure(kRowE, ChangeKind::BootSectorLabel, FailureReason::OpenFailed)));
  expectOnly({{1, typeByte(kMbr, 0), "\x1C"}, labelEntry(0, kBootE, "DATA")});
  EXPECT_EQ(machine.volume('E')->label, "DATA");
  EXPECT_EQ(machine.updateRequests(0), 0u) << "no table of disk 0 was written";
  EXPECT_EQ(machine.closeRequests(), 1u);
}

TEST_F(ApplyChanges, EachDiskWhoseTableChangedIsReadAgainOnceAndARefusalIsOnlyANote) {
  machine.setUpdateRequestsFail(true);
  row(kRowC)[kTypeIdColumn] = "0C";        // the MBR of disk 0
  row(kRowLogical)[kTypeIdColumn] = "0C";  // an EBR of disk 0
  row(kRowF)[kLabelColumn] = "F";          // a label changes no table of disk 1
  const ChangeReport report = applyChanges(platform, list);
  EXPECT_TRUE(report.succeeded());
  EXPECT_EQ(report.tablesNotReread, std::vector<unsigned>{0});
  EXPECT_EQ(machine.updateRequests(0), 1u);
  EXPECT_EQ(machine.updateRequests(1), 0u);
  EXPECT_EQ(describeTableNotReread(0), "磁盘 1：分区表已写入，但系统未能重新读取，重新启动 Windows 后生效");
}

TEST_F(ApplyChanges, DescribesEachFailureOnOneGbkLine) {
  row(kRowD)[kTypeIdColumn] = "G1";
  EXPECT_EQ(describeFailure(list, {kRowD, ChangeKind::TypeId, FailureReason::NotHexTypeId}),
            "磁盘 1 分区 2：分区标记 \"G1\" 未写入（分区标记无效）");
  EXPECT_EQ(describeFailure(list, {kRowF, ChangeKind::BootSectorLabel, FailureReason::WriteFailed}),
            "磁盘 2 分区 1：引导区卷标 未写入（写入扇区失败）");
  EXPECT_EQ(describeFailure(list, {kRowF, ChangeKind::BackupBootSectorLabel, FailureReason::SectorSizeNot512}),
            "磁盘 2 分区 1：备份引导区卷标 未写入（引导区的扇区不是 512 字节）");
  // A container has no number: it is named by its kind and scanned type.
  row(kRowContainer)[kTypeIdColumn] = "0F";
  EXPECT_EQ(describeFailure(list, {kRowContainer, ChangeKind::TypeId, FailureReason::TableChanged}),
            "磁盘 1 扩展 05：分区标记 \"0F\" 未写入（分区表已被改动）");
  // A staged type text can hold anything a command line can; the line stays one line.
  row(kRowD)[kTypeIdColumn] = "a\r\nb";
  for (ChangeKind kind : {ChangeKind::TypeId, ChangeKind::ActiveFlag, ChangeKind::VolumeLabel,
                          ChangeKind::BootSectorLabel, ChangeKind::BackupBootSectorLabel}) {
    for (int reason = 0; reason <= static_cast<int>(FailureReason::SectorSizeNot512); ++reason) {
      const std::string line = describeFailure(list, {kRowD, kind, static_cast<FailureReason>(reason)});
      EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
      EXPECT_NE(line.find("磁盘 1 分区 2"), std::string::npos) << line;
    }
  }
}

}  // namespace
}  // namespace quenbolt

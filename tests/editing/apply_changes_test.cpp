#include "editing/apply_changes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "editing_bench.h"

namespace quenbolt {
namespace {

using namespace bench;
using ::testing::ElementsAre;

class ApplyChanges : public EditingBench {
 protected:
  // Makes C a FAT32 volume (boot sector and file system) that is still typed 07.
  void makeCFat32() {
    machine.disk(0).setSector(kBootC, fat32BootSector("SYSTEM"));
    machine.volume('C')->fileSystem = "FAT32";
    scan();
  }
};

TEST_F(ApplyChanges, NothingPendingTouchesNoDiskAndStillCloses) {
  const ChangeReport report = applyChanges(platform, list);
  EXPECT_TRUE(report.succeeded());
  EXPECT_TRUE(machine.diskLog().empty());
  EXPECT_EQ(diskAndLabelJournal(machine), std::vector<std::string>{"requestClose"});
  EXPECT_EQ(machine.closeRequests(), 1u);
}

TEST_F(ApplyChanges, NewFat32TypeAndLabelWriteTypeThenSystemLabelThenBootSector) {
  makeCFat32();
  row(kRowC)[kTypeIdColumn] = "0B";
  row(kRowC)[kLabelColumn] = "New Sys";
  const ChangeReport report = applyChanges(platform, list);
  EXPECT_TRUE(report.succeeded());
  EXPECT_EQ(diskAndLabelJournal(machine),
            concat({readModifyWrite(0, kMbr), {"setVolumeLabel C:\\ New Sys ok"},
                    readModifyWrite(0, kBootC), {"requestClose"}}));
  expectDisks(beforeWith({{0, {{typeByte(kMbr, 0), byteText(0x0B)},
                               {kBootC + 0x47, "NEW SYS    "}}}}));
}

TEST_F(ApplyChanges, ANewFat32TypeOnAnNtfsVolumeLeavesItsBootSectorAlone) {
  row(kRowC)[kTypeIdColumn] = "0B";
  row(kRowC)[kLabelColumn] = "New Sys";
  const ChangeReport report = applyChanges(platform, list);
  EXPECT_TRUE(report.succeeded());
  EXPECT_EQ(diskAndLabelJournal(machine),
            concat({readModifyWrite(0, kMbr), {"setVolumeLabel C:\\ New Sys ok"},
                    readOnly(0, kBootC), {"requestClose"}}));
  expectDisks(beforeWith({{0, {{typeByte(kMbr, 0), byteText(0x0B)}}}}));
}

TEST_F(ApplyChanges, LabelOfANonFat32TypeGoesOnlyToTheSystem) {
  makeCFat32();  // the boot sector would take it, but type 07 is not a FAT32 label type
  row(kRowC)[kLabelColumn] = "New Sys";
  const ChangeReport report = applyChanges(platform, list);
  EXPECT_TRUE(report.succeeded());
  EXPECT_EQ(diskAndLabelJournal(machine),
            (std::vector<std::string>{"setVolumeLabel C:\\ New Sys ok", "requestClose"}));
  EXPECT_TRUE(machine.diskLog().empty());
  EXPECT_EQ(machine.volume('C')->label, "New Sys");
}

TEST_F(ApplyChanges, SystemGetsTheLabelAsTypedAndTheBootSectorItsElevenByteForm) {
  row(kRowF)[kLabelColumn] = "spare volume 2";
  const ChangeReport report = applyChanges(platform, list);
  EXPECT_TRUE(report.succeeded());
  EXPECT_EQ(diskAndLabelJournal(machine),
            concat({{"setVolumeLabel F:\\ spare volume 2 ok"}, readModifyWrite(1, kBootF),
                    {"requestClose"}}));
  expectDisks(beforeWith({{1, {{kBootF + 0x47, "SPARE VOLUM"}}}}));
}

TEST_F(ApplyChanges, LabelWithoutADriveLetterIsNotWrittenButReported) {
  row(kRowUnlettered)[kLabelColumn] = "lost";
  const ChangeReport report = applyChanges(platform, list);
  EXPECT_THAT(report.failures, ElementsAre(IsFailure(kRowUnlettered, ChangeKind::VolumeLabel,
                                                     FailureReason::NoDriveLetter)));
  EXPECT_TRUE(machine.diskLog().empty());
  EXPECT_TRUE(machine.calls(CallKind::SetLabel).empty());
  EXPECT_EQ(machine.closeRequests(), 1u);
}

TEST_F(ApplyChanges, ARefusedLabelIsReportedAndTheBootSectorCopyStillMade) {
  machine.volume('D')->refusesLabel = true;
  row(kRowD)[kLabelColumn] = "new";
  const ChangeReport report = applyChanges(platform, list);
  EXPECT_THAT(report.failures,
              ElementsAre(IsFailure(kRowD, ChangeKind::VolumeLabel, FailureReason::LabelRefused)));
  EXPECT_EQ(diskAndLabelJournal(machine),
            concat({{"setVolumeLabel D:\\ new refused"}, readModifyWrite(0, kBootD),
                    {"requestClose"}}));
  expectDisks(beforeWith({{0, {{kBootD + 0x47, "NEW        "}}}}));
}

TEST_F(ApplyChanges, PassesRunTypesThenActiveFlagsThenLabelsOverTheWholeList) {
  // Staged in the opposite order of the passes, and the type change on the last row.
  row(kRowD)[kLabelColumn] = "Data";
  row(kRowD)[kKindColumn] = kKindPrimaryActive;
  row(kRowF)[kTypeIdColumn] = "1C";
  const ChangeReport report = applyChanges(platform, list);
  EXPECT_TRUE(report.succeeded());
  EXPECT_EQ(diskAndLabelJournal(machine),
            concat({readModifyWrite(1, kMbr), readModifyWrite(0, kMbr),
                    {"setVolumeLabel D:\\ Data ok"}, readModifyWrite(0, kBootD),
                    {"requestClose"}}));
  expectDisks(beforeWith({{0, {{bootIndicator(kMbr, 1), byteText(0x80)},
                               {kBootD + 0x47, "DATA       "}}},
                          {1, {{typeByte(kMbr, 0), byteText(0x1C)}}}}));
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
                          IsFailure(kRowE, ChangeKind::BootSectorLabel,
                                    FailureReason::OpenFailed)));
  expectDisks(beforeWith({{1, {{typeByte(kMbr, 0), byteText(0x1C)}}}}));
  EXPECT_EQ(machine.volume('E')->label, "DATA");
  EXPECT_EQ(machine.closeRequests(), 1u);
  EXPECT_FALSE(report.succeeded());
}

TEST_F(ApplyChanges, DescribesEachFailureOnOneGbkLine) {
  row(kRowD)[kTypeIdColumn] = "G1";
  EXPECT_EQ(describeFailure(list, {kRowD, ChangeKind::TypeId, FailureReason::NotHexTypeId}),
            "磁盘 1 分区 2：分区标记 \"G1\" 未写入（分区标记无效）");
  EXPECT_EQ(describeFailure(list, {kRowF, ChangeKind::BootSectorLabel, FailureReason::WriteFailed}),
            "磁盘 2 分区 1：引导区卷标 未写入（写入扇区失败）");
  // A container has no number: it is named by its kind and scanned type.
  row(kRowContainer)[kTypeIdColumn] = "0F";
  EXPECT_EQ(describeFailure(list, {kRowContainer, ChangeKind::TypeId, FailureReason::TableChanged}),
            "磁盘 1 扩展 05：分区标记 \"0F\" 未写入（分区表已被改动）");

  // A staged type text can hold anything a command line can; the line stays one line.
  row(kRowD)[kTypeIdColumn] = "a\r\nb";
  for (ChangeKind kind : {ChangeKind::TypeId, ChangeKind::ActiveFlag, ChangeKind::VolumeLabel,
                          ChangeKind::BootSectorLabel}) {
    for (FailureReason reason :
         {FailureReason::NotHexTypeId, FailureReason::OpenFailed, FailureReason::ReadFailed,
          FailureReason::TableChanged, FailureReason::WriteFailed, FailureReason::LabelRefused,
          FailureReason::NotFat32, FailureReason::NoDriveLetter}) {
      const std::string line = describeFailure(list, {kRowD, kind, reason});
      EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
      EXPECT_NE(line.find("磁盘 1 分区 2"), std::string::npos) << line;
    }
  }
}

}  // namespace
}  // namespace quenbolt

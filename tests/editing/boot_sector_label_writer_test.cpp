#include "editing/boot_sector_label_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "editing_bench.h"

namespace quenbolt {
namespace {

using namespace bench;

using BootSectorLabelWriter = EditingBench;

TEST_F(BootSectorLabelWriter, StoresElevenUpperCaseBlankPaddedBytesAt47) {
  struct Case {
    const char* label;
    const char* stored;
  };
  const Case cases[] = {
      {"data", "DATA       "},
      {"", "           "},
      {"Fifteen-bytes!!", "FIFTEEN-BYT"},
      {"ELEVENBYTES", "ELEVENBYTES"},
      // Double-byte characters keep both bytes as they are; only a to z change.
      {"数据d", "数据D      "},
      // The 11th byte would be the lead byte of 卷: cut before it, pad with a blank.
      {"ABCDEFGHIJ卷", "ABCDEFGHIJ "},
      {"ab数据卷标五", "AB数据卷标 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    scan();
    ChangeReport report;
    writeBootSectorLabel(platform, list, kRowD, c.label, report);
    EXPECT_TRUE(report.succeeded());
    EXPECT_EQ(diskAndLabelJournal(machine), readModifyWrite(0, kBootD));
    expectDisks(beforeWith({{0, {{kBootD + 0x47, c.stored}}}}));
  }
}

TEST_F(BootSectorLabelWriter, FindsTheBootSectorOfALogicalPartitionFromItsOffsetText) {
  ChangeReport report;
  writeBootSectorLabel(platform, list, kRowE, "logic2", report);
  EXPECT_TRUE(report.succeeded());
  EXPECT_EQ(diskAndLabelJournal(machine), readModifyWrite(0, kBootE));
  expectDisks(beforeWith({{0, {{kBootE + 0x47, "LOGIC2     "}}}}));
}

TEST_F(BootSectorLabelWriter, LowerCaseFat32TypeFieldCounts) {
  machine.disk(0).setBytes(kBootD + 0x52, {'f', 'a', 't', '3', '2'});
  before = disks();
  ChangeReport report;
  writeBootSectorLabel(platform, list, kRowD, "x", report);
  EXPECT_TRUE(report.succeeded());
  expectDisks(beforeWith({{0, {{kBootD + 0x47, "X          "}}}}));
}

TEST_F(BootSectorLabelWriter, LeavesBootSectorsOtherThanFat32Alone) {
  // FAT16 keeps its label at 0x2B, NTFS has none at 0x47 at all: writing there would damage
  // the file system. Nothing is recorded: the system's own label call is what sets the label.
  for (const Sector& other : {fat16BootSector("OLD"), ntfsBootSector(), Sector{}}) {
    machine.disk(0).setSector(kBootD, other);
    before = disks();
    machine.clearLogs();
    ChangeReport report;
    writeBootSectorLabel(platform, list, kRowD, "NEW", report);
    EXPECT_TRUE(report.succeeded());
    EXPECT_EQ(diskAndLabelJournal(machine), readOnly(0, kBootD));
    expectDisksUnchanged();
  }
}

TEST_F(BootSectorLabelWriter, AnOffsetTextItCannotReadIsNeverGuessed) {
  // The lenient hex rule would read "00000000ZZZZ" as offset 0: the MBR.
  for (const char* text : {"00000000ZZZZ", "", "7E00", "0000 0007E00"}) {
    SCOPED_TRACE(text);
    machine.clearLogs();
    list.BootSectorOffsetText[kRowD] = text;
    ChangeReport report;
    writeBootSectorLabel(platform, list, kRowD, "NEW", report);
    EXPECT_THAT(report.failures, ::testing::ElementsAre(IsFailure(
                                     kRowD, ChangeKind::BootSectorLabel, FailureReason::ReadFailed)));
    EXPECT_TRUE(machine.diskLog().empty());
  }
}

TEST(BootSectorOffsetText, ReadsHighAndLowHalves) {
  std::uint64_t offset = 0;
  ASSERT_TRUE(parseBootSectorOffset("000000007E00", offset));
  EXPECT_EQ(offset, 0x7E00u);
  ASSERT_TRUE(parseBootSectorOffset("000100007C00", offset));
  EXPECT_EQ(offset, 0x100007C00u);
  ASSERT_TRUE(parseBootSectorOffset("123456789ABCDEF0", offset));
  EXPECT_EQ(offset, 0x123456789ABCDEF0u);
}

using RefreshBootLabels = EditingBench;

TEST_F(RefreshBootLabels, CheckedReadsFat32RowsFromTheBootSectorAndTakesANewBaseline) {
  // The volume says "OLD", the boot sector of D says something else.
  machine.disk(0).setSector(kBootD, fat32BootSector("Boot D"));
  row(kRowC)[kLabelColumn] = "STAGED";  // an edit of a 07 row, not yet applied
  row(kRowE)[kLabelColumn] = "STAGED";  // an edit of a FAT32 row, not yet applied
  refreshBootLabels(platform, list, true);

  EXPECT_EQ(row(kRowD)[kLabelColumn], "Boot D");
  EXPECT_EQ(row(kRowE)[kLabelColumn], "LOGIC");
  EXPECT_EQ(row(kRowUnlettered)[kLabelColumn], "HIDDEN");
  EXPECT_EQ(row(kRowF)[kLabelColumn], "SPARE");
  EXPECT_EQ(row(kRowC)[kLabelColumn], "STAGED");  // not a FAT32 label type: kept
  for (std::size_t r = 0; r < list.size(); ++r) {
    EXPECT_EQ(list.ScannedLabel[r], list.rows[r][kLabelColumn]) << r;
  }
  EXPECT_TRUE(machine.diskLog(DiskOp::Write).empty());
}

TEST_F(RefreshBootLabels, UncheckedReadsTheVolumeLabelThroughTheLetter) {
  machine.disk(0).setSector(kBootD, fat32BootSector("Boot D"));
  refreshBootLabels(platform, list, true);
  ASSERT_EQ(row(kRowD)[kLabelColumn], "Boot D");

  machine.volume('D')->label = "Vol D";
  refreshBootLabels(platform, list, false);
  EXPECT_EQ(row(kRowD)[kLabelColumn], "Vol D");
  EXPECT_EQ(list.ScannedLabel[kRowD], "Vol D");
  EXPECT_EQ(row(kRowUnlettered)[kLabelColumn], "");  // no letter, no volume to ask
  EXPECT_EQ(list.ScannedLabel[kRowUnlettered], "");
  EXPECT_TRUE(machine.diskLog(DiskOp::Write).empty());
}

}  // namespace
}  // namespace quenbolt

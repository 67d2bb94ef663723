#include "editing/table_writers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "editing_bench.h"
#include "model/gbk_text.h"

namespace quenbolt {
namespace {

using namespace bench;

using TableWriters = EditingBench;


TEST_F(TableWriters, BenchRowsAreWhatTheTestsAssume) {
  ASSERT_EQ(list.size(), kRowCount);
  EXPECT_EQ(row(kRowC)[kKindColumn], kKindPrimaryActive);
  EXPECT_EQ(row(kRowD)[kDriveLetterColumn], "D");
  EXPECT_EQ(row(kRowContainer)[kTypeIdColumn], "05");
  EXPECT_EQ(list.TableSectorOffset[kRowLogical], kEbr1);
  EXPECT_EQ(list.TableSectorOffset[kRowE], kEbr2);
  EXPECT_EQ(row(kRowE)[kDriveLetterColumn], "E");
  EXPECT_EQ(row(kRowUnlettered)[kDriveLetterColumn], "");
  EXPECT_EQ(row(kRowF)[kDiskColumn], "2");
  EXPECT_EQ(list.PrimaryList.size(), 4u);
}

TEST_F(TableWriters, NothingStagedMeansNoDiskAccessAtAll) {
  // A type set back to its scanned text, and the same byte spelled in lower case, are no change.
  row(kRowC)[kTypeIdColumn] = "0C";
  row(kRowC)[kTypeIdColumn] = "07";
  row(kRowD)[kTypeIdColumn] = "0b";
  // Logical rows and containers have no active flag to write.
  row(kRowE)[kKindColumn] = "逻辑，活动";
  row(kRowContainer)[kKindColumn] = "扩展，活动";
  ChangeReport report;
  writeTypeIds(platform, list, report);
  writeActiveFlags(platform, list, report);
  EXPECT_TRUE(machine.diskLog().empty());
  EXPECT_TRUE(report.succeeded());
  EXPECT_EQ(machine.currentCursor(), Cursor::Arrow);
}

TEST_F(TableWriters, TwoPrimariesOfOneMbrAreTwoCyclesAndBothLand) {
  row(kRowC)[kTypeIdColumn] = "17";
  row(kRowD)[kTypeIdColumn] = "1b";  // either case is read as hex
  ChangeReport report;
  writeTypeIds(platform, list, report);
  EXPECT_TRUE(report.succeeded());
  EXPECT_EQ(diskAndLabelJournal(machine),
            concat({readModifyWrite(0, kMbr), readModifyWrite(0, kMbr)}));
  expectDisks(beforeWith({{0, {{typeByte(kMbr, 0), byteText(0x17)},
                               {typeByte(kMbr, 1), byteText(0x1B)}}}}));
  EXPECT_EQ(machine.openHandles(), 0u);
}

TEST_F(TableWriters, TypesLandInTheSectorHoldingTheEntry) {
  struct Case {
    Row row;
    const char* newType;
    unsigned disk;
    std::uint64_t table;
    unsigned slot;
  };
  // A logical partition in its EBR (the MBR untouched), a container in its MBR slot, a
  // partition on the second disk.
  const Case cases[] = {
      {kRowLogical, "0B", 0, kEbr1, 0},
      {kRowE, "1C", 0, kEbr2, 0},
      {kRowContainer, "0F", 0, kMbr, 2},
      {kRowF, "1C", 1, kMbr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    scan();
    row(c.row)[kTypeIdColumn] = c.newType;
    ChangeReport report;
    writeTypeIds(platform, list, report);
    EXPECT_TRUE(report.succeeded());
    EXPECT_EQ(diskAndLabelJournal(machine), readModifyWrite(c.disk, c.table));
    expectDisks(beforeWith(
        {{c.disk, {{typeByte(c.table, c.slot), byteText(static_cast<std::uint8_t>(
                                                   parseHexPrefix(c.newType)))}}}}));
  }
}

TEST_F(TableWriters, TypeTextsThatAreNotHexAreNeverWritten) {
  // "" comes from an empty type field, the others from command-line arguments; the lenient hex
  // reading would store 0x00, 0x12 or 0x00.
  for (const char* bad : {"", "G1", "0x", "123", "$0B", " 7", "\x82\xA0"}) {
    SCOPED_TRACE(bad);
    scan();
    row(kRowD)[kTypeIdColumn] = bad;
    row(kRowF)[kTypeIdColumn] = "1C";  // a later row is still written
    ChangeReport report;
    writeTypeIds(platform, list, report);
    EXPECT_THAT(report.failures,
                ::testing::ElementsAre(IsFailure(kRowD, ChangeKind::TypeId,
                                                 FailureReason::NotHexTypeId)));
    EXPECT_EQ(diskAndLabelJournal(machine), readModifyWrite(1, kMbr));
    expectDisks(beforeWith({{1, {{typeByte(kMbr, 0), byteText(0x1C)}}}}));
    machine.disk(1).setBytes(typeByte(kMbr, 0), {0x0C});
  }
}

TEST_F(TableWriters, ActiveFlagSetAndClearWriteOnlyTheBootIndicator) {
  // Making D active leaves C's 0x80 alone: two active entries are the user's choice.
  row(kRowD)[kKindColumn] = kKindPrimaryActive;
  ChangeReport report;
  writeActiveFlags(platform, list, report);
  EXPECT_TRUE(report.succeeded());
  EXPECT_EQ(diskAndLabelJournal(machine), readModifyWrite(0, kMbr));
  expectDisks(beforeWith({{0, {{bootIndicator(kMbr, 1), byteText(0x80)}}}}));

  scan();
  row(kRowC)[kKindColumn] = kKindPrimary;
  writeActiveFlags(platform, list, report);
  EXPECT_TRUE(report.succeeded());
  EXPECT_EQ(diskAndLabelJournal(machine), readModifyWrite(0, kMbr));
  expectDisks(beforeWith({{0, {{bootIndicator(kMbr, 0), byteText(0x00)}}}}));
}

TEST_F(TableWriters, MovingTheActiveFlagIsTwoCyclesOfOneMbr) {
  row(kRowC)[kKindColumn] = kKindPrimary;
  row(kRowUnlettered)[kKindColumn] = kKindPrimaryActive;
  ChangeReport report;
  writeActiveFlags(platform, list, report);
  EXPECT_TRUE(report.succeeded());
  EXPECT_EQ(diskAndLabelJournal(machine),
            concat({readModifyWrite(0, kMbr), readModifyWrite(0, kMbr)}));
  expectDisks(beforeWith({{0, {{bootIndicator(kMbr, 0), byteText(0x00)},
                               {bootIndicator(kMbr, 3), byteText(0x80)}}}}));
}

TEST_F(TableWriters, TypeAndActiveFlagOfOneEntryBothLand) {
  // The active writer reads the sector the type writer wrote; it checks only the indicator.
  row(kRowD)[kTypeIdColumn] = "1B";
  row(kRowD)[kKindColumn] = kKindPrimaryActive;
  ChangeReport report;
  writeTypeIds(platform, list, report);
  writeActiveFlags(platform, list, report);
  EXPECT_TRUE(report.succeeded());
  expectDisks(beforeWith({{0, {{bootIndicator(kMbr, 1), byteText(0x80)},
                               {typeByte(kMbr, 1), byteText(0x1B)}}}}));
}

TEST_F(TableWriters, AnIndicatorOtherThan80CountedAsInactiveCanBeSet) {
  // Entries 1 to 3 may carry any indicator; the scan showed this one as not active.
  machine.disk(0).setBytes(bootIndicator(kMbr, 1), {0x01});
  scan();
  ASSERT_EQ(row(kRowD)[kKindColumn], kKindPrimary);
  row(kRowD)[kKindColumn] = kKindPrimaryActive;
  ChangeReport report;
  writeActiveFlags(platform, list, report);
  EXPECT_TRUE(report.succeeded());
  expectDisks(beforeWith({{0, {{bootIndicator(kMbr, 1), byteText(0x80)}}}}));
}

TEST_F(TableWriters, ASectorChangedSinceTheScanIsNotWritten) {
  struct Case {
    const char* what;
    std::uint64_t offset;  // on disk 0, changed behind the scan's back
    std::uint8_t value;
    bool typeChange;       // else an active-flag change of row D
  };
  const Case cases[] = {
      {"type byte changed by another tool", typeByte(kMbr, 1), 0x1B, true},
      {"signature gone", kMbr + 0x1FE, 0x00, true},
      {"entry 0 indicator invalid", bootIndicator(kMbr, 0), 0x01, true},
      {"already made active elsewhere", bootIndicator(kMbr, 1), 0x80, false},
      {"signature gone", kMbr + 0x1FF, 0x00, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    scan();
    if (c.typeChange) {
      row(kRowD)[kTypeIdColumn] = "0C";
    } else {
      row(kRowD)[kKindColumn] = kKindPrimaryActive;
    }
    const std::uint8_t old = machine.disk(0).byte(c.offset);
    machine.disk(0).setBytes(c.offset, {c.value});
    before = disks();
    ChangeReport report;
    writeTypeIds(platform, list, report);
    writeActiveFlags(platform, list, report);
    EXPECT_THAT(report.failures,
                ::testing::ElementsAre(IsFailure(
                    kRowD, c.typeChange ? ChangeKind::TypeId : ChangeKind::ActiveFlag,
                    FailureReason::TableChanged)));
    EXPECT_EQ(diskAndLabelJournal(machine), readOnly(0, kMbr));
    expectDisksUnchanged();
    machine.disk(0).setBytes(c.offset, {old});
  }
}

TEST_F(TableWriters, StoresThatDoNotLocateAnEntryAreNotWritten) {
  // The location stores come from the scan; one that points anywhere but at an entry's type
  // byte would patch boot code or the signature.
  list.TypeByteOffset[kRowD] = 0x1FE;
  row(kRowD)[kTypeIdColumn] = "1B";
  row(kRowD)[kKindColumn] = kKindPrimaryActive;
  ChangeReport report;
  writeTypeIds(platform, list, report);
  writeActiveFlags(platform, list, report);
  EXPECT_THAT(report.failures,
              ::testing::ElementsAre(
                  IsFailure(kRowD, ChangeKind::TypeId, FailureReason::TableChanged),
                  IsFailure(kRowD, ChangeKind::ActiveFlag, FailureReason::TableChanged)));
  EXPECT_TRUE(machine.diskLog().empty());
}

}  // namespace
}  // namespace quenbolt

#include "editing/table_writers.h"

#include "editing_bench.h"
#include "model/gbk_text.h"

namespace quenbolt {
namespace {

using namespace bench;
using ::testing::ElementsAre;

class TableWriters : public EditingBench {
 protected:
  // Both passes, in the order a commit runs them.
  ChangeReport write() {
    ChangeReport report;
    writeTypeIds(platform, list, report);
    writeActiveFlags(platform, list, report);
    return report;
  }
};

TEST_F(TableWriters, NothingStagedMeansNoDiskAccessAtAll) {
  // A type set back to its scanned text, and the same byte spelled in lower case, are no change.
  row(kRowC)[kTypeIdColumn] = "0C";
  row(kRowC)[kTypeIdColumn] = "07";
  row(kRowD)[kTypeIdColumn] = "0b";
  // Logical rows and containers have no active flag to write.
  row(kRowE)[kKindColumn] = "逻辑，活动";
  row(kRowContainer)[kKindColumn] = "扩展，活动";
  EXPECT_TRUE(write().succeeded());
  EXPECT_TRUE(machine.diskLog().empty());
  EXPECT_EQ(machine.currentCursor(), Cursor::Arrow);
}

TEST_F(TableWriters, TwoPrimariesOfOneMbrAreTwoCyclesAndBothLand) {
  row(kRowC)[kTypeIdColumn] = "17";
  row(kRowD)[kTypeIdColumn] = "1b";  // either case is read as hex
  EXPECT_TRUE(write().succeeded());
  EXPECT_EQ(journal(), concat({cycle(0, kMbr), cycle(0, kMbr)}));
  expectOnly({{0, typeByte(kMbr, 0), "\x17"}, {0, typeByte(kMbr, 1), "\x1B"}});
  EXPECT_EQ(machine.openHandles(), 0u);
}

TEST_F(TableWriters, TypesLandInTheSectorHoldingTheEntry) {
  const struct {
    Row row;
    const char* newType;
    unsigned disk;
    std::uint64_t table;
    unsigned slot;
  } cases[] = {
      {kRowLogical, "0B", 0, kEbr1, 0},  // in its EBR; the MBR untouched
      {kRowE, "1C", 0, kEbr2, 0},
      {kRowContainer, "0F", 0, kMbr, 2},  // a container in its MBR slot
      {kRowF, "1C", 1, kMbr, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    scan();
    row(c.row)[kTypeIdColumn] = c.newType;
    EXPECT_TRUE(write().succeeded());
    EXPECT_EQ(journal(), cycle(c.disk, c.table));
    expectOnly({{c.disk, typeByte(c.table, c.slot), byteText(static_cast<std::uint8_t>(parseHexPrefix(c.newType)))}});
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
    EXPECT_THAT(write().failures,
                ElementsAre(IsFailure(kRowD, ChangeKind::TypeId, FailureReason::NotHexTypeId)));
    EXPECT_EQ(journal(), cycle(1, kMbr));
    expectOnly({{1, typeByte(kMbr, 0), "\x1C"}});
    machine.disk(1).setBytes(typeByte(kMbr, 0), {0x0C});
  }
}

TEST_F(TableWriters, ActiveFlagSetAndClearWriteOnlyTheBootIndicator) {
  // Entries 1 to 3 may carry any indicator; the scan shows 0x01 as not active.
  machine.disk(0).setBytes(bootIndicator(kMbr, 1), {0x01});
  scan();
  ASSERT_EQ(row(kRowD)[kKindColumn], kKindPrimary);
  // Making D active leaves C's 0x80 alone: two active entries are the user's choice.
  row(kRowD)[kKindColumn] = kKindPrimaryActive;
  EXPECT_TRUE(write().succeeded());
  EXPECT_EQ(journal(), cycle(0, kMbr));
  expectOnly({{0, bootIndicator(kMbr, 1), "\x80"}});

  // Moving the flag from C to the last primary: two cycles of one MBR.
  scan();
  row(kRowC)[kKindColumn] = kKindPrimary;
  row(kRowUnlettered)[kKindColumn] = kKindPrimaryActive;
  EXPECT_TRUE(write().succeeded());
  EXPECT_EQ(journal(), concat({cycle(0, kMbr), cycle(0, kMbr)}));
  expectOnly({{0, bootIndicator(kMbr, 0), byteText(0x00)}, {0, bootIndicator(kMbr, 3), "\x80"}});
}

TEST_F(TableWriters, TypeAndActiveFlagOfOneEntryBothLand) {
  // The active writer reads the sector the type writer wrote; it checks only the indicator.
  row(kRowD)[kTypeIdColumn] = "1B";
  row(kRowD)[kKindColumn] = kKindPrimaryActive;
  EXPECT_TRUE(write().succeeded());
  expectOnly({{0, bootIndicator(kMbr, 1), "\x80"}, {0, typeByte(kMbr, 1), "\x1B"}});
}

TEST_F(TableWriters, ASectorChangedSinceTheScanIsNotWritten) {
  const struct {
    const char* what;
    std::uint64_t offset;  // on disk 0, changed behind the scan's back
    std::uint8_t value;
    bool typeChange;  // else an active-flag change of row D
  } cases[] = {
      {"type byte changed by another tool", typeByte(kMbr, 1), 0x1B, true},
      {"signature gone", kMbr + 0x1FE, 0x00, true},
      {"entry 0 indicator invalid", bootIndicator(kMbr, 0), 0x01, true},
      {"already made active elsewhere", bootIndicator(kMbr, 1), 0x80, false},
      {"signature gone", kMbr + 0x1FF, 0x00, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    scan();
    row(kRowD)[c.typeChange ? kTypeIdColumn : kKindColumn] = c.typeChange ? "0C" : kKindPrimaryActive;
    const std::uint8_t old = machine.disk(0).byte(c.offset);
    machine.disk(0).setBytes(c.offset, {c.value});
    remember();
    EXPECT_THAT(write().failures,
                ElementsAre(IsFailure(kRowD, c.typeChange ? ChangeKind::TypeId : ChangeKind::ActiveFlag,
                                      FailureReason::TableChanged)));
    EXPECT_EQ(journal(), readOnly(0, kMbr));
    expectOnly();
    machine.disk(0).setBytes(c.offset, {old});
  }
}

TEST_F(TableWriters, StoresThatDoNotLocateAnEntryAreNotWritten) {
  // A location store pointing anywhere but at an entry's type byte would patch boot code or the
  // signature.
  list.TypeByteOffset[kRowD] = 0x1FE;
  row(kRowD)[kTypeIdColumn] = "1B";
  row(kRowD)[kKindColumn] = kKindPrimaryActive;
  EXPECT_THAT(write().failures,
              ElementsAre(IsFailure(kRowD, ChangeKind::TypeId, FailureReason::TableChanged),
                          IsFailure(kRowD, ChangeKind::ActiveFlag, FailureReason::TableChanged)));
  EXPECT_TRUE(machine.diskLog().empty());
}

TEST_F(TableWriters, GptRowsAndTypeEeAreRefusedBeforeAnyDiskAccess) {
  // Disk 1's only entry becomes EE with no GPT behind it: an MBR row of type EE.
  machine.disk(1).setBytes(typeByte(kMbr, 0), {0xEE});
  scan();
  ASSERT_EQ(list.ScannedTypeId[kRowF], "EE");
  row(kRowF)[kTypeIdColumn] = "0C";
  row(kRowC)[kTypeIdColumn] = "ee";
  // Row D taken for a GPT entry; it keeps its PrimaryRecord so that the flag writer meets it too.
  list.GptList.push_back(GptRecord{kRowD, 0, 2, false});
  row(kRowD)[kTypeIdColumn] = "0C";
  row(kRowD)[kKindColumn] = kKindPrimaryActive;
  EXPECT_THAT(write().failures,
              ElementsAre(IsFailure(kRowC, ChangeKind::TypeId, FailureReason::ProtectiveType),
                          IsFailure(kRowD, ChangeKind::TypeId, FailureReason::GptEntry),
                          IsFailure(kRowF, ChangeKind::TypeId, FailureReason::ProtectiveType),
                          IsFailure(kRowD, ChangeKind::ActiveFlag, FailureReason::GptEntry)));
  EXPECT_TRUE(machine.diskLog().empty());
}

}  // namespace
}  // namespace quenbolt

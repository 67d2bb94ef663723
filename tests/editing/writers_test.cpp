// The type, active-flag and boot-sector label writers on the standard machine: each change is one
// read-modify-write of exactly its bytes, through the device Windows lets write there.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "editing/boot_sector_label_writer.h"
#include "editing/table_writers.h"
#include "support/standard_machine.h"

namespace quenbolt {
namespace {

using namespace standard;
using Lines = std::vector<std::string>;

MATCHER_P3(IsFailure, row, kind, reason, "") {
  return arg.row == static_cast<std::size_t>(row) && arg.kind == kind && arg.reason == reason;
}

class Writers : public testing::Test, public Bench {
 protected:
  ChangeReport writeTables() {
    ChangeReport report;
    writeTypeIds(platform, list, report);
    writeActiveFlags(platform, list, report);
    return report;
  }
  ChangeReport writeLabel(std::size_t row, const std::string& label) {
    ChangeReport report;
    writeBootSectorLabel(platform, list, row, label, report);
    return report;
  }
  std::string& cell(std::size_t row, Column c) { return list.rows[row][c]; }
};

TEST_F(Writers, NothingStagedTouchesNoDisk) {
  cell(rowD, kTypeIdColumn) = "0C";       // as scanned
  cell(rowF, kTypeIdColumn) = "0b";       // the same byte in lower case
  cell(rowE, kKindColumn) = "逻辑，活动";  // logicals and containers have no flag to write
  cell(rowExtended, kKindColumn) = "扩展，活动";
  EXPECT_TRUE(writeTables().succeeded());
  EXPECT_TRUE(machine.log.empty());
}

TEST_F(Writers, ATypeLandsInTheSectorHoldingItsEntryAndNothingElseChanges) {
  const struct { Row row; const char* type; unsigned disk; std::uint64_t table; unsigned slot; const char* byte; } cases[] = {
      {rowE, "0b", 0, kEbr1, 0, "\x0B"}, {rowF, "1C", 0, kEbr2, 0, "\x1C"}, {rowExtended, "5", 0, 0, 1, "\x05"},
      {rowI, "17", 0, 0, 3, "\x17"},     {rowG, "1c", 1, 0, 0, "\x1C"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    Bench fresh;
    fresh.list.rows[c.row][kTypeIdColumn] = c.type;
    ChangeReport report;
    writeTypeIds(fresh.platform, fresh.list, report);
    EXPECT_TRUE(report.succeeded());
    EXPECT_EQ(fresh.machine.log, cycle(std::to_string(c.disk), c.table));
    EXPECT_EQ(fresh.unexpectedBytes({{c.disk, typeAt(c.table, c.slot), c.byte}}), "");
    EXPECT_EQ(report.tablesWritten, std::set<unsigned>{c.disk});
    EXPECT_EQ(fresh.machine.cursor, Cursor::Arrow);
  }
}

TEST_F(Writers, ActiveFlagsAreSetAndClearedInTheBootIndicatorAloneAlongsideATypeChange) {
  cell(rowD, kKindColumn) = kKindPrimary;
  cell(rowH, kKindColumn) = kKindPrimaryActive;
  cell(rowH, kTypeIdColumn) = "0C";
  EXPECT_TRUE(writeTables().succeeded());
  EXPECT_EQ(machine.log, cycle("0", 0) + cycle("0", 0) + cycle("0", 0));
  EXPECT_EQ(unexpectedBytes({{0, bootAt(0, 0), std::string(1, '\0')}, {0, typeAt(0, 2), "\x0C"}, {0, bootAt(0, 2), "\x80"}}), "");
}

TEST_F(Writers, TypeTextsThatAreNoHexByteAreNeverWritten) {
  for (const char* bad : {"", "G1", "0x", "123", "$0B", " 7", "\x82\xA0"}) {
    SCOPED_TRACE(bad);
    Bench fresh;
    fresh.list.rows[rowI][kTypeIdColumn] = bad;
    fresh.list.rows[rowG][kTypeIdColumn] = "1C";  // a later row is still written
    ChangeReport report;
    writeTypeIds(fresh.platform, fresh.list, report);
    EXPECT_THAT(report.failures, testing::ElementsAre(IsFailure(rowI, ChangeKind::TypeId, FailureReason::NotHexTypeId)));
    EXPECT_EQ(fresh.unexpectedBytes({{1, typeAt(0, 0), "\x1C"}}), "");
  }
}

// The scan knew the sector; if it changed since, the change was planned against something else.
TEST_F(Writers, ASectorChangedSinceTheScanIsReadButNotWritten) {
  const struct { const char* what; std::uint64_t offset; char value; bool type; } cases[] = {
      {"type byte changed by another tool", typeAt(0, 3), 0x1B, true},
      {"signature gone", 0x1FE, 0x00, true},
      {"entry 0's indicator invalid", bootAt(0, 0), 0x01, true},
      {"made active by another tool", bootAt(0, 3), static_cast<char>(0x80), false},
      {"signature gone", 0x1FF, 0x00, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bench fresh;
    fresh.list.rows[rowI][c.type ? kTypeIdColumn : kKindColumn] = c.type ? "0C" : kKindPrimaryActive;
    fresh.machine.disks[0].put(c.offset, std::string(1, c.value));
    fresh.before = fresh.machine.contents();
    ChangeReport report;
    writeTypeIds(fresh.platform, fresh.list, report);
    writeActiveFlags(fresh.platform, fresh.list, report);
    EXPECT_THAT(report.failures, testing::ElementsAre(IsFailure(
                                     rowI, c.type ? ChangeKind::TypeId : ChangeKind::ActiveFlag, FailureReason::TableChanged)));
    EXPECT_EQ(fresh.machine.log, cycle("0", 0, "512", ""));
    EXPECT_EQ(fresh.unexpectedBytes({}), "");
  }
}

TEST_F(Writers, StoresThatLocateNoEntryGptRowsAndTypeEeAreRefusedBeforeAnyDiskAccess) {
  list.TypeByteOffset[rowI] = 0x1FE;  // would patch the signature
  cell(rowI, kTypeIdColumn) = "1B";
  cell(rowI, kKindColumn) = kKindPrimaryActive;
  cell(rowD, kTypeIdColumn) = "ee";
  list.GptList.push_back(GptRecord{rowH, 0, 2, false});  // row H taken for a GPT entry
  cell(rowH, kTypeIdColumn) = "0B";
  cell(rowH, kKindColumn) = kKindPrimaryActive;
  list.ScannedTypeId[rowG] = "EE";  // an MBR entry of type EE
  cell(rowG, kTypeIdColumn) = "07";
  EXPECT_THAT(writeTables().failures,
              testing::ElementsAre(IsFailure(rowD, ChangeKind::TypeId, FailureReason::ProtectiveType),
                                   IsFailure(rowH, ChangeKind::TypeId, FailureReason::GptEntry),
                                   IsFailure(rowI, ChangeKind::TypeId, FailureReason::TableChanged),
                                   IsFailure(rowG, ChangeKind::TypeId, FailureReason::ProtectiveType),
                                   IsFailure(rowH, ChangeKind::ActiveFlag, FailureReason::GptEntry),
                                   IsFailure(rowI, ChangeKind::ActiveFlag, FailureReason::TableChanged)));
  EXPECT_TRUE(machine.log.empty());
}

// 11 bytes at 0x47, cut without halving a character, blank-padded, upper-cased; a mounted volume
// through its own handle (Windows refuses the disk's), its backup boot sector too.
TEST_F(Writers, ABootSectorLabelIsElevenUpperCaseBytesInTheBootSectorAndItsBackup) {
  const std::pair<const char*, const char*> labels[] = {
      {"data", "DATA       "}, {"", "           "}, {"Fifteen-bytes!!", "FIFTEEN-BYT"}, {"数据d", "数据D      "},
      {"ABCDEFGHIJ卷", "ABCDEFGHIJ "}, {"ab数据卷标五", "AB数据卷标 "}};
  for (const auto& [label, stored] : labels) {
    SCOPED_TRACE(label);
    Bench fresh;
    ChangeReport report;
    writeBootSectorLabel(fresh.platform, fresh.list, rowD, label, report);
    EXPECT_TRUE(report.succeeded());
    EXPECT_EQ(fresh.machine.log, cycle("D:", kBootD) + cycle("D:", kBootD + 6 * 512));
    EXPECT_EQ(fresh.unexpectedBytes({{0, kBootD + 0x47, stored}, {0, kBootD + 6 * 512 + 0x47, stored}}), "");
  }
  // Without a letter there is no mounted volume in the way: through the disk.
  machine.defined.clear();
  cell(rowH, kDriveLetterColumn) = "";
  EXPECT_TRUE(writeLabel(rowH, "hidden2").succeeded());
  EXPECT_EQ(machine.log, cycle("0", kBootH));
  EXPECT_EQ(unexpectedBytes({{0, kBootH + 0x47, "HIDDEN2    "}}), "");
}

Sector bootSector(unsigned bytesPerSector, unsigned reserved, unsigned backup) {
  Sector s = fat32Boot("OLD", backup);
  place(s, 0x0B, le(bytesPerSector, 2));
  place(s, 0x0E, le(reserved, 2));
  return s;
}

TEST_F(Writers, TheBackupIsWrittenOnlyWhereTheReservedAreaHoldsOneAndOnlyFat32Of512BytesAtAll) {
  const std::uint64_t six = kBootD + 6 * 512;
  const std::string label = "NEW        ";
  const struct { const char* what; Sector boot, atSix; Lines log; std::vector<ByteChange> changes; Lines failures; } cases[] = {
      {"no backup (0)", bootSector(512, 32, 0), bootSector(512, 32, 0), cycle("D:", kBootD), {{0, kBootD + 0x47, label}}, {}},
      {"no backup (FFFF)", bootSector(512, 32, 0xFFFF), bootSector(512, 32, 6), cycle("D:", kBootD), {{0, kBootD + 0x47, label}}, {}},
      {"sector 6 of 6 reserved is data", bootSector(512, 6, 6), bootSector(512, 6, 6), cycle("D:", kBootD), {{0, kBootD + 0x47, label}}, {}},
      {"a backup that is no boot sector", bootSector(512, 32, 6), Sector{}, cycle("D:", kBootD) + cycle("D:", six, "512", ""),
       {{0, kBootD + 0x47, label}}, {"backup NotFat32"}},
      {"4096-byte sectors", bootSector(4096, 32, 6), bootSector(4096, 32, 6), cycle("D:", kBootD, "512", ""), {}, {"boot 4096"}},
      {"lower-case fat32", [] { Sector s = bootSector(512, 32, 0); place(s, 0x52, "fat32"); return s; }(), Sector{},
       cycle("D:", kBootD), {{0, kBootD + 0x47, label}}, {}},
      {"NTFS: nothing of ours, nothing reported", ntfsBoot(), Sector{}, cycle("D:", kBootD, "512", ""), {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bench fresh;
    fresh.machine.disks[0].put(kBootD, c.boot);
    fresh.machine.disks[0].put(six, c.atSix);
    fresh.before = fresh.machine.contents();
    ChangeReport report;
    writeBootSectorLabel(fresh.platform, fresh.list, rowD, "new", report);
    Lines failures;
    for (const ChangeFailure& f : report.failures) {
      failures.push_back(f.kind == ChangeKind::BackupBootSectorLabel && f.reason == FailureReason::NotFat32 ? "backup NotFat32"
                         : f.kind == ChangeKind::BootSectorLabel && f.reason == FailureReason::SectorSizeNot512 ? "boot 4096" : "other");
    }
    EXPECT_EQ(failures, c.failures);
    EXPECT_EQ(fresh.machine.log, c.log);
    EXPECT_EQ(fresh.unexpectedBytes(c.changes), "");
  }
  // A boot sector that could not be written keeps its backup as it is too; an offset text the
  // scan never writes is never read leniently as some other sector.
  machine.disks[0].faults = {{FaultOn::Write, kBootD}};
  EXPECT_THAT(writeLabel(rowD, "new").failures, testing::ElementsAre(IsFailure(rowD, ChangeKind::BootSectorLabel, FailureReason::WriteFailed)));
  machine.log.clear();
  list.BootSectorOffsetText[rowD] = "00000000ZZZZ";
  EXPECT_THAT(writeLabel(rowD, "new").failures, testing::ElementsAre(IsFailure(rowD, ChangeKind::BootSectorLabel, FailureReason::ReadFailed)));
  EXPECT_TRUE(machine.log.empty());
  EXPECT_EQ(unexpectedBytes({}), "");
}

TEST_F(Writers, TheBootLabelBoxReloadsFat32LabelsFromTheBootSectorOrTheVolumeAndDropsStagedOnes) {
  machine.disks[0].put(kBootD, fat32Boot("Boot D"));
  cell(rowE, kLabelColumn) = "STAGED";  // not a FAT32 label type: kept
  cell(rowF, kLabelColumn) = "STAGED";
  refreshBootLabels(platform, list, true);
  Lines labels;
  for (const PartitionRow& row : list.rows) labels.push_back(row[kLabelColumn]);
  EXPECT_EQ(labels, (Lines{"Boot D", "", "STAGED", "LOGIC", "HIDDEN", "", "SPARE"}));
  EXPECT_EQ(list.ScannedLabel, labels);
  machine.letters['D'].label = "Vol D";
  cell(rowH, kDriveLetterColumn) = "";
  refreshBootLabels(platform, list, false);
  EXPECT_EQ(list.rows[rowD][kLabelColumn], "Vol D");
  EXPECT_EQ(list.rows[rowH][kLabelColumn], "") << "no letter, no volume to ask";
  EXPECT_EQ(list.ScannedLabel[rowD], "Vol D");
  EXPECT_TRUE(machine.logged("write ").empty());
}

}  // namespace
}  // namespace quenbolt

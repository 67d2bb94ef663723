#include "editing/boot_sector_label_writer.h"

#include "editing_bench.h"

namespace quenbolt {
namespace {

using namespace bench;

class BootSectorLabelWriter : public EditingBench {
 protected:
  ChangeReport write(Row r, const std::string& label) {
    ChangeReport report;
    writeBootSectorLabel(platform, list, r, label, report);
    return report;
  }
};

TEST_F(BootSectorLabelWriter, StoresElevenUpperCaseBlankPaddedBytesAt47) {
  // A mounted volume (a row with a letter) is written through its own handle, since Windows
  // refuses a write through the disk into it; a partition without a letter through the disk.
  const std::vector<std::string> throughD = bootCycle('D');
  const struct {
    Row row;
    std::uint64_t boot;
    const char* label;
    const char* stored;
    std::vector<std::string> journal;
  } cases[] = {
      {kRowD, kBootD, "data", "DATA       ", throughD},
      {kRowD, kBootD, "", "           ", throughD},
      {kRowD, kBootD, "Fifteen-bytes!!", "FIFTEEN-BYT", throughD},
      {kRowD, kBootD, "ELEVENBYTES", "ELEVENBYTES", throughD},
      // Double-byte characters keep both bytes as they are; only a to z change.
      {kRowD, kBootD, "数据d", "数据D      ", throughD},
      // The 11th byte would be the lead byte of 卷: cut before it, pad with a blank.
      {kRowD, kBootD, "ABCDEFGHIJ卷", "ABCDEFGHIJ ", throughD},
      {kRowD, kBootD, "ab数据卷标五", "AB数据卷标 ", throughD},
      // A logical partition's boot sector, on the volume of its letter.
      {kRowE, kBootE, "logic2", "LOGIC2     ", bootCycle('E')},
      {kRowUnlettered, kBootHidden, "hidden2", "HIDDEN2    ", cycle(0, kBootHidden)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    scan();
    EXPECT_TRUE(write(c.row, c.label).succeeded());
    EXPECT_EQ(journal(), c.journal);
    expectOnly({{0, c.boot + 0x47, c.stored}});
  }
}

// The FAT32 boot sector of D with BPB_BytsPerSec, BPB_RsvdSecCnt and BPB_BkBootSec as given.
Sector bootSectorOfD(unsigned bytesPerSector, unsigned reserved, unsigned backup) {
  Sector sector = fat32BootSector("OLD");
  for (auto [at, value] : {std::pair<std::size_t, unsigned>{0x0B, bytesPerSector}, {0x0E, reserved}, {0x32, backup}}) {
    sector[at] = static_cast<std::uint8_t>(value);
    sector[at + 1] = static_cast<std::uint8_t>(value >> 8);
  }
  return sector;
}

TEST_F(BootSectorLabelWriter, KeepsTheBackupBootSectorOfTheReservedAreaInStep) {
  const std::uint64_t six = 6 * kSector;
  const struct {
    const char* name;
    Sector boot;
    Sector atSix;  // what lies in sector 6 of the volume
    std::vector<std::string> journal;
    std::vector<ByteChange> changes;
    std::vector<ChangeFailure> failures;
  } cases[] = {
      {"backup in sector 6", bootSectorOfD(512, 32, 6), bootSectorOfD(512, 32, 6),
       concat({bootCycle('D'), deviceCycle("D:", six)}),
       {{0, kBootD + 0x47, "NEW        "}, {0, kBootD + six + 0x47, "NEW        "}}, {}},
      {"no backup (0)", bootSectorOfD(512, 32, 0), bootSectorOfD(512, 32, 0), bootCycle('D'),
       {{0, kBootD + 0x47, "NEW        "}}, {}},
      {"no backup (FFFF)", bootSectorOfD(512, 32, 0xFFFF), bootSectorOfD(512, 32, 6), bootCycle('D'),
       {{0, kBootD + 0x47, "NEW        "}}, {}},
      // Sector 6 of a volume with 6 reserved sectors is file system data already.
      {"backup beyond the reserved area", bootSectorOfD(512, 6, 6), bootSectorOfD(512, 6, 6),
       bootCycle('D'), {{0, kBootD + 0x47, "NEW        "}}, {}},
      {"backup that is no boot sector", bootSectorOfD(512, 32, 6), Sector{},
       concat({bootCycle('D'), deviceCycle("D:", six, "512", "")}), {{0, kBootD + 0x47, "NEW        "}},
       {{kRowD, ChangeKind::BackupBootSectorLabel, FailureReason::NotFat32}}},
      // The program's sectors are 512 bytes: a FAT32 boot sector that counts others is left alone.
      {"4096-byte sectors", bootSectorOfD(4096, 32, 6), bootSectorOfD(4096, 32, 6), bootCycle('D', ""), {},
       {{kRowD, ChangeKind::BootSectorLabel, FailureReason::SectorSizeNot512}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    machine.disk(0).setSector(kBootD, c.boot);
    machine.disk(0).setSector(kBootD + six, c.atSix);
    remember();
    machine.clearLogs();
    const ChangeReport report = write(kRowD, "new");
    ASSERT_EQ(report.failures.size(), c.failures.size());
    for (std::size_t i = 0; i < c.failures.size(); ++i) {
      EXPECT_THAT(report.failures[i], IsFailure(c.failures[i].row, c.failures[i].kind, c.failures[i].reason));
    }
    EXPECT_EQ(journal(), c.journal);
    expectOnly(c.changes);
  }
  // A boot sector that could not be written keeps its backup as it is too.
  machine.disk(0).setSector(kBootD, bootSectorOfD(512, 32, 6));
  remember();
  machine.disk(0).failWrite(kBootD);
  EXPECT_THAT(write(kRowD, "new").failures,
              ::testing::ElementsAre(IsFailure(kRowD, ChangeKind::BootSectorLabel, FailureReason::WriteFailed)));
  expectOnly();
}

TEST_F(BootSectorLabelWriter, WritesOnlyFat32BootSectorsWhateverTheCaseOfTheirTypeField) {
  machine.disk(0).setBytes(kBootD + 0x52, {'f', 'a', 't', '3', '2'});
  remember();
  EXPECT_TRUE(write(kRowD, "x").succeeded());
  expectOnly({{0, kBootD + 0x47, "X          "}});
  // FAT16 keeps its label at 0x2B, NTFS has none at 0x47 at all: writing there would damage
  // the file system. Nothing is recorded: the system's own label call is what sets the label.
  for (const Sector& other : {fat16BootSector("OLD"), ntfsBootSector(), Sector{}}) {
    machine.disk(0).setSector(kBootD, other);
    remember();
    machine.clearLogs();
    EXPECT_TRUE(write(kRowD, "NEW").succeeded());
    EXPECT_EQ(journal(), bootCycle('D', ""));
    expectOnly();
  }
}

TEST_F(BootSectorLabelWriter, AnOffsetTextItCannotReadIsNeverGuessed) {
  // The lenient hex rule would read "00000000ZZZZ" as offset 0: the MBR.
  for (const char* text : {"00000000ZZZZ", "", "7E00", "0000 0007E00"}) {
    SCOPED_TRACE(text);
    list.BootSectorOffsetText[kRowD] = text;
    EXPECT_THAT(write(kRowD, "NEW").failures,
                ::testing::ElementsAre(IsFailure(kRowD, ChangeKind::BootSectorLabel, FailureReason::ReadFailed)));
    EXPECT_TRUE(machine.diskLog().empty());
  }
}

using RefreshBootLabels = EditingBench;

TEST_F(RefreshBootLabels, CheckedReadsBootSectorsUncheckedTheVolumesAndEitherTakesANewBaseline) {
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
  for (std::size_t r = 0; r < list.size(); ++r) EXPECT_EQ(list.ScannedLabel[r], list.rows[r][kLabelColumn]) << r;

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

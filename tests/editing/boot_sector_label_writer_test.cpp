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
  const struct {
    Row row;
    std::uint64_t boot;
    const char* label;
    const char* stored;
  } cases[] = {
      {kRowD, kBootD, "data", "DATA       "},
      {kRowD, kBootD, "", "           "},
      {kRowD, kBootD, "Fifteen-bytes!!", "FIFTEEN-BYT"},
      {kRowD, kBootD, "ELEVENBYTES", "ELEVENBYTES"},
      // Double-byte characters keep both bytes as they are; only a to z change.
      {kRowD, kBootD, "数据d", "数据D      "},
      // The 11th byte would be the lead byte of 卷: cut before it, pad with a blank.
      {kRowD, kBootD, "ABCDEFGHIJ卷", "ABCDEFGHIJ "},
      {kRowD, kBootD, "ab数据卷标五", "AB数据卷标 "},
      // A logical partition's boot sector, found from its offset text.
      {kRowE, kBootE, "logic2", "LOGIC2     "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    scan();
    EXPECT_TRUE(write(c.row, c.label).succeeded());
    EXPECT_EQ(journal(), cycle(0, c.boot));
    expectOnly({{0, c.boot + 0x47, c.stored}});
  }
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
    EXPECT_EQ(journal(), readOnly(0, kBootD));
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

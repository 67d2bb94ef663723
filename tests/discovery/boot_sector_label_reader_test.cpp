#include "discovery/boot_sector_label_reader.h"

#include <cstring>

#include "discovery_fixture.h"
#include "model/gbk_text.h"

namespace quenbolt {
namespace {

class BootLabelReaderTest : public DiscoveryTest {
 protected:
  // One 1C row on disk `disk` (0-based) whose partition starts at `offset`.
  void addRow(unsigned disk, std::uint64_t offset) {
    list.rows.emplace_back();
    list.rows.back()[kDiskColumn] = std::to_string(disk + 1);
    list.rows.back()[kTypeIdColumn] = "1C";
    list.BootSectorOffsetText.push_back(offsetText(offset));
  }
  std::string read() { return readBootSectorLabel(platform, list, 0); }
};

TEST_F(BootLabelReaderTest, ReadsTheRowsDiskAtTheFullOffsetAndReturnsTheLabelTrimmed) {
  const std::uint64_t offset = 0x100007C00;
  addDisk(0);
  Sector boot = fat32BootSector("");
  std::memcpy(&boot[0x47], "My Data\0\0\0\0", 11);  // NUL padding instead of blanks
  std::memcpy(&boot[0x52], "fat32", 5);            // case does not matter
  addDisk(1).setSector(offset, boot);
  addRow(1, offset);
  EXPECT_EQ(read(), "My Data");
  EXPECT_EQ(machine.journal(), strings({"open 1 read ok", "read 1 0x100007C00 512", "close 1"}));
}

TEST_F(BootLabelReaderTest, AnythingButAReadableFat32SectorGivesNoLabel) {
  SimulatedDisk& disk = addDisk(0);
  addRow(0, 0x100000);
  for (const Sector& other : {fat16BootSector("FAT16 LABEL"), ntfsBootSector()}) {
    disk.setSector(0x100000, other);
    EXPECT_EQ(read(), "");
  }
  disk.setSector(0x100000, fat32BootSector("GONE"));
  disk.failRead(0x100000);
  EXPECT_EQ(read(), "");
  disk.clearFaults();
  disk.shortRead(0x100000, 0x60);  // the label bytes that did arrive must not get through
  EXPECT_EQ(read(), "");
  disk.clearFaults();
  EXPECT_EQ(read(), "GONE");
  // An offset text the scan never writes is not read leniently as some other sector.
  disk.setSector(0, fat32BootSector("NOT HERE"));
  list.BootSectorOffsetText[0] = "00000000ZZZZ";
  EXPECT_EQ(read(), "");
  EXPECT_TRUE(machine.statusTexts().empty());
  EXPECT_EQ(machine.openHandles(), 0u);
}

TEST_F(BootLabelReaderTest, ADiskThatCannotBeOpenedIsReportedAndGivesElevenBlanks) {
  addDisk(0).failOpen();
  addRow(0, 0x100000);
  EXPECT_EQ(read(), std::string(11, ' '));
  EXPECT_EQ(machine.statusTexts(), strings({"打开磁盘失败"}));
  EXPECT_TRUE(machine.diskLog(DiskOp::Read).empty());
}

}  // namespace
}  // namespace quenbolt

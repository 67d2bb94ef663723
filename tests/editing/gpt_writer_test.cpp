// The GPT writer on a table laid out field by field: disk 1 holds basic data in entry 0, a
// recovery partition in entry 1, basic data in entry 2 and, after an empty entry, Linux data in
// entry 4 (partitions 1 to 4 of the list); disk 2 is an MBR disk. Every change must land in both
// copies with their CRCs, in the order backup array, backup header, primary array, primary header,
// and a table whose copies are not one table must not be written at all.

#include <gtest/gtest.h>

#include <functional>

#include "discovery/startup_scan.h"
#include "editing/apply_changes.h"
#include "model/gpt_table.h"
#include "support/gpt_disk.h"

namespace quenbolt {
namespace {
using Lines = std::vector<std::string>;

constexpr std::uint64_t kSectors = 2097152;  // 1 GiB
const GptPlaces kAt = gptPlaces(kSectors);
constexpr std::uint64_t kRecoveryAttributes = 0x8000000000000001;

// The two disks, scanned as start-up scans them.
struct GptMachine {
  explicit GptMachine(unsigned entryCount = 128) : at(gptPlaces(kSectors, entryCount)) {
    putGpt(machine.addDisk(0, kSectors * 512),
           {{0, kBasicData, 2048, 206847},
            {1, kRecovery, 206848, 411647, kRecoveryAttributes},
            {2, kBasicData, 411648, 616447},
            {4, kLinuxData, 616448, 821247}},
           entryCount);
    machine.addDisk(1, 64 << 20).put(0, table({{0, 0, 0x07, 2048, 8192}}));
  }
  // Scans as start-up does, stages `edit`, lets `damage` change the disks, then commits.
  ChangeReport run(const std::function<void(PartitionList&)>& edit,
                   void (*damage)(SimulatedMachine&) = nullptr) {
    scanWithTemporaryLetters(platform, TypeCatalogue(), list, letters);
    edit(list);
    if (damage) damage(machine);
    before = machine.disks[0];
    machine.log.clear();
    return applyChanges(platform, list);
  }
  Lines failures(const ChangeReport& report) const {
    Lines lines;
    for (const ChangeFailure& f : report.failures) lines.push_back(describeFailure(list, f));
    return lines;
  }
  // Both copies sound and one table; `problem` names what is not.
  std::string bothCopies() const {
    const GptCopyOnDisk primary = gptCopyAt(machine.disks.at(0), 1);
    const GptCopyOnDisk backup = gptCopyAt(machine.disks.at(0), at.backupHeader);
    if (!primary.problem.empty()) return "primary: " + primary.problem;
    if (!backup.problem.empty()) return "backup: " + backup.problem;
    if (primary.alternate != at.backupHeader || backup.alternate != 1)
      return "copies that do not name each other";
    if (primary.headerFields != backup.headerFields || primary.array != backup.array)
      return "copies that differ";
    return "";
  }
  std::string array() const { return gptCopyAt(machine.disks.at(0), 1).array; }
  std::string arrayBefore() const { return gptCopyAt(before, 1).array; }
  Lines writes() const { return machine.logged("write "); }

  GptPlaces at;
  SimulatedMachine machine;
  Platform platform = machine.platform();
  PartitionList list;
  TempLetterList letters;
  SimulatedDisk before;
};

class GptWriter : public testing::Test, protected GptMachine {};

std::string writeAt(std::uint64_t lba) { return "0 " + hexText(lba * 512) + " 512"; }

// Stages a type for row `row` (0-based) of the list, as the commands and the window do.
std::function<void(PartitionList&)> type(std::size_t row, const char* guid) {
  return [row, guid](PartitionList& list) {
    Guid bytes{};
    const std::string text = guidBytes(guid);
    std::copy(text.begin(), text.end(), bytes.begin());
    list.stageGptType(*list.gptRecordOf(row), bytes);
  };
}

const auto recoveryToBasicData = type(1, kBasicData);

// One entry changed: the sector holding it in each array, and each header: the entry's type and
// the four CRC fields are all that change, in the order that always leaves one intact copy.
TEST_F(GptWriter, ATypeChangesInBothCopiesWithTheirCrcsInFourWritesBackupFirst) {
  EXPECT_TRUE(run(recoveryToBasicData).succeeded());
  EXPECT_EQ(writes(),
            (Lines{writeAt(kAt.backupArray), writeAt(kAt.backupHeader), writeAt(2), writeAt(1)}));
  EXPECT_EQ(bothCopies(), "");
  EXPECT_EQ(entryType(array(), 1), guidBytes(kBasicData));
  EXPECT_EQ(entryAttributes(array(), 1), kRecoveryAttributes) << "the attributes stay";
  for (const auto& [disk, offset] :
       differingBytes({{0, before.sectors}}, {{0, machine.disks[0].sectors}})) {
    const std::uint64_t sector = offset / 512, at = offset % 512;
    const bool entry = (sector == 2 || sector == kAt.backupArray) && at >= 128 && at < 128 + 16;
    const bool crc = (sector == 1 || sector == kAt.backupHeader) &&
                     ((at >= 16 && at < 20) || (at >= 88 && at < 92));
    EXPECT_TRUE(disk == 0 && (entry || crc)) << "disk " << disk << " byte " << hexText(offset);
  }
  EXPECT_EQ(machine.logged("reread "), Lines{"0 ok"});
  // Both copies read in full to check them, each written sector read again, both read back.
  EXPECT_EQ(machine.logged("read 0 ").size(), 2 * (2 + 2 * kAt.arraySectors) + 4);
}

// Several entries of a disk are one pass: each header is written once.
TEST_F(GptWriter, SeveralChangesOfOneDiskAreOnePass) {
  EXPECT_TRUE(run([](PartitionList& list) {
                type(0, kLinuxData)(list);
                type(2, kLinuxData)(list);
              }).succeeded());
  EXPECT_EQ(writes(),
            (Lines{writeAt(kAt.backupArray), writeAt(kAt.backupHeader), writeAt(2), writeAt(1)}));
  EXPECT_EQ(bothCopies(), "");
  const std::string linux = guidBytes(kLinuxData);
  EXPECT_EQ(entryType(array(), 0) + entryType(array(), 1) + entryType(array(), 2),
            linux + guidBytes(kRecovery) + linux);
  EXPECT_EQ(machine.logged("open 1 readwrite"), Lines{}) << "MBR disks are not touched";
}

// An array of 9 entries fills a third of its last sector: its CRC covers the entries alone, and
// what follows them in that sector is each copy's own.
TEST(GptWriterOddArray, TheArrayCrcCoversTheEntriesNotTheSectorsPadding) {
  GptMachine m(9);
  m.machine.disks[0].put((m.at.backupArray + 2) * 512 + 200, "padding");
  EXPECT_TRUE(m.run([](PartitionList& list) { type(3, kBasicData)(list); }).succeeded());
  EXPECT_EQ(m.bothCopies(), "");
  EXPECT_EQ(m.machine.disks[0].bytes((m.at.backupArray + 2) * 512 + 200, 7), "padding");
}

TEST_F(GptWriter, AttributesChangeInTheEntrySectorThatHoldsThem) {
  EXPECT_TRUE(run([](PartitionList& list) {
                list.stageGptAttributes(*list.gptRecordOf(3), kRecoveryAttributes);
              }).succeeded());
  EXPECT_EQ(writes(), (Lines{writeAt(kAt.backupArray + 1), writeAt(kAt.backupHeader), writeAt(3),
                             writeAt(1)}));
  EXPECT_EQ(bothCopies(), "");
  EXPECT_EQ(entryAttributes(array(), 4), kRecoveryAttributes);
  EXPECT_EQ(entryType(array(), 4), guidBytes(kLinuxData));
  EXPECT_EQ(array().substr(0, 4 * 128), arrayBefore().substr(0, 4 * 128));
}

// Before anything is written both copies must be sound, one table, and what the scan read.
TEST_F(GptWriter, ATableWhoseCopiesAreNotOneTableIsNotWritten) {
  const std::pair<std::string, void (*)(SimulatedMachine&)> cases[] = {
      {"备份 GPT 已损坏",
       [](SimulatedMachine& m) { m.disks[0].put(kAt.backupHeader * 512 + 0x40, "\xFF"); }},
      {"GPT 主表与备份表不一致",  // another backup array, resealed as a tool would
       [](SimulatedMachine& m) {
         SimulatedDisk other = m.disks[0];
         putGpt(other, {{0, kBasicData, 2048, 206847}});
         for (std::uint64_t s = kAt.backupArray; s <= kAt.backupHeader; ++s)
           m.disks[0].put(s * 512, other.sector(s * 512));
       }},
      {"GPT 主表与备份表不一致",  // a backup header of another disk GUID, resealed
       [](SimulatedMachine& m) {
         Sector header = m.disks[0].sector(kAt.backupHeader * 512);
         header[56] ^= 1;
         sealGptHeader(header, gptCrcOfArray(m.disks[0], kAt.backupArray));
         m.disks[0].put(kAt.backupHeader * 512, header);
       }},
      {"GPT 主表与备份表不一致",  // a backup header naming another primary, resealed
       [](SimulatedMachine& m) {
         Sector header = m.disks[0].sector(kAt.backupHeader * 512);
         place(header, kGptAlternateLbaField, le(5, 8));
         sealGptHeader(header, gptCrcOfArray(m.disks[0], kAt.backupArray));
         m.disks[0].put(kAt.backupHeader * 512, header);
       }},
      {"GPT 已与扫描时不同",
       [](SimulatedMachine& m) {
         putGpt(m.disks[0], {{1, kLinuxData, 206848, 411647}});
       }},
      {"读取备份 GPT 失败",
       [](SimulatedMachine& m) {
         m.disks[0].faults = {{FaultOn::Read, kAt.backupHeader * 512}};
       }},
      {"读取主 GPT 失败",
       [](SimulatedMachine& m) {
         m.disks[0].faults = {{FaultOn::Read, 3 * 512, 200}};
       }},
      {"打开磁盘失败",
       [](SimulatedMachine& m) { m.disks[0].faults = {{FaultOn::OpenForWriting}}; }}};
  for (const auto& [reason, damage] : cases) {
    GptMachine m;
    EXPECT_EQ(m.failures(m.run(recoveryToBasicData, damage)),
              Lines{"磁盘 1 分区 2：GPT 分区项 未写入（" + reason + "）"});
    EXPECT_TRUE(m.writes().empty()) << reason;
  }
  // A primary the scan could not trust: the rows come from the backup, and nothing is written.
  machine.disks[0].put(512 + 0x40, "\xFF");
  EXPECT_EQ(failures(run(recoveryToBasicData)),
            Lines{"磁盘 1 分区 2：GPT 分区项 未写入（主 GPT 已损坏）"});
  EXPECT_TRUE(machine.logged("open 0 readwrite").empty());
}

// Whichever write fails, the first failure ends the pass and names its copy, and one copy on the
// disk is still sound: a backup write failing leaves the primary as it was, a primary write failing
// comes after the whole new backup.
TEST_F(GptWriter, AWriteThatFailsLeavesOneCopySound) {
  const std::pair<std::uint64_t, std::string> cases[] = {{kAt.backupArray, "写入备份 GPT 失败"},
                                                         {kAt.backupHeader, "写入备份 GPT 失败"},
                                                         {2, "写入主 GPT 失败"},
                                                         {1, "写入主 GPT 失败"}};
  for (const auto& [lba, reason] : cases) {
    for (long bytes : {-1L, 100L}) {
      GptMachine m;
      m.machine.disks[0].faults = {{FaultOn::Write, lba * 512, bytes}};
      EXPECT_EQ(m.failures(m.run(recoveryToBasicData)),
                Lines{"磁盘 1 分区 2：GPT 分区项 未写入（" + reason + "）"})
          << lba;
      const GptCopyOnDisk primary = gptCopyAt(m.machine.disks[0], 1);
      const GptCopyOnDisk backup = gptCopyAt(m.machine.disks[0], kAt.backupHeader);
      const bool backupFailed = lba > 2;
      const GptCopyOnDisk& sound = backupFailed ? primary : backup;
      EXPECT_EQ(sound.problem, "") << lba;
      EXPECT_EQ(entryType(sound.array, 1), guidBytes(backupFailed ? kRecovery : kBasicData)) << lba;
      EXPECT_EQ(m.writes().back().substr(0, hexText(lba * 512).size() + 2),
                "0 " + hexText(lba * 512))
          << "none after it";
    }
  }
  GptMachine lost;  // a write the disk reports done but never stores is found on reading back
  lost.machine.disks[0].faults = {{FaultOn::LostWrite, 2 * 512}};
  EXPECT_EQ(lost.failures(lost.run(recoveryToBasicData)),
            Lines{"磁盘 1 分区 2：GPT 分区项 未写入（写入后读回的 GPT 校验失败）"});
}
}  // namespace
}  // namespace quenbolt

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
using Edit = std::function<void(PartitionList&)>;

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
  // Scans as start-up does, stages `edit`, lets `damage` change the disks, then commits; the
  // report's lines.
  Lines run(const Edit& edit, void (*damage)(SimulatedMachine&) = nullptr) {
    scanWithTemporaryLetters(platform, TypeCatalogue(), list, letters);
    edit(list);
    if (damage) damage(machine);
    before = machine.disks[0];
    machine.log.clear();
    Lines lines;
    for (const ChangeFailure& f : applyChanges(platform, list).failures) {
      lines.push_back(describeFailure(list, f));
    }
    return lines;
  }
  GptCopyOnDisk copy(std::uint64_t header) const { return gptCopyAt(machine.disks.at(0), header); }
  Lines writes() const { return machine.logged("write "); }

  GptPlaces at;
  SimulatedMachine machine;
  Platform platform = machine.platform();
  PartitionList list;
  TempLetterList letters;
  SimulatedDisk before;
};

std::string writeAt(std::uint64_t lba) { return "0 " + hexText(lba * 512) + " 512"; }

// Stages a type for row `row` (0-based) of the list, as the commands and the window do.
Edit type(std::size_t row, const char* guid) {
  return [row, guid](PartitionList& list) {
    Guid bytes{};
    const std::string text = guidBytes(guid);
    std::copy(text.begin(), text.end(), bytes.begin());
    list.stageGptType(*list.gptRecordOf(row), bytes);
  };
}

const Edit recoveryToBasicData = type(1, kBasicData);

void twoLinuxTypes(PartitionList& list) {
  type(0, kLinuxData)(list);
  type(2, kLinuxData)(list);
}
void linuxAttributes(PartitionList& list) {
  list.stageGptAttributes(*list.gptRecordOf(3), kRecoveryAttributes);
}

std::string failed(const std::string& reason) {
  return "磁盘 1 分区 2：GPT 分区项 未写入（" + reason + "）";
}

// The sector holding each changed entry in each array, and each header, backup first; each
// header once however many entries change. Only the entries' type and attributes and the four CRC
// fields change, and both copies are one sound table after it. An array of 9 entries fills a
// third of its last sector: its CRC covers the entries alone, and the rest of that sector is each
// copy's own.
TEST(GptWriter, ChangesLandInBothCopiesWithTheirCrcsInFourWritesBackupFirst) {
  const struct Case {
    const char* what;
    unsigned entryCount;
    Edit edit;
    std::vector<unsigned> entries;  // changed, with types then as `types` says
    std::string types;              // of entries 0, 1, 2 and 4: B(asic), R(ecovery), L(inux)
    std::uint64_t entry4Attributes;
    std::uint64_t arraySector;  // of the changed entries
  } cases[] = {{"a type", 128, recoveryToBasicData, {1}, "BBBL", 0, 0},
               {"two types, one pass", 128, twoLinuxTypes, {0, 2}, "LRLL", 0, 0},
               {"attributes", 128, linuxAttributes, {4}, "BRBL", kRecoveryAttributes, 1},
               {"a type in an array of 9 entries", 9, type(3, kBasicData), {4}, "BRBB", 0, 1}};
  for (const Case& c : cases) {
    GptMachine m(c.entryCount);
    const std::uint64_t padding = (m.at.backupArray + 2) * 512 + 200;  // past entry 8 of 9
    if (c.entryCount == 9) m.machine.disks[0].put(padding, "padding");
    EXPECT_EQ(m.run(c.edit), Lines{}) << c.what;
    EXPECT_EQ(m.writes(),
              (Lines{writeAt(m.at.backupArray + c.arraySector), writeAt(m.at.backupHeader),
                     writeAt(2 + c.arraySector), writeAt(1)}))
        << c.what;
    const GptCopyOnDisk primary = m.copy(1);
    const GptCopyOnDisk backup = m.copy(m.at.backupHeader);
    EXPECT_EQ(primary.problem + backup.problem, "") << c.what;
    EXPECT_TRUE(primary.alternate == m.at.backupHeader && backup.alternate == 1) << c.what;
    EXPECT_TRUE(primary.headerFields == backup.headerFields && primary.array == backup.array);
    std::string types;
    for (unsigned entry : {0u, 1u, 2u, 4u}) {
      const std::string t = entryType(primary.array, entry);
      types += t == guidBytes(kBasicData) ? 'B' : t == guidBytes(kRecovery) ? 'R' : 'L';
    }
    EXPECT_EQ(types, c.types) << c.what;
    EXPECT_EQ(entryAttributes(primary.array, 1), kRecoveryAttributes) << "kept";
    EXPECT_EQ(entryAttributes(primary.array, 4), c.entry4Attributes) << c.what;
    EXPECT_TRUE(c.entryCount != 9 || m.machine.disks[0].bytes(padding, 7) == "padding");
    for (const auto& [disk, offset] :
         differingBytes({{0, m.before.sectors}}, {{0, m.machine.disks[0].sectors}})) {
      const std::uint64_t lba = offset / 512;
      const std::uint64_t at = offset % 512;
      bool allowed = (lba == 1 || lba == m.at.backupHeader) &&
                     ((at >= 16 && at < 20) || (at >= 88 && at < 92));
      for (unsigned entry : c.entries) {
        for (std::uint64_t array : {std::uint64_t{2}, m.at.backupArray}) {
          const std::uint64_t field = offset - array * 512 - entry * 128;
          allowed |=
              offset >= array * 512 + entry * 128 && (field < 16 || (field >= 48 && field < 56));
        }
      }
      EXPECT_TRUE(allowed) << c.what << ": byte " << hexText(offset);
    }
    EXPECT_EQ(m.machine.logged("open 1 readwrite"), Lines{}) << "the MBR disk is not touched";
    EXPECT_EQ(m.machine.logged("reread "), Lines{"0 ok"});
  }
  GptMachine m;  // both copies read in full to check them, each written sector again, both back
  m.run(recoveryToBasicData);
  EXPECT_EQ(m.machine.logged("read 0 ").size(), 2 * (2 + 2 * kAt.arraySectors) + 4);
}

// Before anything is written both copies must be sound, one table, and what the scan read.
TEST(GptWriter, ATableWhoseCopiesAreNotOneTableIsNotWritten) {
  // The backup header changed in `field` to `value`, and resealed as a tool would.
  static const auto resealed = [](SimulatedMachine& m, std::size_t field,
                                  const std::string& value) {
    Sector header = m.disks[0].sector(kAt.backupHeader * 512);
    place(header, field, value);
    sealGptHeader(header, gptCrcOfArray(m.disks[0], kAt.backupArray));
    m.disks[0].put(kAt.backupHeader * 512, header);
  };
  const std::pair<std::string, void (*)(SimulatedMachine&)> cases[] = {
      {"备份 GPT 已损坏",
       [](SimulatedMachine& m) { m.disks[0].put(kAt.backupHeader * 512 + 0x40, "\xFF"); }},
      {"GPT 主表与备份表不一致",  // another backup array, resealed
       [](SimulatedMachine& m) {
         SimulatedDisk other = m.disks[0];
         putGpt(other, {{0, kBasicData, 2048, 206847}});
         for (std::uint64_t s = kAt.backupArray; s <= kAt.backupHeader; ++s) {
           m.disks[0].put(s * 512, other.sector(s * 512));
         }
       }},
      {"GPT 主表与备份表不一致", [](SimulatedMachine& m) { resealed(m, 56, "other disk GUID"); }},
      {"GPT 主表与备份表不一致",
       [](SimulatedMachine& m) { resealed(m, kGptAlternateLbaField, le(5, 8)); }},
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
       [](SimulatedMachine& m) { m.disks[0].faults = {{FaultOn::OpenForWriting}}; }},
      // The primary was damaged before the scan, which could read only the backup: the disk is
      // not even opened for writing.
      {"主 GPT 已损坏", nullptr}};
  for (const auto& [reason, damage] : cases) {
    GptMachine m;
    if (!damage) m.machine.disks[0].put(512 + 0x40, "\xFF");
    EXPECT_EQ(m.run(recoveryToBasicData, damage), Lines{failed(reason)});
    EXPECT_TRUE(m.writes().empty()) << reason;
    EXPECT_TRUE(damage || m.machine.logged("open 0 readwrite").empty());
  }
}

// Whichever write fails, the first failure ends the pass and names its copy, and one copy on the
// disk is still sound: a backup write failing leaves the primary as it was, a primary write
// failing comes after the whole new backup. A write the disk reports done but never stores is
// found on reading back.
TEST(GptWriter, AWriteThatFailsLeavesOneCopySound) {
  for (std::uint64_t lba :
       {kAt.backupArray, kAt.backupHeader, std::uint64_t{2}, std::uint64_t{1}}) {
    const bool backupFailed = lba > 2;
    for (long bytes : {-1L, 100L}) {
      GptMachine m;
      m.machine.disks[0].faults = {{FaultOn::Write, lba * 512, bytes}};
      EXPECT_EQ(m.run(recoveryToBasicData),
                Lines{failed(backupFailed ? "写入备份 GPT 失败" : "写入主 GPT 失败")});
      const GptCopyOnDisk sound = m.copy(backupFailed ? 1 : kAt.backupHeader);
      EXPECT_EQ(sound.problem, "") << lba;
      EXPECT_EQ(entryType(sound.array, 1), guidBytes(backupFailed ? kRecovery : kBasicData)) << lba;
      EXPECT_EQ(m.writes().back().rfind("0 " + hexText(lba * 512) + " ", 0), 0u) << "none after it";
    }
  }
  GptMachine lost;
  lost.machine.disks[0].faults = {{FaultOn::LostWrite, 2 * 512}};
  EXPECT_EQ(lost.run(recoveryToBasicData), Lines{failed("写入后读回的 GPT 校验失败")});
}
}  // namespace
}  // namespace quenbolt

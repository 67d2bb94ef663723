// The command step on a machine as a batch run finds it after start-up (scan, temporary letters,
// scan): each command line's exit status, its one error line, and exactly the bytes, labels and
// list cells it changes; then the listing for scripts of the same machine (the machine of
// support/two_disk_machine.h).

#include "cli/commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/listing.h"
#include "discovery/partition_list.h"
#include "discovery/startup_scan.h"
#include "model/type_catalogue.h"
#include "support/sfdisk_image.h"
#include "support/simulated_machine.h"
#include "support/table_sector_builder.h"
#include "support/two_disk_machine.h"

namespace quenbolt {
namespace {

using namespace two_disks;

// Bytes of partition-table entry `slot` in the table sector at `table`.
constexpr std::uint64_t typeByte(std::uint64_t table, unsigned slot) {
  return table + 0x1C2 + 16 * slot;
}
constexpr std::uint64_t bootIndicator(std::uint64_t table, unsigned slot) {
  return table + 0x1BE + 16 * slot;
}

// One expected change: `bytes` at `offset` of disk `disk`.
struct ByteChange {
  unsigned disk;
  std::uint64_t offset;
  std::string bytes;
};

ByteChange byteAt(unsigned disk, std::uint64_t offset, std::uint8_t value) {
  return {disk, offset, std::string(1, static_cast<char>(value))};
}
// The 11-byte label field of a FAT32 boot sector on disk 0, blank-padded.
ByteChange bootLabelAt(std::uint64_t bootSector, std::string label) {
  label.resize(11, ' ');
  return {0, bootSector + 0x47, label};
}
// The label entry the system's label call leaves in the root directory of that volume (the first
// entry of an empty one: the name, attribute 0x08).
ByteChange labelEntryAt(std::uint64_t bootSector, std::string label) {
  label.resize(11, ' ');
  return {0, bootSector + kFat32RootSector * kSector, label + "\x08"};
}

class BatchRun : public ::testing::Test {
 protected:
  // `beforeScan` changes the machine that start-up meets.
  explicit BatchRun(void (*beforeScan)(SimulatedMachine&) = nullptr) {
    buildTwoDiskMachine(machine);
    if (beforeScan) beforeScan(machine);
    scanWithTemporaryLetters(platform, catalogue, list, letters);
    before = {{0, machine.disk(0).snapshot()}, {1, machine.disk(1).snapshot()}};
    machine.clearLogs();
  }

  // Runs the command step as the program does for this command line (after the program name).
  CommandResult run(const std::string& arguments) {
    return runCommandStep(platform, list, splitCommandLine("Quenbolt.exe " + arguments));
  }

  // Every disk exactly as before the command, apart from `changes`.
  void expectDisks(const std::vector<ByteChange>& changes) const {
    for (const auto& [disk, snapshot] : before) {
      DiskSnapshot expected = snapshot;
      for (const ByteChange& change : changes) {
        for (std::size_t i = 0; change.disk == disk && i < change.bytes.size(); ++i) {
          const std::uint64_t at = change.offset + i;
          expected.sectors[at / kSector][at % kSector] = static_cast<std::uint8_t>(change.bytes[i]);
        }
      }
      for (std::uint64_t offset : differingOffsets(expected, machine.disk(disk).snapshot())) {
        ADD_FAILURE() << "disk " << disk << " byte 0x" << std::hex << offset << " is 0x"
                      << int(machine.disk(disk).byte(offset));
      }
    }
  }

  // Every SetVolumeLabel call, as "E:\ LABEL".
  std::vector<std::string> labelCalls() const {
    std::vector<std::string> calls;
    for (const PlatformCall& call : machine.calls(CallKind::SetLabel)) {
      calls.push_back(call.first + " " + call.second);
    }
    return calls;
  }

  SimulatedMachine machine;
  Platform platform = machine.platform();
  TypeCatalogue catalogue;
  PartitionList list;
  TempLetterList letters;
  std::map<unsigned, DiskSnapshot> before;
};

// ---- Batch commands ---------------------------------------------------------------------------
// "/M" and "/L" name a partition by disk and display number compared as text; "/A" by system
// number with a disk number read leniently; "/F" and "/S" act on every partition of a type.

// A list cell the command leaves behind; `text` null checks none.
struct Cell { std::size_t row; Column column; const char* text; };

struct Case {
  const char* command;  // after the program name
  int status;
  std::vector<ByteChange> changes = {};
  std::vector<std::string> labels = {};  // labelCalls() after the run
  Cell cell = {0, kLabelColumn, nullptr};
  void (*fault)(SimulatedMachine&) = nullptr;  // set up before the run
};

void PrintTo(const Case& c, std::ostream* out) { *out << '"' << c.command << '"'; }

class Command : public BatchRun, public ::testing::WithParamInterface<Case> {
 protected:
  void check(const Case& c) {
    if (c.fault) c.fault(machine);
    const CommandResult result = run(c.command);

    const bool batch = std::string(c.command).find(' ') != std::string::npos;
    const bool carriedOut = batch && (c.status == kExitDone || c.status == kExitWriteFailed);
    EXPECT_EQ(result.exitStatus, c.status);
    EXPECT_EQ(result.errorLines.size(), c.status == kExitDone ? 0u : 1u);
    EXPECT_EQ(result.ranApplyChanges, carriedOut);
    EXPECT_TRUE(carriedOut || machine.diskLog().empty()) << "refused before any disk access";
    if (c.status == kExitDone) {
      EXPECT_EQ(machine.diskLog(DiskOp::Write).size() + machine.fileSystemWrites().size(), c.changes.size())
          << "one write per sector (the system's label entries aside)";
    }
    expectDisks(c.changes);
    EXPECT_EQ(labelCalls(), c.labels);
    EXPECT_TRUE(machine.messageBoxes().empty()) << "a batch run reports on the error stream only";
    if (c.cell.text != nullptr) {
      EXPECT_EQ(list.rows[c.cell.row][c.cell.column], c.cell.text);
    }
    // A batch run always ends, after its writes; start-up itself ends a one-argument run.
    const auto& journal = machine.journal();
    EXPECT_EQ(!journal.empty() && journal.back() == "requestClose", batch);
  }
};

TEST_P(Command, HasItsStatusAndChangesExactlyWhatItNames) { check(GetParam()); }

// Display number 2 of disk 1 is the first logical partition, not the container; the ID is
// stored as typed and the writer reads either case.
INSTANTIATE_TEST_SUITE_P(M, Command, ::testing::Values(
    Case{"/m 1 2 0c", kExitDone, {byteAt(0, typeByte(kEbr1, 0), 0x0C)}, {},
         {kRowLogical, kTypeIdColumn, "0c"}},
    Case{"/M 1 4 0C", kExitDone, {byteAt(0, typeByte(kMbr, 3), 0x0C)}},
    Case{"/M 2 2 c", kExitDone, {byteAt(1, typeByte(kMbr, 1), 0x0C)}},
    Case{"/M 1 1 007", kExitNotUnderstood}, Case{"/M 1 1 G7", kExitNotUnderstood},
    Case{"/M 1 1 $7", kExitNotUnderstood}, Case{"/M 1 9 007", kExitNotUnderstood},
    Case{"/M 1 1", kExitNotUnderstood},
    Case{"/M 01 1 07", kExitNoSuchPartition}, Case{"/M 1 01 0C", kExitNoSuchPartition},
    Case{"/M 1 5 0C", kExitNoSuchPartition}, Case{"/M 3 1 0C", kExitNoSuchPartition},
    Case{"/M 1 X 0C", kExitNoSuchPartition},
    Case{"/M 1 2 0C", kExitWriteFailed, {}, {}, {},
         [](SimulatedMachine& m) { m.disk(0).failWrite(kEbr1); }}));

// "/F" matches the cell text, so "7" finds nothing; containers change too.
INSTANTIATE_TEST_SUITE_P(F, Command, ::testing::Values(
    Case{"/F 07 0C", kExitDone, {byteAt(0, typeByte(kMbr, 0), 0x0C),
                                 byteAt(0, typeByte(kEbr1, 0), 0x0C),
                                 byteAt(1, typeByte(kMbr, 1), 0x0C)}},
    Case{"/f 0b c", kExitDone, {byteAt(0, typeByte(kEbr2, 0), 0x0C),
                                byteAt(0, typeByte(kMbr, 3), 0x0C)}, {}, {kRowD, kTypeIdColumn, "C"}},
    Case{"/F 7 0C", kExitDone},
    Case{"/F 0F 05", kExitDone, {byteAt(0, typeByte(kMbr, 1), 0x05)}},
    Case{"/F 07 0C0", kExitNotUnderstood}, Case{"/F x7 0C", kExitNotUnderstood},
    Case{"/F 07 \"\"\"\"", kExitNotUnderstood}, Case{"/F 07", kExitNotUnderstood},
    Case{"/F 07 0C 0B", kExitNotUnderstood}));

// "/L" keeps 11 bytes as typed and never half a character; a FAT32 boot sector gets the label
// too, upper-cased. NTFS labels are the system's alone.
INSTANTIATE_TEST_SUITE_P(L, Command, ::testing::Values(
    Case{"/L 1 1 \"my new label\"", kExitDone, {}, {"C:\\ my new labe"}},
    Case{"/L 1 3 \"my new label\"", kExitDone,
         {bootLabelAt(kBootE, "MY NEW LABE"), labelEntryAt(kBootE, "MY NEW LABE")}, {"E:\\ my new labe"}},
    Case{"/L 1 1 ABCDEFGHIJ卷", kExitDone, {}, {"C:\\ ABCDEFGHIJ"}},
    Case{"/L 1 2 work2", kExitDone, {}, {"H:\\ work2"}},  // through its temporary letter
    Case{"/L 2 2 NAME", kExitWriteFailed},                 // no letter: a failure, not success
    Case{"/L 1 5 X", kExitNoSuchPartition}, Case{"/L 01 1 X", kExitNoSuchPartition},
    Case{"/L 2 3 X", kExitNoSuchPartition},
    Case{"/L 1 1 BOOT", kExitWriteFailed, {}, {"C:\\ BOOT"}, {},
         [](SimulatedMachine& m) { m.volume('C')->refusesLabel = true; }}));

const std::vector<ByteChange> kDataOnBothFat32 = {bootLabelAt(kBootE, "DATA"), labelEntryAt(kBootE, "DATA"),
                                                   bootLabelAt(kBootD, "DATA"), labelEntryAt(kBootD, "DATA")};
INSTANTIATE_TEST_SUITE_P(S, Command, ::testing::Values(
    Case{"/S 0B data", kExitDone, kDataOnBothFat32, {"E:\\ DATA", "D:\\ DATA"}},
    Case{"/S 0b data", kExitDone, kDataOnBothFat32, {"E:\\ DATA", "D:\\ DATA"}},
    // Disk 2's unlettered primary cannot be labelled: one line, status 1.
    Case{"/S 07 Work2", kExitWriteFailed, {}, {"C:\\ WORK2", "H:\\ WORK2"}},
    Case{"/S 1C DATA", kExitDone},
    Case{"/S 05 DATA", kExitNotUnderstood}, Case{"/S 0f DATA", kExitNotUnderstood},
    Case{"/S 0F DATA", kExitNotUnderstood}, Case{"/S 0BB DATA", kExitNotUnderstood}));

// System number 2 of disk 1 is the slot-3 primary behind the logicals; only exactly "1" sets
// the flag, and the disk number is read as a number.
const ByteChange kClearC = byteAt(0, bootIndicator(kMbr, 0), 0x00);  // C: no longer active
INSTANTIATE_TEST_SUITE_P(A, Command, ::testing::Values(
    Case{"/A 1 2 1", kExitDone, {byteAt(0, bootIndicator(kMbr, 3), 0x80)}},
    Case{"/a 2 2 1", kExitDone, {byteAt(1, bootIndicator(kMbr, 1), 0x80)}},
    Case{"/A 1 1 1", kExitDone}, Case{"/A 01 1 1", kExitDone},
    Case{"/A 1 1 0", kExitDone, {kClearC}}, Case{"/A 01 1 0", kExitDone, {kClearC}},
    Case{"/A +1 1 0", kExitDone, {kClearC}}, Case{"/A 1st 1 0", kExitDone, {kClearC}},
    Case{"/A 1 1 yes", kExitDone, {kClearC}}, Case{"/A 1 1 01", kExitDone, {kClearC}},
    Case{"/A 1 4 1", kExitNoSuchPartition}, Case{"/A 1 5 1", kExitNoSuchPartition},
    Case{"/A 1 01 1", kExitNoSuchPartition}, Case{"/A X 1 1", kExitNoSuchPartition},
    Case{"/A 0 1 1", kExitNoSuchPartition},
    Case{"/A 1 2 1", kExitWriteFailed, {}, {}, {},
         [](SimulatedMachine& m) { m.disk(0).shortRead(kMbr, 100); }}));

// Unknown words and wrong argument counts; a run with one argument or none is no command.
INSTANTIATE_TEST_SUITE_P(Words, Command, ::testing::Values(
    Case{"", kExitDone}, Case{"/?", kExitDone}, Case{"/h", kExitDone},
    Case{"/list", kExitDone}, Case{"/List", kExitDone},
    Case{"/X", kExitNotUnderstood}, Case{"/M", kExitNotUnderstood},
    Case{"LIST", kExitNotUnderstood}, Case{"/LIST2", kExitNotUnderstood},
    Case{"/X 1 2", kExitNotUnderstood}, Case{"/X 1 2 3", kExitNotUnderstood},
    Case{"/A 1 1", kExitNotUnderstood}, Case{"/S 0B", kExitNotUnderstood},
    Case{"/L 1 1 a b", kExitNotUnderstood}, Case{"/? x", kExitNotUnderstood},
    Case{"/LIST x", kExitNotUnderstood}, Case{"1 1 07", kExitNotUnderstood},
    Case{"/M 1 1 07 0C 0B", kExitNotUnderstood}, Case{"/S 0B \"\"", kExitNotUnderstood}));

// ---- A disk that cannot be read ---------------------------------------------------------------
// Disk 2 refuses to open, as every disk does for a program not run as administrator: whatever
// needs it ends with status 4 and the line naming it, and nothing is written there; what the
// other disk holds is still done. A refused command line stays 2, a failed write 1.

struct UnreadableCase {
  const char* command;
  int status;
  std::vector<std::string> errorLines;
  std::vector<ByteChange> changes = {};
  void (*fault)(SimulatedMachine&) = nullptr;
};

void PrintTo(const UnreadableCase& c, std::ostream* out) { *out << '"' << c.command << '"'; }

class DiskTwoUnreadable : public BatchRun, public ::testing::WithParamInterface<UnreadableCase> {
 protected:
  DiskTwoUnreadable() : BatchRun([](SimulatedMachine& m) { m.disk(1).failOpen(); }) {}
};

TEST_P(DiskTwoUnreadable, NamesItAndEndsWithItsStatus) {
  const UnreadableCase& c = GetParam();
  if (c.fault) c.fault(machine);
  const CommandResult result = run(c.command);
  EXPECT_EQ(result.exitStatus, c.status);
  EXPECT_EQ(result.errorLines, c.errorLines);
  expectDisks(c.changes);
  EXPECT_TRUE(!c.changes.empty() || machine.diskLog().empty()) << "no disk access";
}

const char* const kDisk2 = "磁盘 2 无法读取（拒绝访问，请以管理员身份运行）";
const ByteChange kLogicalTo0C = byteAt(0, typeByte(kEbr1, 0), 0x0C);
INSTANTIATE_TEST_SUITE_P(Cases, DiskTwoUnreadable, ::testing::Values(
    UnreadableCase{"/LIST", kExitDiskUnreadable, {kDisk2}},
    UnreadableCase{"/M 2 1 07", kExitDiskUnreadable, {kDisk2}},
    UnreadableCase{"/l 2 2 X", kExitDiskUnreadable, {kDisk2}},
    UnreadableCase{"/A 02 1 1", kExitDiskUnreadable, {kDisk2}},
    UnreadableCase{"/M 02 1 07", kExitNoSuchPartition, {"找不到分区: 磁盘 02 分区 1"}},
    UnreadableCase{"/M 1 2 0C", kExitDone, {}, {kLogicalTo0C}},
    UnreadableCase{"/F 07 0C", kExitDiskUnreadable, {kDisk2},
                   {byteAt(0, typeByte(kMbr, 0), 0x0C), kLogicalTo0C}},
    UnreadableCase{"/F 07 0C", kExitWriteFailed,
                   {kDisk2, "磁盘 1 分区 1：分区标记 \"0C\" 未写入（写入扇区失败）"}, {kLogicalTo0C},
                   [](SimulatedMachine& m) { m.disk(0).failWrite(kMbr); }},
    UnreadableCase{"/S 1C DATA", kExitDiskUnreadable, {kDisk2}},
    UnreadableCase{"/S 05 DATA", kExitNotUnderstood, {"扩展分区没有卷标: /S 05"}},
    UnreadableCase{"/?", kExitDone, {}}, UnreadableCase{"", kExitDone, {}}));

// ---- GPT disks ---------------------------------------------------------------------------------
// The two disks, then disk 3 with the Windows layout sfdisk writes, its basic data partition a
// FAT32 volume G:, and disk 4 whose EE entry has no GPT behind it, beside a 07 primary.

constexpr std::uint64_t kGptData = 239616 * kSector;  // the basic data partition of disk 3

class GptCommand : public Command {
 protected:
  void SetUp() override {
    image = SfdiskImage::make(kWindowsGptScript, 1ull << 30);
    if (!image) GTEST_SKIP() << "sfdisk is not available";
    image->addTo(machine, 2).setSector(kGptData, fat32BootSector("GPTDATA"));
    SimulatedVolume data;
    data.disk = 2;
    data.startOffset = kGptData;
    data.label = "GPTDATA";
    machine.mountVolume('G', data);
    machine.addDisk(3, 64ull << 20)
        .setSector(kMbr, TableSector().entry(0, 0x00, 0xEE, 1, 2047).entry(1, 0x00, 0x07, 2048, 4096)
                             .signature());
    machine.setDiskCount(4);
    scanWithTemporaryLetters(platform, catalogue, list, letters);
    for (unsigned disk = 0; disk < 4; ++disk) before[disk] = machine.disk(disk).snapshot();
    machine.clearLogs();
  }

  std::unique_ptr<SfdiskImage> image;
};

TEST_P(GptCommand, HasItsStatusAndChangesExactlyWhatItNames) { check(GetParam()); }

// Nothing writes a GPT entry; EE is never written and never replaced, on any disk; /F never
// matches a GPT row; labels reach a GPT partition through its volume and its FAT32 boot sector.
INSTANTIATE_TEST_SUITE_P(Gpt, GptCommand, ::testing::Values(
    Case{"/M 3 3 07", kExitNotUnderstood}, Case{"/M 3 5 07", kExitNoSuchPartition},
    Case{"/A 3 1 1", kExitNotUnderstood}, Case{"/A 3 4 0", kExitNotUnderstood},
    Case{"/A 3 5 1", kExitNoSuchPartition},
    Case{"/F EE 07", kExitNotUnderstood}, Case{"/F 07 ee", kExitNotUnderstood},
    Case{"/M 1 1 EE", kExitNotUnderstood}, Case{"/M 4 1 07", kExitNotUnderstood},
    Case{"/F 07 0C", kExitDone, {byteAt(0, typeByte(kMbr, 0), 0x0C),
                                 byteAt(0, typeByte(kEbr1, 0), 0x0C),
                                 byteAt(1, typeByte(kMbr, 1), 0x0C),
                                 byteAt(3, typeByte(kMbr, 1), 0x0C)}},
    Case{"/L 3 3 data", kExitDone,
         {{2, kGptData + 0x47, "DATA       "}, {2, kGptData + kFat32RootSector * kSector, "DATA       \x08"}},
         {"G:\\ data"}}));

// A Western Windows reads and sets labels in code page 1252 through the ANSI calls; the program
// does not use them, so a Chinese label arrives whole (and on FAT32 all its copies agree).
TEST_F(BatchRun, AChineseLabelIsSetWholeUnderAWesternAnsiCodePage) {
  machine.setAnsiCodePage(1252);
  EXPECT_EQ(run("/L 1 3 数据").exitStatus, kExitDone);
  EXPECT_EQ(machine.volume('E')->label, "数据");
  expectDisks({bootLabelAt(kBootE, "数据"), labelEntryAt(kBootE, "数据")});
}

// The tables are written; only the system's view of them waits for a restart.
TEST_F(BatchRun, ATableTheSystemDoesNotReadAgainIsSaidOnceADiskWithoutFailing) {
  machine.setUpdateRequestsFail(true);
  const CommandResult result = run("/F 07 0C");
  EXPECT_EQ(result.exitStatus, kExitDone);
  EXPECT_EQ(result.errorLines,
            (std::vector<std::string>{"磁盘 1：分区表已写入，但系统未能重新读取，重新启动 Windows 后生效",
                                      "磁盘 2：分区表已写入，但系统未能重新读取，重新启动 Windows 后生效"}));
}

// ---- The listing for scripts ----------------------------------------------------------------

TEST_F(BatchRun, ListingIsAskedForByALoneListWordInAnyCase) {
  for (const char* line : {"q /LIST", "q /list", "q /List"}) {
    EXPECT_TRUE(isListRequest(splitCommandLine(line))) << line;
  }
  for (const char* line : {"q", "q /LIST2", "q /LIST x", "q LIST", "q /?"}) {
    EXPECT_FALSE(isListRequest(splitCommandLine(line))) << line;
  }
}

TEST_F(BatchRun, ListingIsAHeaderAndOneLinePerRowWithTenTabSeparatedCells) {
  EXPECT_EQ(formatListing(list),
            "盘符\t卷标\t磁盘\t分区\t分区标记\t分区格式\t分区类型\t容量（M）\t剩余空间（M）\t磁盘类型\n"
            "C\tSYSTEM\t1\t1\t07\tNTFS\t主，活动\t100\t10\t硬盘\n"
            "\t\t1\t\t0F\t扩展 LBA\t扩展\t200\t\t\n"
            "H\tWORK\t1\t2\t07\tNTFS\t逻辑\t49\t10\t硬盘\n"
            "E\tLOGIC\t1\t3\t0B\tFAT32\t逻辑\t49\t10\t硬盘\n"
            "D\tDATA0\t1\t4\t0B\tFAT32\t主\t100\t10\t硬盘\n"
            "F\tSPARE\t2\t1\t0C\tFAT32 LBA\t主\t100\t10\t硬盘\n"
            "\t\t2\t2\t07\tNTFS\t主\t49\t\t\n");
}

TEST_F(BatchRun, ListingKeepsOneLinePerRowWhateverACellHolds) {
  list.rows[kRowE][kLabelColumn] = std::string("A\tB\r\nC\0D", 8);
  const std::string listing = formatListing(list);
  EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 1 + kRowCount);
  EXPECT_NE(listing.find("E\tA B  C D\t1\t3\t"), std::string::npos);
}

}  // namespace
}  // namespace quenbolt

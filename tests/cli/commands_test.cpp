// The command step on the standard machine as a batch run finds it after start-up: each command
// line's exit status, its one error line, exactly the bytes, labels and cells it changes; a disk
// that cannot be read; GPT disks; then the listing for scripts and the help text.

#include "cli/commands.h"

#include <gtest/gtest.h>

#include "cli/command_line.h"
#include "cli/help_text.h"
#include "cli/listing.h"
#include "support/sfdisk_image.h"
#include "support/standard_machine.h"

namespace quenbolt {
namespace {

using namespace standard;
using Lines = std::vector<std::string>;

ByteChange byteAt(unsigned disk, std::uint64_t offset, std::uint8_t value) {
  return {disk, offset, std::string(1, static_cast<char>(value))};
}
ByteChange bootLabel(unsigned disk, std::uint64_t boot, const std::string& label) {
  return {disk, boot + 0x47, (label + std::string(11, ' ')).substr(0, 11)};
}

struct Case {
  const char* command;  // after the program name
  int status;
  std::vector<ByteChange> changes = {};
  Lines labels = {};  // the SetVolumeLabel calls as the log says them
  void (*fault)(SimulatedMachine&) = nullptr;
  std::size_t row = 0;  // a cell the command leaves behind, when `cell` is set
  Column column = kTypeIdColumn;
  const char* cell = nullptr;
};
void PrintTo(const Case& c, std::ostream* out) { *out << '"' << c.command << '"'; }

CommandResult run(Bench& b, const std::string& arguments) {
  return runCommandStep(b.platform, b.list, splitCommandLine("Quenbolt.exe " + arguments));
}

void check(Bench& b, const Case& c) {
  if (c.fault) c.fault(b.machine);
  const CommandResult result = run(b, c.command);
  const bool batch = splitCommandLine(c.command).size() > 1;
  const bool committed = batch && (c.status == kExitDone || c.status == kExitWriteFailed);
  EXPECT_EQ(result.exitStatus, c.status);
  EXPECT_EQ(result.errorLines.size(), c.status == kExitDone ? 0u : 1u);
  EXPECT_EQ(result.ranApplyChanges, committed);
  EXPECT_TRUE(committed || b.machine.logged("open ").empty()) << "refused before any disk access";
  if (c.status == kExitDone) {
    EXPECT_EQ(b.machine.logged("write ").size() + b.machine.logged("fat ").size(), c.changes.size()) << "a write per sector";
  }
  EXPECT_EQ(b.unexpectedBytes(c.changes), "");
  EXPECT_EQ(b.machine.logged("label "), c.labels);
  EXPECT_TRUE(b.machine.logged("box ").empty()) << "a batch run reports on the error stream only";
  EXPECT_TRUE(!c.cell || b.list.rows[c.row][c.column] == c.cell) << b.list.rows[c.row][c.column];
  // A batch run always ends, after its writes; start-up itself ends a run of one argument.
  EXPECT_EQ(!b.machine.log.empty() && b.machine.log.back() == "requestClose", batch);
}

class Command : public testing::TestWithParam<Case> {};
TEST_P(Command, HasItsStatusAndChangesExactlyWhatItNames) {
  Bench b;
  check(b, GetParam());
}

// "/M" names a partition by disk and list number compared as text (display number 2 is the first
// logical, not the container); the ID goes into the cell as typed.
INSTANTIATE_TEST_SUITE_P(M, Command, testing::Values(
    Case{"/m 1 2 0c", kExitDone, {byteAt(0, typeAt(kEbr1, 0), 0x0C)}, {}, nullptr, rowE, kTypeIdColumn, "0c"},
    Case{"/M 1 5 17", kExitDone, {byteAt(0, typeAt(0, 3), 0x17)}}, Case{"/M 2 1 b", kExitDone, {byteAt(1, typeAt(0, 0), 0x0B)}},
    Case{"/M 1 1 007", kExitNotUnderstood}, Case{"/M 1 1 G7", kExitNotUnderstood}, Case{"/M 1 1 $7", kExitNotUnderstood},
    Case{"/M 1 9 007", kExitNotUnderstood}, Case{"/M 1 1 EE", kExitNotUnderstood}, Case{"/M 1 1", kExitNotUnderstood},
    Case{"/M 01 1 07", kExitNoSuchPartition}, Case{"/M 1 01 0C", kExitNoSuchPartition}, Case{"/M 1 6 0C", kExitNoSuchPartition},
    Case{"/M 3 1 0C", kExitNoSuchPartition}, Case{"/M 1 X 0C", kExitNoSuchPartition},
    Case{"/M 1 2 0C", kExitWriteFailed, {}, {}, [](SimulatedMachine& m) { m.disks[0].faults = {{FaultOn::Write, kEbr1}}; }}));

// "/F" matches the type cell's text, so "7" finds nothing; containers change too; EE is never
// written or replaced.
INSTANTIATE_TEST_SUITE_P(F, Command, testing::Values(
    Case{"/F 07 0C", kExitDone, {byteAt(0, typeAt(kEbr1, 0), 0x0C), byteAt(0, typeAt(0, 3), 0x0C)}},
    Case{"/f 0b c", kExitDone, {byteAt(0, typeAt(kEbr2, 0), 0x0C)}, {}, nullptr, rowF, kTypeIdColumn, "C"},
    Case{"/F 7 0C", kExitDone}, Case{"/F 0F 05", kExitDone, {byteAt(0, typeAt(0, 1), 0x05)}},
    Case{"/F 07 0C0", kExitNotUnderstood}, Case{"/F x7 0C", kExitNotUnderstood}, Case{"/F 07 \"\"\"\"", kExitNotUnderstood},
    Case{"/F 07", kExitNotUnderstood}, Case{"/F 07 0C 0B", kExitNotUnderstood}, Case{"/F EE 07", kExitNotUnderstood},
    Case{"/F 07 ee", kExitNotUnderstood}));

// "/L" passes 11 bytes as typed, never half a character; a FAT32 boot sector gets them upper-cased,
// and the FAT driver its own entry. A temporary letter serves; no letter at all is a failure.
INSTANTIATE_TEST_SUITE_P(L, Command, testing::Values(
    Case{"/L 1 2 \"my new label\"", kExitDone, {}, {"E:\\ my new labe ok"}},
    Case{"/L 1 3 \"my new label\"", kExitDone, {bootLabel(0, kBootF, "MY NEW LABE"), rootLabel(0, kBootF, "MY NEW LABE")},
         {"F:\\ my new labe ok"}},
    Case{"/L 1 2 ABCDEFGHIJ卷", kExitDone, {}, {"E:\\ ABCDEFGHIJ ok"}},
    Case{"/L 1 4 work2", kExitDone, {bootLabel(0, kBootH, "WORK2"), rootLabel(0, kBootH, "WORK2")}, {"H:\\ work2 ok"}},
    Case{"/L 1 5 NAME", kExitWriteFailed}, Case{"/L 1 6 X", kExitNoSuchPartition}, Case{"/L 01 1 X", kExitNoSuchPartition},
    Case{"/L 2 2 X", kExitNoSuchPartition},
    Case{"/L 1 2 BOOT", kExitWriteFailed, {}, {"E:\\ BOOT refused"}, [](SimulatedMachine& m) { m.letters['E'].refusesLabel = true; }}));

// "/S" labels every partition of a type, upper-cased; containers have no label.
INSTANTIATE_TEST_SUITE_P(S, Command, testing::Values(
    Case{"/S 0c data", kExitDone, {bootLabel(0, kBootD, "DATA"), bootLabel(0, kBootD + 6 * 512, "DATA"), rootLabel(0, kBootD, "DATA"),
                                   bootLabel(1, kBootG, "DATA"), rootLabel(1, kBootG, "DATA")}, {"D:\\ DATA ok", "G:\\ DATA ok"}},
    Case{"/S 07 Work2", kExitWriteFailed, {}, {"E:\\ WORK2 ok"}}, Case{"/S 1B DATA", kExitDone},
    Case{"/S 05 DATA", kExitNotUnderstood}, Case{"/S 0f DATA", kExitNotUnderstood}, Case{"/S 0BB DATA", kExitNotUnderstood}));

// "/A" names a primary by its system number (2 is the slot-2 primary behind the logicals), its
// disk read as a number; only exactly "1" sets the flag.
const ByteChange kClearD = byteAt(0, bootAt(0, 0), 0x00);
INSTANTIATE_TEST_SUITE_P(A, Command, testing::Values(
    Case{"/A 1 2 1", kExitDone, {byteAt(0, bootAt(0, 2), 0x80)}}, Case{"/a 2 1 1", kExitDone, {byteAt(1, bootAt(0, 0), 0x80)}},
    Case{"/A 1 1 1", kExitDone}, Case{"/A 01 1 1", kExitDone}, Case{"/A 1 1 0", kExitDone, {kClearD}},
    Case{"/A 01 1 0", kExitDone, {kClearD}}, Case{"/A +1 1 0", kExitDone, {kClearD}}, Case{"/A 1st 1 0", kExitDone, {kClearD}},
    Case{"/A 1 1 yes", kExitDone, {kClearD}}, Case{"/A 1 1 01", kExitDone, {kClearD}},
    Case{"/A 1 4 1", kExitNoSuchPartition}, Case{"/A 1 01 1", kExitNoSuchPartition}, Case{"/A X 1 1", kExitNoSuchPartition},
    Case{"/A 0 1 1", kExitNoSuchPartition},
    Case{"/A 1 2 1", kExitWriteFailed, {}, {}, [](SimulatedMachine& m) { m.disks[0].faults = {{FaultOn::Read, 0, 100}}; }}));

// Unknown words and wrong argument counts; a run with one argument or none is no command.
INSTANTIATE_TEST_SUITE_P(Words, Command, testing::Values(
    Case{"", kExitDone}, Case{"/?", kExitDone}, Case{"/h", kExitDone}, Case{"/list", kExitDone}, Case{"/X", kExitNotUnderstood},
    Case{"/M", kExitNotUnderstood}, Case{"LIST", kExitNotUnderstood}, Case{"/LIST2", kExitNotUnderstood},
    Case{"/X 1 2", kExitNotUnderstood}, Case{"/A 1 1", kExitNotUnderstood}, Case{"/L 1 1 a b", kExitNotUnderstood},
    Case{"/? x", kExitNotUnderstood}, Case{"/LIST x", kExitNotUnderstood}, Case{"1 1 07", kExitNotUnderstood},
    Case{"/M 1 1 07 0C 0B", kExitNotUnderstood}, Case{"/S 0B \"\"", kExitNotUnderstood}));

// Disk 2 refuses to open, as every disk does for a program not run as administrator: whatever
// needs it ends with status 4 and the line naming it; what the other disk holds is still done. A
// refused command line stays 2, a failed write 1.
TEST(DiskTwoUnreadable, IsNamedAndEndsTheRunWithItsStatus) {
  const char* const disk2 = "磁盘 2 无法读取（拒绝访问，请以管理员身份运行）";
  const struct { const char* command; int status; Lines errors; std::vector<ByteChange> changes; bool failMbr; } cases[] = {
      {"/LIST", kExitDiskUnreadable, {disk2}, {}, false}, {"/M 2 1 07", kExitDiskUnreadable, {disk2}, {}, false},
      {"/l 2 2 X", kExitDiskUnreadable, {disk2}, {}, false}, {"/A 02 1 1", kExitDiskUnreadable, {disk2}, {}, false},
      {"/M 02 1 07", kExitNoSuchPartition, {"找不到分区: 磁盘 02 分区 1"}, {}, false},
      {"/M 1 2 0C", kExitDone, {}, {byteAt(0, typeAt(kEbr1, 0), 0x0C)}, false},
      {"/F 07 0C", kExitDiskUnreadable, {disk2}, {byteAt(0, typeAt(kEbr1, 0), 0x0C), byteAt(0, typeAt(0, 3), 0x0C)}, false},
      {"/F 07 0C", kExitWriteFailed, {disk2, "磁盘 1 分区 5：分区标记 \"0C\" 未写入（写入扇区失败）"},
       {byteAt(0, typeAt(kEbr1, 0), 0x0C)}, true},
      {"/S 1B DATA", kExitDiskUnreadable, {disk2}, {}, false}, {"/S 05 DATA", kExitNotUnderstood, {"扩展分区没有卷标: /S 05"}, {}, false},
      {"/?", kExitDone, {}, {}, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    Bench b([](SimulatedMachine& m) { m.disks[1].faults = {{FaultOn::Open}}; });
    if (c.failMbr) b.machine.disks[0].faults = {{FaultOn::Write, 0}};
    const CommandResult result = run(b, c.command);
    EXPECT_EQ(result.exitStatus, c.status);
    EXPECT_EQ(result.errorLines, c.errors);
    EXPECT_EQ(b.unexpectedBytes(c.changes), "");
  }
}

// Disk 3 with the layout Windows Setup makes, its basic data partition a FAT32 volume J:; disk 4
// an EE entry with no GPT behind it, beside a 07 primary.
constexpr std::uint64_t kGptData = 239616 * 512;
void addGptDisks(SimulatedMachine& m) {
  if (!sfdiskDisk(kWindowsGptScript, 1ull << 30, m, 2)) return;
  m.disks[2].put(kGptData, fat32Boot("GPTDATA"));
  m.letters['J'] = volumeAt(2, kGptData, 1638400, "GPTDATA");
  m.addDisk(3, 64 << 20).put(0, table({{0, 0, 0xEE, 1, 2047}, {1, 0, 0x07, 2048, 4096}}));
}

class GptCommand : public Command {};
TEST_P(GptCommand, HasItsStatusAndChangesExactlyWhatItNames) {
  Bench b(addGptDisks);
  if (b.list.GptList.empty()) GTEST_SKIP() << "sfdisk is not available";
  check(b, GetParam());
}

// Nothing writes a GPT entry; EE is never written nor replaced, on any disk; "/F" never matches a
// GPT row; a GPT partition's label reaches its volume and its FAT32 boot sector.
INSTANTIATE_TEST_SUITE_P(Gpt, GptCommand, testing::Values(
    Case{"/M 3 3 07", kExitNotUnderstood}, Case{"/M 3 5 07", kExitNoSuchPartition}, Case{"/A 3 1 1", kExitNotUnderstood},
    Case{"/A 3 4 0", kExitNotUnderstood}, Case{"/A 3 5 1", kExitNoSuchPartition}, Case{"/M 4 1 07", kExitNotUnderstood},
    Case{"/F 07 0C", kExitDone, {byteAt(0, typeAt(kEbr1, 0), 0x0C), byteAt(0, typeAt(0, 3), 0x0C), byteAt(3, typeAt(0, 1), 0x0C)}},
    Case{"/L 3 3 data", kExitDone, {bootLabel(2, kGptData, "DATA"), rootLabel(2, kGptData, "DATA")}, {"J:\\ data ok"}}));

// The tables are written; only the system's view of them waits for a restart.
TEST(Batch, ATableTheSystemDoesNotReadAgainIsSaidOnceADiskWithoutFailing) {
  Bench b([](SimulatedMachine& m) { m.rereadFails = true; });
  const CommandResult result = run(b, "/F 0C 0B");
  EXPECT_EQ(result.exitStatus, kExitDone);
  EXPECT_EQ(result.errorLines, (Lines{"磁盘 1：分区表已写入，但系统未能重新读取，重新启动 Windows 后生效",
                                      "磁盘 2：分区表已写入，但系统未能重新读取，重新启动 Windows 后生效"}));
}

TEST(Batch, TheListingIsAHeaderAndOneLinePerRowOfTenTabSeparatedCellsWhateverACellHolds) {
  for (const char* line : {"q /LIST", "q /list"}) EXPECT_TRUE(isListRequest(splitCommandLine(line)));
  for (const char* line : {"q", "q /LIST2", "q /LIST x", "q LIST"}) EXPECT_FALSE(isListRequest(splitCommandLine(line)));
  Bench b;
  EXPECT_EQ(formatListing(b.list),
            "盘符\t卷标\t磁盘\t分区\t分区标记\t分区格式\t分区类型\t容量（M）\t剩余空间（M）\t磁盘类型\n"
            "D\tSYSTEM\t1\t1\t0C\tFAT32 LBA\t主，活动\t100\t10\t硬盘\n"
            "\t\t1\t\t0F\t扩展 LBA\t扩展\t200\t\t\n"
            "E\t" + kLongLabel + "\t1\t2\t07\tNTFS\t逻辑\t49\t10\t硬盘\n"
            "F\tLOGIC\t1\t3\t0B\tFAT32\t逻辑\t49\t10\t硬盘\n"
            "H\tHIDDEN\t1\t4\t1C\t隐藏 FAT32 LBA\t主\t100\t10\t硬盘\n"
            "\t\t1\t5\t07\tNTFS\t主\t100\t\t\n"
            "G\tSPARE\t2\t1\t0C\tFAT32 LBA\t主\t100\t10\t硬盘\n");
  b.list.rows[rowF][kLabelColumn] = std::string("A\tB\r\nC\0D\x7F", 9);
  EXPECT_NE(formatListing(b.list).find("\nF\tA B  C D \t1\t3\t0B\t"), std::string::npos);
}

// The help text as GBK bytes written out apart from the program's literals: seven lines joined by
// single carriage returns, the first of them the caption.
TEST(Batch, TheHelpTextIsSevenLinesJoinedBySingleCarriageReturns) {
  const std::string caption = "\xC3\xFC\xC1\xEE\xD0\xD0\xB2\xCE\xCA\xFD";
  EXPECT_EQ(kHelpCaption, caption);
  EXPECT_EQ(buildCommandLineHelp(),
            caption + "\r/? \xBB\xF2 /H\t\xCF\xD4\xCA\xBE\xB4\xCB\xB0\xEF\xD6\xFA\r"
            "/M <disk> <part> <ID>\t\xD0\xDE\xB8\xC4\xC4\xB3\xB4\xC5\xC5\xCC\xC9\xCF\xD6\xB8\xB6\xA8\xB7\xD6\xC7\xF8\xB5\xC4"
            "\xB7\xD6\xC7\xF8\xB1\xEA\xBC\xC7\r"
            "/F <ID1> <ID2>\t\t\xB2\xE9\xD5\xD2\xB7\xD6\xC7\xF8\xB1\xEA\xBC\xC7 <ID1>\xA3\xAC\xD5\xD2\xB5\xBD\xD0\xDE\xB8\xC4\xCE\xAA <ID2>\r"
            "/L <disk> <part> <label>\t\xD0\xDE\xB8\xC4\xC4\xB3\xB4\xC5\xC5\xCC\xC9\xCF\xD6\xB8\xB6\xA8\xB7\xD6\xC7\xF8\xB5\xC4"
            "\xBE\xED\xB1\xEA\r"
            "/S <ID> <label>\t\t\xB2\xE9\xD5\xD2\xB7\xD6\xC7\xF8\xB1\xEA\xBC\xC7 <ID1>\xA3\xAC\xD5\xD2\xB5\xBD\xBA\xF3\xD0\xDE\xB8\xC4"
            "\xBE\xED\xB1\xEA\xCE\xAA <label>\r"
            "/A <disk> <part> <1/0>\t\xD0\xDE\xB8\xC4\xC4\xB3\xB4\xC5\xC5\xCC\xC9\xCF\xD6\xB8\xB6\xA8\xD6\xF7\xB7\xD6\xC7\xF8\xB5\xC4"
            "\xBC\xA4\xBB\xEE\xB1\xEA\xBC\xC7");
}

}  // namespace
}  // namespace quenbolt

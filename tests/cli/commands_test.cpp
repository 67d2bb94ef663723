// The command line split into arguments; the command step on the standard machine after start-up:
// exit status, error line, and exactly the bytes, labels and cells each command line changes.

#include "cli/commands.h"
#include <gtest/gtest.h>
#include "cli/command_line.h"
#include "cli/listing.h"
#include "support/gpt_disk.h"
#include "support/standard_machine.h"

namespace quenbolt {
namespace {
using namespace standard;

TEST(SplitCommandLine, GivesTheArgumentsByteForByte) {
  const std::string gbk =
      "\xBE\xED\xB1\xEA\xA1\xA1\xBE\xED";  // 卷标, a full-width blank, 卷: no byte <= 32
  const std::pair<std::string, Lines> cases[] = {
      // Runs of blanks, tabs and control bytes separate once; 0x7F belongs to an argument.
      {"q.exe  /M\t1 \x01\x1F 2\r\n0C   ", {"q.exe", "/M", "1", "2", "0C"}},
      {std::string("q.exe\0/H", 8), {"q.exe", "/H"}},
      {"", {}},
      {"q a\177b", {"q", "a\177b"}},
      {"\"C:\\Program Files\\Q\\Quenbolt.exe\" /L 1 1 \"my new label\"",
       {"C:\\Program Files\\Q\\Quenbolt.exe", "/L", "1", "1", "my new label"}},
      // Quotes keep separators; inner quotes stay, outer ones of two or more bytes go.
      {"q a\"b c\"d", {"q", "a\"b c\"d"}},
      {"q \"x\"\"y\"", {"q", "x\"\"y"}},
      {"q \"a\tb\" c", {"q", "a\tb", "c"}},
      {"q \"a b", {"q", "\"a b"}},
      {"q \"", {"q", "\""}},
      // Empty quotes where an argument starts are no argument; elsewhere they are part of it.
      {"q \"\" /H", {"q", "/H"}},
      {"q \"\"\"\"", {"q"}},
      {"q \"\"abc", {"q", "abc"}},
      {"q \"\"\"a b\"", {"q", "a b"}},
      {"q ab\"\"", {"q", "ab\"\""}},
      {"q /S 0B " + gbk, {"q", "/S", "0B", gbk}},
      {"q \"" + gbk + " x\"", {"q", gbk + " x"}}};
  for (const auto& [line, args] : cases)
    EXPECT_EQ(splitCommandLine(line), args) << testing::PrintToString(line);
}

ByteChange byteAt(unsigned disk, std::uint64_t offset, char value) {
  return {disk, offset, std::string(1, value)};
}
ByteChange bootLabel(unsigned disk, std::uint64_t boot, const std::string& label) {
  return {disk, boot + 0x47, (label + std::string(11, ' ')).substr(0, 11)};
}
// A FAT32 label on a volume fat32Boot made: the boot sector's field, the backup's in sector 6 when
// `backup`, and the FAT driver's root entry.
std::vector<ByteChange> fat32Label(unsigned disk, std::uint64_t boot, const std::string& label,
                                   bool backup = false) {
  std::vector<ByteChange> copies{bootLabel(disk, boot, label), rootLabel(disk, boot, label)};
  if (backup) copies.push_back(bootLabel(disk, boot + 6 * 512, label));
  return copies;
}

struct Case {
  const char* command;  // after the program name
  int status;
  std::vector<ByteChange> changes = {};
  Lines labels = {};  // the SetVolumeLabel calls as the log says them
  void (*fault)(SimulatedMachine&) = nullptr;
  const char* typeCell = nullptr;  // the type cell of `row` afterwards, when set
  std::size_t row = 0;
};
void PrintTo(const Case& c, std::ostream* out) { *out << '"' << c.command << '"'; }

class Command : public testing::TestWithParam<Case> {};
TEST_P(Command, HasItsStatusAndChangesExactlyWhatItNames) {
  const Case& c = GetParam();
  Bench b;
  if (c.fault) c.fault(b.machine);
  const CommandResult result =
      runCommandStep(b.platform, b.list, splitCommandLine(std::string("q ") + c.command));
  const bool batch = splitCommandLine(c.command).size() > 1;
  const std::size_t writes = b.machine.logged("write ").size() + b.machine.logged("fat ").size();
  EXPECT_EQ(result.exitStatus, c.status);
  EXPECT_EQ(result.errorLines.size(), c.status == kExitDone ? 0u : 1u);
  EXPECT_EQ(result.ranApplyChanges, batch && c.status <= kExitWriteFailed);
  EXPECT_TRUE(result.ranApplyChanges || b.machine.logged("open ").empty())
      << "refused before any disk access";
  EXPECT_TRUE(c.status != kExitDone || writes == c.changes.size()) << writes << " writes";
  EXPECT_EQ(b.unexpectedBytes(c.changes), "");
  EXPECT_EQ(b.machine.logged("label "), c.labels);
  EXPECT_TRUE(!c.typeCell || b.list.rows[c.row][kTypeIdColumn] == c.typeCell)
      << b.list.rows[c.row][kTypeIdColumn];
  // A batch run ends, after its writes; start-up itself ends a run of one argument.
  EXPECT_EQ(!b.machine.log.empty() && b.machine.log.back() == "requestClose", batch);
}

// "/M" stores the ID as typed; "/F" and "/S" match the type cell's text, "/F" containers too
// (number and ID rules at large: the property test). "/L" names a partition by disk and list
// number (2: the first logical) and passes 11 bytes as typed, never half a character; a FAT32 boot
// sector gets them upper-cased, and the FAT driver its own entry. "/A" reads its disk as a number.
void hiddenVolumeLabelledOther(SimulatedMachine& m) { m.partitionDevices[{0, 2}].label = "OTHER"; }

INSTANTIATE_TEST_SUITE_P(
    Commands, Command,
    testing::Values(
        Case{"/m 1 2 0c", kExitDone, {byteAt(0, typeAt(kEbr1, 0), 0x0C)}, {}, nullptr, "0c", rowE},
        Case{"/f 0b c", kExitDone, {byteAt(0, typeAt(kEbr2, 0), 0x0C)}, {}, nullptr, "C", rowF},
        Case{"/F 0F 05", kExitDone, {byteAt(0, typeAt(0, 1), 0x05)}},
        Case{"/A +01 1 yes", kExitDone, {byteAt(0, bootAt(0, 0), 0)}},
        Case{"/L 1 2 ABCDEFGHIJ卷", kExitDone, {}, {"E:\\ ABCDEFGHIJ ok"}},
        Case{"/L 1 5 NAME", kExitWriteFailed},
        Case{"/L 1 3 \"my new label\"",
             kExitDone,
             fat32Label(0, kBootF, "MY NEW LABE"),
             {"F:\\ my new labe ok"}},
        Case{"/L 1 4 work2", kExitDone, fat32Label(0, kBootH, "WORK2"), {"H:\\ work2 ok"}},
        Case{"/S 0c data",
             kExitDone,
             {bootLabel(0, kBootD, "DATA"), bootLabel(0, kBootD + 6 * 512, "DATA"),
              rootLabel(0, kBootD, "DATA"), bootLabel(1, kBootG, "DATA"),
              rootLabel(1, kBootG, "DATA")},
             {"D:\\ DATA ok", "G:\\ DATA ok"}},
        Case{"/S 0f DATA", kExitNotUnderstood}, Case{"", kExitDone}, Case{"/?", kExitDone},
        Case{"/list", kExitDone}, Case{"/L 1 1 a b", kExitNotUnderstood},
        Case{"/? x", kExitNotUnderstood}, Case{"/S 0B \"\"", kExitNotUnderstood},
        // A label the file system refuses leaves every copy as it was: no boot sector may say
        // otherwise.
        Case{"/L 1 3 a.b", kExitWriteFailed, {}, {"F:\\ a.b refused"}},
        Case{"/S 0B \"longer than eleven\"",
             kExitWriteFailed,
             {},
             {"F:\\ LONGER THAN ELEVEN refused"}},
        // The boot sectors get what the file system kept, upper-cased as Windows does it.
        Case{"/L 1 1 αβａｂ", kExitDone, fat32Label(0, kBootD, "ΑΒＡＢ", true), {"D:\\ αβａｂ ok"}},
        // A hidden partition shows its boot sector's label; named again, the system's copy gets it
        // too.
        Case{"/L 1 4 HIDDEN",
             kExitDone,
             {rootLabel(0, kBootH, "HIDDEN")},
             {"H:\\ HIDDEN ok"},
             hiddenVolumeLabelledOther},
        // A character GBK cannot hold arrives marked, and is never written as a question mark.
        Case{"/L 1 1 a\377b", kExitNotUnderstood}, Case{"/M 1 \xFF 07", kExitNotUnderstood}));

// A GPT disk whose table could not be read lists its protective EE entry; it never becomes active
// and keeps its type.
TEST(Batch, AProtectiveEntryIsNeverMadeActiveNorRetyped) {
  const std::pair<const char*, const char*> cases[] = {
      {"q /A 2 1 1", "GPT 保护分区（EE）没有活动标记: 磁盘 2 主分区 1"},
      {"q /M 2 1 07", "磁盘 2 分区 1 是 GPT 保护分区（EE），其分区标记不能修改"}};
  for (const auto& [command, refusal] : cases) {
    Bench b([](SimulatedMachine& m) { m.disks[1].put(typeAt(0, 0), std::string("\xEE")); });
    const CommandResult result = runCommandStep(b.platform, b.list, splitCommandLine(command));
    EXPECT_EQ(result.exitStatus, kExitNotUnderstood);
    EXPECT_EQ(result.errorLines, Lines{refusal});
    EXPECT_TRUE(b.machine.logged("open ").empty());
  }
}

TEST(Batch, TheListingIsAHeaderAndOneLinePerRowOfTenTabSeparatedCellsWhateverACellHolds) {
  EXPECT_TRUE(isListRequest({"q", "/List"}) && !isListRequest({"q", "/LIST", "x"}) &&
              !isListRequest({"q", "LIST"}));
  Bench b;
  b.list.rows[rowF][kLabelColumn] = std::string("A\tB\r\nC\0D\x7F", 9);
  EXPECT_EQ(
      formatListing(b.list),
      "盘符\t卷标\t磁盘\t分区\t分区标记\t分区格式\t分区类型\t容量（M）\t剩余空间（M）\t磁盘类型\n"
      "D\tSYSTEM\t1\t1\t0C\tFAT32 LBA\t主，活动\t100\t10\t硬盘\n"
      "\t\t1\t\t0F\t扩展 LBA\t扩展\t200\t\t\n"
      "E\t" +
          kLongLabel +
          "\t1\t2\t07\tNTFS\t逻辑\t49\t10\t硬盘\n"
          "F\tA B  C D \t1\t3\t0B\tFAT32\t逻辑\t49\t10\t硬盘\n"
          "H\tHIDDEN\t1\t4\t1C\t隐藏 FAT32 LBA\t主\t100\t10\t硬盘\n"
          "\t\t1\t5\t07\tNTFS\t主\t100\t\t\n"
          "G\tSPARE\t2\t1\t0C\tFAT32 LBA\t主\t100\t10\t硬盘\n");
}
// Disk 1 a GPT of basic data (entry 0), recovery (1), basic data (2) and Linux data (4); disk 2 an
// MBR disk. A GPT row takes a GPT type's code or GUID and attributes, an MBR row an MBR type ID,
// and "/F" changes one kind of table only, the kind its two types name.
TEST(GptCommands, EachKindOfTableTakesItsOwnTypesAndOnlyGptRowsTakeAttributes) {
  const std::string basic = guidBytes(kBasicData);
  const std::string linux = guidBytes(kLinuxData);
  struct Case {
    const char* command;
    int status;
    std::string error;  // the one line on standard error, when the status is not 0
    std::string types;  // entries 0, 1, 2 and 4 afterwards, each B(asic), R(ecovery), L(inux)
    std::uint64_t attributes = 0;  // of entry 4 afterwards
    std::string kind = "GPT";      // of row 4 (entry 4) afterwards
  };
  const std::string gptHint = "GPT 分区应为四位类型代码（如 0700）或完整的 GUID";
  const Case cases[] = {
      {"/M 1 2 0700", kExitDone, "", "BBBL"},
      {"/M 1 2 ebd0a0a2-b9e5-4433-87c0-68b6b72699c7", kExitDone, "", "BBBL"},
      {"/M 1 2 07", kExitNotUnderstood, "磁盘 1 分区 2 是 GPT 分区，" + gptHint + ": 07", "BRBL"},
      {"/M 1 2 1234", kExitNotUnderstood,
       "分区标记无效: 1234（MBR 分区应为一到两位十六进制数字，" + gptHint + "）", "BRBL"},
      {"/M 1 2 00000000-0000-0000-0000-000000000000", kExitNotUnderstood,
       "分区标记无效: 00000000-0000-0000-0000-000000000000（MBR 分区应为一到两位十六进制数字，" +
           gptHint + "）",
       "BRBL"},
      {"/M 2 1 0700", kExitNotUnderstood,
       "磁盘 2 分区 1 是 MBR 分区，MBR 分区应为一到两位十六进制数字: 0700", "BRBL"},
      {"/F 0700 8300", kExitDone, "", "LRLL"},
      {"/F 07 0700", kExitNotUnderstood,
       "/F 的两个分区标记应同为 MBR 分区标记或同为 GPT 分区类型: 07 0700", "BRBL"},
      {"/F 07 0C", kExitDone, "", "BRBL"},
      {"/G 1 4 8000000000000001", kExitDone, "", "BRBL", 0x8000000000000001},
      {"/G 1 4 0xC000000000000000", kExitDone, "", "BRBL", 0xC000000000000000, "GPT，隐藏"},
      {"/G 1 4 12345678901234567", kExitNotUnderstood,
       "GPT 属性无效: 12345678901234567（应为一到十六位十六进制数字，可以 0x 开头）", "BRBL"},
      {"/G 1 4 0x", kExitNotUnderstood,
       "GPT 属性无效: 0x（应为一到十六位十六进制数字，可以 0x 开头）", "BRBL"},
      {"/G 2 1 1", kExitNotUnderstood, "/G 只能用于 GPT 分区: 磁盘 2 分区 1 是 MBR 分区", "BRBL"},
      {"/G 1 9 1", kExitNoSuchPartition, "找不到分区: 磁盘 1 分区 9", "BRBL"},
      {"/A 1 1 1", kExitNotUnderstood, "GPT 分区没有活动标记: 磁盘 1 分区 1", "BRBL"}};
  for (const Case& c : cases) {
    SimulatedMachine m;
    putGpt(m.addDisk(0, 1ull << 30), {{0, kBasicData, 2048, 206847},
                                      {1, kRecovery, 206848, 411647},
                                      {2, kBasicData, 411648, 616447},
                                      {4, kLinuxData, 616448, 821247}});
    m.addDisk(1, 64 << 20).put(0, table({{0, 0, 0x07, 2048, 8192}}));
    Platform platform = m.platform();
    PartitionList list;
    TempLetterList letters;
    scanWithTemporaryLetters(platform, TypeCatalogue(), list, letters);
    const CommandResult result =
        runCommandStep(platform, list, splitCommandLine(std::string("q ") + c.command));
    EXPECT_EQ(result.exitStatus, c.status) << c.command;
    EXPECT_EQ(result.errorLines, c.status == kExitDone ? Lines{} : Lines{c.error}) << c.command;
    const std::string array = gptCopyAt(m.disks[0], 1).array;
    std::string types;
    for (unsigned entry : {0u, 1u, 2u, 4u}) {
      const std::string type = entryType(array, entry);
      types += type == basic ? 'B' : type == linux ? 'L' : type == guidBytes(kRecovery) ? 'R' : '?';
    }
    EXPECT_EQ(types, c.types) << c.command;
    EXPECT_EQ(entryAttributes(array, 4), c.attributes) << c.command;
    EXPECT_EQ(list.rows[3][kKindColumn], c.kind) << c.command;
    EXPECT_EQ(m.disks[1].bytes(typeAt(0, 0), 1),
              std::string(c.command) == "/F 07 0C" ? "\x0C" : "\x07")
        << c.command;
  }
}
}  // namespace
}  // namespace quenbolt

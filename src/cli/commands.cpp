#include "cli/commands.h"

#include <cstddef>
#include <optional>

#include "editing/apply_changes.h"
#include "model/gbk_text.h"
#include "model/gpt_table.h"
#include "model/type_catalogue.h"

namespace quenbolt {

namespace {

// A command word and the number of arguments that follow it.
struct CommandWord {
  const char* word;
  std::size_t parameters;
};

const CommandWord kCommandWords[] = {
    {"/F", 2}, {"/S", 2}, {"/M", 3}, {"/L", 3},    {"/A", 3},
    {"/G", 3}, {"/?", 0}, {"/H", 0}, {"/LIST", 0},
};

const char* const kMbrTypeHint = "MBR 分区应为一到两位十六进制数字";
const char* const kGptTypeHint = "GPT 分区应为四位类型代码（如 0700）或完整的 GUID";

// The longest label "/L" passes on: what a FAT boot sector holds.
constexpr std::size_t kLabelBytes = 11;

// An argument as it may be shown on one line: a quoted argument can hold control bytes, and
// characters GBK cannot hold, which have no text to show.
std::string shown(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == kNoGbkCharacter) c = '?';
  }
  return out;
}

void refuse(CommandResult& result, int status, const std::string& line) {
  result.exitStatus = status;
  result.errorLines.push_back(line);
}

bool isLoneWord(const std::vector<std::string>& args, const char* a, const char* b) {
  if (args.size() != 2) return false;
  const std::string word = upperCased(args[1]);
  return word == a || (b != nullptr && word == b);
}

// Type arguments are refused unless they are one or two hexadecimal digits (an MBR type ID) or a
// GPT type's code or GUID: anything else would be turned into some type by guessing, and a wrong
// type can hide a partition.
bool acceptType(CommandResult& result, const std::string& id) {
  if (isTypeIdText(id) || gptTypeOf(id)) return true;
  refuse(result, kExitNotUnderstood,
         "分区标记无效: " + shown(id) + "（" + kMbrTypeHint + "，" + kGptTypeHint + "）");
  return false;
}

bool acceptTypeId(CommandResult& result, const std::string& id) {
  if (isTypeIdText(id)) return true;
  refuse(result, kExitNotUnderstood, "分区标记无效: " + shown(id) + "（" + kMbrTypeHint + "）");
  return false;
}

// Type EE marks a disk as GPT: written, it sends Windows looking for a table that is not there;
// replaced, it hands the GPT partitions' space to whatever reads the MBR. Neither is ever done.
bool refuseProtectiveType(CommandResult& result, const std::string& id) {
  if (parseHexPrefix(id) != kProtectiveType) return false;
  refuse(result, kExitNotUnderstood, "分区标记 EE 是 GPT 保护分区的类型，不能写入或替换");
  return true;
}

// The first row whose disk and display-number cells equal the (upper-cased) arguments. A
// container has no number and can never be named.
std::optional<std::size_t> findNumberedRow(const PartitionList& list, const std::string& disk,
                                           const std::string& part) {
  for (std::size_t row = 0; row < list.rows.size(); ++row) {
    const PartitionRow& cells = list.rows[row];
    if (cells[kPartitionColumn].empty()) continue;
    if (cells[kDiskColumn] == disk && cells[kPartitionColumn] == part) return row;
  }
  return std::nullopt;
}

// One line for each of `disks`; the status says so unless a write failed.
void reportUnreadable(CommandResult& result, const std::vector<UnreadableDisk>& disks) {
  for (const UnreadableDisk& disk : disks) result.errorLines.push_back(unreadableDiskLine(disk));
  if (!disks.empty() && result.exitStatus == kExitDone) result.exitStatus = kExitDiskUnreadable;
}

// The row "disk part" names (args[2] and args[3]), or nothing, said. A partition named on a disk
// the scan could not read is not known to be missing: the disk is what went wrong, and the line
// says so.
std::optional<std::size_t> namedRow(const PartitionList& list, CommandResult& result,
                                    const std::vector<std::string>& args) {
  const std::string disk = upperCased(args[2]);
  const std::optional<std::size_t> row = findNumberedRow(list, disk, upperCased(args[3]));
  if (row) return row;
  for (const UnreadableDisk& unreadable : list.unreadableDisks) {
    if (decimalText(std::uint64_t{unreadable.disk} + 1) == disk) {
      reportUnreadable(result, {unreadable});
      return std::nullopt;
    }
  }
  refuse(result, kExitNoSuchPartition,
         "找不到分区: 磁盘 " + shown(args[2]) + " 分区 " + shown(args[3]));
  return std::nullopt;
}

// The disk argument of "/A" read as a number the lenient way (optional sign, then decimal digits
// up to the first other byte, none giving 0), minus one, as decimal text.
std::string lenientDiskIndexText(const std::string& text) {
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  // Saturates far above any disk index, so a long digit string cannot overflow.
  constexpr long long kCeiling = 1000000000000000LL;
  long long value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    if (value < kCeiling) value = value * 10 + (text[pos] - '0');
  }
  if (negative) value = -value;
  return std::to_string(value - 1);
}

// Writes the staged rows and turns whatever could not be written into exit status 1 and lines.
void commit(Platform& platform, PartitionList& list, CommandResult& result) {
  result.report = applyChanges(platform, list);
  result.ranApplyChanges = true;
  for (const ChangeFailure& failure : result.report.failures) {
    result.errorLines.push_back(describeFailure(list, failure));
  }
  // A label staged on a partition without a drive letter is in the report too: the change
  // the command asked for did not happen.
  if (!result.report.succeeded()) result.exitStatus = kExitWriteFailed;
  // A table the system did not read again is written all the same: said, but no failure.
  for (unsigned disk : result.report.tablesNotReread) {
    result.errorLines.push_back(describeTableNotReread(disk));
  }
}

// "/F ID1 ID2": every partition of type ID1 becomes ID2, containers included. Two MBR type IDs
// change MBR and EBR entries only; two GPT types (codes or GUIDs) change GPT entries only.
void replaceTypeIds(Platform& platform, PartitionList& list, const std::vector<std::string>& args,
                    CommandResult& result) {
  const std::string from = upperCased(args[2]);
  const std::string to = upperCased(args[3]);
  if (!acceptType(result, from) || !acceptType(result, to)) return;
  const std::optional<Guid> gptFrom = gptTypeOf(from);
  const std::optional<Guid> gptTo = gptTypeOf(to);
  if (gptFrom && gptTo) {
    for (GptRecord& record : list.GptList) {
      if (record.type == *gptFrom) list.stageGptType(record, *gptTo);
    }
  } else if (!gptFrom && !gptTo) {
    if (refuseProtectiveType(result, from) || refuseProtectiveType(result, to)) return;
    for (std::size_t row = 0; row < list.rows.size(); ++row) {
      // A GPT type code is never a two-digit ID, but the rule must not rest on that.
      if (list.gptRecordOf(row)) continue;
      if (list.rows[row][kTypeIdColumn] == from) list.rows[row][kTypeIdColumn] = to;
    }
  } else {
    refuse(result, kExitNotUnderstood,
           "/F 的两个分区标记应同为 MBR 分区标记或同为 GPT 分区类型: " + shown(from) + " " +
               shown(to));
    return;
  }
  // A disk that could not be read may hold partitions of that type too.
  reportUnreadable(result, list.unreadableDisks);
  commit(platform, list, result);
}

// "/S ID label": every partition of type ID gets the label, upper-cased and whole.
void setLabelsOfType(Platform& platform, PartitionList& list, const std::vector<std::string>& args,
                     CommandResult& result) {
  const std::string id = upperCased(args[2]);
  const std::string label = upperCased(args[3]);
  if (!acceptTypeId(result, id)) return;
  if (isInGroup(TypeGroup::ExtendedTypes, id)) {
    refuse(result, kExitNotUnderstood, "扩展分区没有卷标: /S " + id);
    return;
  }
  for (std::size_t row = 0; row < list.rows.size(); ++row) {
    if (list.gptRecordOf(row)) continue;
    if (list.rows[row][kTypeIdColumn] == id) list.nameLabel(row, label);
  }
  reportUnreadable(result, list.unreadableDisks);
  commit(platform, list, result);
}

// "/M disk part ID": an MBR row takes a type ID, which goes into the cell as typed (the writer
// reads either case); a GPT row takes a GPT type's code or GUID, which its record stages.
void setTypeId(Platform& platform, PartitionList& list, const std::vector<std::string>& args,
               CommandResult& result) {
  const std::string& id = args[4];
  if (!acceptType(result, id)) return;
  const std::optional<Guid> gptType = gptTypeOf(id);
  if (!gptType && refuseProtectiveType(result, id)) return;
  const std::optional<std::size_t> row = namedRow(list, result, args);
  if (!row) return;
  const std::string partition = "磁盘 " + shown(args[2]) + " 分区 " + shown(args[3]);
  if (GptRecord* record = list.gptRecordOf(*row)) {
    if (!gptType) {
      refuse(result, kExitNotUnderstood,
             partition + " 是 GPT 分区，" + kGptTypeHint + ": " + shown(id));
      return;
    }
    list.stageGptType(*record, *gptType);
    commit(platform, list, result);
    return;
  }
  if (!isTypeIdText(id)) {
    refuse(result, kExitNotUnderstood,
           partition + " 是 MBR 分区，" + kMbrTypeHint + ": " + shown(id));
    return;
  }
  if (list.isProtectiveEntry(*row)) {
    refuse(result, kExitNotUnderstood, partition + " 是 GPT 保护分区（EE），其分区标记不能修改");
    return;
  }
  list.rows[*row][kTypeIdColumn] = id;
  commit(platform, list, result);
}

// The attributes "/G" gives: one to sixteen hexadecimal digits, "0x" before them or not.
std::optional<std::uint64_t> attributesOf(const std::string& text) {
  std::string digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits = digits.substr(2);
  }
  if (digits.empty() || digits.size() > 16) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : digits) {
    if (!isTypeIdText(std::string(1, c))) return std::nullopt;
    value = value << 4 | parseHexPrefix(std::string(1, c));
  }
  return value;
}

// "/G disk part HEX": the 64 attribute bits of a GPT partition.
void setAttributes(Platform& platform, PartitionList& list, const std::vector<std::string>& args,
                   CommandResult& result) {
  const std::optional<std::uint64_t> attributes = attributesOf(args[4]);
  if (!attributes) {
    refuse(result, kExitNotUnderstood,
           "GPT 属性无效: " + shown(args[4]) + "（应为一到十六位十六进制数字，可以 0x 开头）");
    return;
  }
  const std::optional<std::size_t> row = namedRow(list, result, args);
  if (!row) return;
  GptRecord* record = list.gptRecordOf(*row);
  if (!record) {
    refuse(result, kExitNotUnderstood,
           "/G 只能用于 GPT 分区: 磁盘 " + shown(args[2]) + " 分区 " + shown(args[3]) +
               " 是 MBR 分区");
    return;
  }
  list.stageGptAttributes(*record, *attributes);
  commit(platform, list, result);
}

// "/L disk part label": the label as typed, cut to 11 bytes without splitting a character.
void setLabel(Platform& platform, PartitionList& list, const std::vector<std::string>& args,
              CommandResult& result) {
  const std::optional<std::size_t> row = namedRow(list, result, args);
  if (!row) return;
  list.nameLabel(*row, cutGbk(args[4], kLabelBytes));
  commit(platform, list, result);
}

// "/A disk part 1/0": the primary partition by its system number, not its display number.
void setActiveFlag(Platform& platform, PartitionList& list, const std::vector<std::string>& args,
                   CommandResult& result) {
  // Exactly "1" sets the flag; every other text clears it, as scripts written for "0" rely on.
  const bool active = args[4] == "1";
  const std::string disk = lenientDiskIndexText(upperCased(args[2]));
  const std::string part = upperCased(args[3]);
  for (const PrimaryRecord& record : list.PrimaryList) {
    if (std::to_string(record.disk) != disk || std::to_string(record.number) != part) continue;
    if (record.row >= list.rows.size()) break;
    // A protective entry that boots would send a BIOS to the GPT's sectors as if they were code.
    if (list.isProtectiveEntry(record.row)) {
      refuse(
          result, kExitNotUnderstood,
          "GPT 保护分区（EE）没有活动标记: 磁盘 " + shown(args[2]) + " 主分区 " + shown(args[3]));
      return;
    }
    list.rows[record.row][kKindColumn] = active ? kKindPrimaryActive : kKindPrimary;
    commit(platform, list, result);
    return;
  }
  for (const GptRecord& record : list.GptList) {
    if (std::to_string(record.disk) != disk || std::to_string(record.number) != part) continue;
    refuse(result, kExitNotUnderstood,
           "GPT 分区没有活动标记: 磁盘 " + shown(args[2]) + " 分区 " + shown(args[3]));
    return;
  }
  for (const UnreadableDisk& unreadable : list.unreadableDisks) {
    if (std::to_string(unreadable.disk) == disk) {
      reportUnreadable(result, {unreadable});
      return;
    }
  }
  refuse(result, kExitNoSuchPartition,
         "找不到主分区: 磁盘 " + shown(args[2]) + " 主分区 " + shown(args[3]));
}

void runCommand(Platform& platform, PartitionList& list, const std::vector<std::string>& args,
                CommandResult& result) {
  const std::string word = upperCased(args[1]);
  const std::size_t parameters = args.size() - 2;
  const CommandWord* known = nullptr;
  for (const CommandWord& candidate : kCommandWords) {
    if (word == candidate.word) known = &candidate;
  }
  if (known == nullptr) {
    refuse(result, kExitNotUnderstood, "无法识别的命令: " + shown(args[1]));
    return;
  }
  // Converted with a question mark in its place, such a character would be written as one.
  for (std::size_t i = 2; i < args.size(); ++i) {
    if (holdsNoGbkCharacter(args[i])) {
      refuse(result, kExitNotUnderstood, "参数含有 GBK 无法表示的字符: " + shown(args[i]));
      return;
    }
  }
  if (parameters != known->parameters) {
    const std::string wanted = known->parameters == 0
                                   ? "不带参数"
                                   : "需要 " + std::to_string(known->parameters) + " 个参数";
    refuse(result, kExitNotUnderstood, "参数个数不对: " + word + " " + wanted);
    return;
  }
  if (word == "/F") replaceTypeIds(platform, list, args, result);
  if (word == "/S") setLabelsOfType(platform, list, args, result);
  if (word == "/M") setTypeId(platform, list, args, result);
  if (word == "/L") setLabel(platform, list, args, result);
  if (word == "/A") setActiveFlag(platform, list, args, result);
  if (word == "/G") setAttributes(platform, list, args, result);
  // A lone "/?", "/H" or "/LIST" is no command and is handled before the command step.
}

}  // namespace

bool isHelpRequest(const std::vector<std::string>& args) { return isLoneWord(args, "/?", "/H"); }

bool isListRequest(const std::vector<std::string>& args) {
  return isLoneWord(args, "/LIST", nullptr);
}

CommandResult runCommandStep(Platform& platform, PartitionList& list,
                             const std::vector<std::string>& args) {
  CommandResult result;
  if (args.size() <= 1) return result;  // no arguments: the window is the program
  if (args.size() == 2) {
    // Start-up ends a one-argument run itself; only the help and the listing mean something.
    if (isListRequest(args)) {
      reportUnreadable(result, list.unreadableDisks);
    } else if (!isHelpRequest(args)) {
      runCommand(platform, list, args, result);
    }
    return result;
  }
  runCommand(platform, list, args, result);
  // Every batch run ends, whatever happened; the commit may have asked already.
  platform.ui.requestClose();
  return result;
}

}  // namespace quenbolt

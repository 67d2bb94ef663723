#include "discovery/partition_list.h"

#include <algorithm>

#include "model/gbk_text.h"
#include "model/gpt_table.h"

namespace quenbolt {

const char* const kKindPrimary = "主";
const char* const kKindPrimaryActive = "主，活动";
const char* const kKindExtended = "扩展";
const char* const kKindLogical = "逻辑";
const char* const kKindActiveSuffix = "，活动";
const char* const kKindGpt = "GPT";
const char* const kKindHiddenSuffix = "，隐藏";

std::string gptKindText(std::uint64_t attributes) {
  std::string kind = kKindGpt;
  if (attributes >> kGptHiddenAttributeBit & 1) kind += kKindHiddenSuffix;
  return kind;
}

const std::array<std::string, kColumnCount>& columnHeaders() {
  static const std::array<std::string, kColumnCount> headers{
      "盘符",     "卷标",     "磁盘",      "分区",          "分区标记",
      "分区格式", "分区类型", "容量（M）", "剩余空间（M）", "磁盘类型"};
  return headers;
}

void PartitionList::clear() {
  rows.clear();
  TableSectorOffset.clear();
  TypeByteOffset.clear();
  BootSectorOffsetText.clear();
  ScannedTypeId.clear();
  ScannedLabel.clear();
  PrimaryList.clear();
  LogicalList.clear();
  GptList.clear();
  unreadableDisks.clear();
  LabelNamed.clear();
}

void PartitionList::nameLabel(std::size_t row, const std::string& label) {
  if (row >= rows.size()) return;
  rows[row][kLabelColumn] = label;
  if (LabelNamed.size() <= row) LabelNamed.resize(row + 1, false);
  LabelNamed[row] = true;
}

bool PartitionList::labelStaged(std::size_t row) const {
  if (row >= rows.size()) return false;
  if (row < LabelNamed.size() && LabelNamed[row]) return true;
  return row >= ScannedLabel.size() || rows[row][kLabelColumn] != ScannedLabel[row];
}

const PrimaryRecord* PartitionList::primaryRecordOf(std::size_t row) const {
  for (const PrimaryRecord& record : PrimaryList) {
    if (record.row == row) return &record;
  }
  return nullptr;
}

const GptRecord* PartitionList::gptRecordOf(std::size_t row) const {
  const auto found = std::lower_bound(
      GptList.begin(), GptList.end(), row,
      [](const GptRecord& record, std::size_t wanted) { return record.row < wanted; });
  return found != GptList.end() && found->row == row ? &*found : nullptr;
}

GptRecord* PartitionList::gptRecordOf(std::size_t row) {
  return const_cast<GptRecord*>(static_cast<const PartitionList&>(*this).gptRecordOf(row));
}

void PartitionList::stageGptType(GptRecord& record, const Guid& type) {
  record.stagedType = type;
  if (record.row >= rows.size()) return;
  rows[record.row][kTypeIdColumn] = gptTypeCode(type);
  rows[record.row][kFormatNameColumn] = gptTypeName(type);
}

void PartitionList::stageGptAttributes(GptRecord& record, std::uint64_t attributes) {
  record.stagedAttributes = attributes;
  if (record.row >= rows.size()) return;
  rows[record.row][kKindColumn] = gptKindText(attributes);
}

bool PartitionList::isProtectiveEntry(std::size_t row) const {
  return row < ScannedTypeId.size() && ScannedTypeId[row] == hex2(kProtectiveType);
}

long diskIndexOfRow(const PartitionRow& row) {
  const std::string& cell = row[kDiskColumn];
  if (cell.empty() || cell.size() > 9) return -1;
  long number = 0;
  for (char c : cell) {
    if (c < '0' || c > '9') return -1;
    number = number * 10 + (c - '0');
  }
  return number - 1;
}

}  // namespace quenbolt

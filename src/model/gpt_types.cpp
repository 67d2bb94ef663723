#include "model/gpt_types.h"

namespace quenbolt {

namespace {

struct GptType {
  const char* guid;
  const char* code;
  const char* name;
};

const GptType kGptTypes[] = {
    {"C12A7328-F81F-11D2-BA4B-00A0C93EC93B", "EF00", "EFI 系统分区"},
    {"E3C9E316-0B5C-4DB8-817D-F92DF00215AE", "0C01", "Microsoft 保留分区"},
    {"EBD0A0A2-B9E5-4433-87C0-68B6B72699C7", "0700", "基本数据"},
    {"DE94BBA4-06D1-4D40-A16A-BFD50179D6AC", "2700", "Windows 恢复环境"},
    {"5808C8AA-7E8F-42E0-85D2-E1E90434CFB3", "4200", "LDM 元数据"},
    {"AF9B60A0-1431-4F62-BC68-3311714A69AD", "4201", "LDM 数据"},
    {"E75CAF8F-F680-4CEE-AFA3-B001E56EFC2D", "4202", "存储空间"},
    {"21686148-6449-6E6F-744E-656564454649", "EF02", "BIOS 启动分区"},
    {"0FC63DAF-8483-4772-8E79-3D69D8477DE4", "8300", "Linux 文件系统"},
    {"0657FD6D-A4AB-43C4-84E5-0933C84B4F4F", "8200", "Linux 交换分区"},
    {"E6D6D379-F507-44C2-A23C-238F2A3DF928", "8E00", "Linux LVM"},
    {"A19D880F-05FC-4D3B-A006-743F0F84911E", "FD00", "Linux RAID"},
    {"48465300-0000-11AA-AA11-00306543ECAC", "AF00", "Apple HFS+"},
    {"7C3457EF-0000-11AA-AA11-00306543ECAC", "AF0A", "Apple APFS"},
};

const GptType* knownType(const Guid& type) {
  const std::string text = guidText(type);
  for (const GptType& known : kGptTypes) {
    if (text == known.guid) return &known;
  }
  return nullptr;
}

}  // namespace

std::string guidText(const Guid& guid) {
  static const char hex[] = "0123456789ABCDEF";
  // Bytes in the order they are written: the first three fields back to front.
  static const int order[] = {3, 2, 1, 0, -1, 5, 4, -1, 7, 6, -1, 8, 9, -1, 10, 11, 12, 13, 14, 15};
  std::string text;
  for (int i : order) {
    if (i < 0) {
      text += '-';
      continue;
    }
    text += hex[guid[static_cast<std::size_t>(i)] >> 4];
    text += hex[guid[static_cast<std::size_t>(i)] & 0xF];
  }
  return text;
}

std::string gptTypeCode(const Guid& type) {
  const GptType* known = knownType(type);
  return known ? known->code : guidText(type);
}

std::string gptTypeName(const Guid& type) {
  const GptType* known = knownType(type);
  return known ? known->name : std::string();
}

std::optional<Guid> gptTypeOf(const std::string& text) {
  std::string upper = text;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (upper.size() == 4) {
    for (const GptType& known : kGptTypes) {
      if (upper == known.code) upper = known.guid;
    }
  }
  if (upper.size() != 36) return std::nullopt;
  Guid guid{};
  // The text's hex digits in order, and the byte each pair fills (the first three fields back to
  // front).
  static const int order[] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::size_t at = 0;
  for (int i : order) {
    if (at == 8 || at == 13 || at == 18 || at == 23) {
      if (upper[at] != '-') return std::nullopt;
      ++at;
    }
    int value = 0;
    for (int half = 0; half < 2; ++half, ++at) {
      const char c = upper[at];
      const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (digit < 0) return std::nullopt;
      value = value * 16 + digit;
    }
    guid[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
  }
  if (guid == Guid{}) return std::nullopt;
  return guid;
}

std::vector<std::string> gptTypeChoiceEntries() {
  std::vector<std::string> entries;
  for (const GptType& known : kGptTypes)
    entries.push_back(std::string(known.code) + "|" + known.name);
  return entries;
}

}  // namespace quenbolt

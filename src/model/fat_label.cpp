#include "model/fat_label.h"

#include <cstring>

#include "model/fat32_boot_sector.h"
#include "model/gbk_text.h"

namespace quenbolt {

const char* const kNoLabelField = "NO NAME    ";

namespace {

constexpr unsigned kGbkCodePage = 936;

// A run of GBK lower-case letters whose capitals are the same run, `delta` trail bytes away.
struct CaseRange {
  unsigned char lead;
  unsigned char firstTrail;
  unsigned char lastTrail;
  int delta;
};

const CaseRange kCaseRanges[] = {
    {0xA3, 0xE1, 0xFA, -0x20},  // ａ to ｚ
    {0xA6, 0xC1, 0xD8, -0x20},  // α to ω
    {0xA7, 0xD1, 0xF1, -0x30},  // а to я
    {0xA2, 0xA1, 0xAA, +0x50},  // ⅰ to ⅹ
};

// ā á ǎ à ... ɡ: lower case, and their capitals are not in GBK.
bool isPinyinLetter(unsigned char lead, unsigned char trail) {
  return lead == 0xA8 && trail >= 0xA1 && trail <= 0xC0;
}

bool isForbidden(unsigned char byte) {
  return byte < 0x20 || std::strchr(".\"*+,/:;<=>?[\\]|", byte) != nullptr;
}

}  // namespace

FatLabelField fatLabelField(const std::string& label, unsigned oemCodePage) {
  FatLabelField field;
  std::string upper;
  for (std::size_t i = 0; i < label.size(); ++i) {
    const auto byte = static_cast<unsigned char>(label[i]);
    if (byte == 0 || byte >= 0x80) {
      // Only GBK's double-byte characters are known to be OEM bytes, and only on a system whose
      // OEM code page is GBK; a lone lead byte is no character at all.
      if (oemCodePage != kGbkCodePage || byte == 0 || !isGbkLeadByte(byte) ||
          i + 1 >= label.size()) {
        field.problem =
            byte == 0 ? FatLabelProblem::ForbiddenCharacter : FatLabelProblem::NotInOemCodePage;
        return field;
      }
      auto trail = static_cast<unsigned char>(label[++i]);
      if (isPinyinLetter(byte, trail)) {
        field.problem = FatLabelProblem::NotInOemCodePage;
        return field;
      }
      for (const CaseRange& range : kCaseRanges) {
        if (byte == range.lead && trail >= range.firstTrail && trail <= range.lastTrail) {
          trail = static_cast<unsigned char>(trail + range.delta);
        }
      }
      upper += static_cast<char>(byte);
      upper += static_cast<char>(trail);
      continue;
    }
    if (isForbidden(byte)) {
      field.problem = FatLabelProblem::ForbiddenCharacter;
      return field;
    }
    upper += static_cast<char>(byte >= 'a' && byte <= 'z' ? byte - 0x20 : byte);
  }

  // Blanks at the end are the field's padding; all blanks is no label.
  upper.erase(upper.find_last_not_of(' ') + 1);
  if (upper.empty()) {
    field.bytes = kNoLabelField;
    field.empty = true;
    return field;
  }
  if (upper[0] == ' ') {
    field.problem = FatLabelProblem::ForbiddenCharacter;
    return field;
  }
  if (upper.size() > kBootLabelSize) {
    field.problem = FatLabelProblem::TooLong;
    return field;
  }
  upper.resize(kBootLabelSize, ' ');
  field.bytes = upper;
  return field;
}

}  // namespace quenbolt

#include "model/gbk_text.h"

namespace quenbolt {

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string hexDigits(std::uint32_t value, int minDigits) {
  std::string out;
  do {
    out.insert(out.begin(), kHexDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  while (static_cast<int>(out.size()) < minDigits) out.insert(out.begin(), '0');
  return out;
}

}  // namespace

bool isGbkLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

std::string hex2(std::uint8_t byte) { return hexDigits(byte, 2); }

std::string offsetText(std::uint64_t offset) {
  return hexDigits(static_cast<std::uint32_t>(offset >> 32), 4) +
         hexDigits(static_cast<std::uint32_t>(offset), 8);
}

std::uint32_t parseHexPrefix(const std::string& text) {
  std::size_t i = 0;
  if (i < text.size() && text[i] == '$') ++i;
  std::uint32_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = hexDigitValue(text[i]);
    if (digit < 0) break;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return value;
}

std::optional<std::uint64_t> parseOffsetText(const std::string& text) {
  if (text.size() < 12 || text.size() > 16) return std::nullopt;
  for (char c : text) {
    if (hexDigitValue(c) < 0) return std::nullopt;
  }
  const std::size_t split = text.size() - 8;
  const std::uint64_t high = parseHexPrefix(text.substr(0, split));
  return high << 32 | parseHexPrefix(text.substr(split));
}

bool isTypeIdText(const std::string& text) {
  if (text.empty() || text.size() > 2) return false;
  for (char c : text) {
    if (hexDigitValue(c) < 0) return false;
  }
  return true;
}

std::uint64_t divideRoundHalfEven(std::uint64_t numerator, std::uint64_t denominator) {
  const std::uint64_t quotient = numerator / denominator;
  const std::uint64_t remainder = numerator % denominator;
  const std::uint64_t rest = denominator - remainder;  // compare 2r with d without overflow
  if (remainder > rest) return quotient + 1;
  if (remainder == rest && (quotient & 1) != 0) return quotient + 1;
  return quotient;
}

std::string decimalText(std::uint64_t value) { return std::to_string(value); }

bool holdsNoGbkCharacter(const std::string& text) {
  return text.find(kNoGbkCharacter) != std::string::npos;
}

std::string capacityText(std::uint64_t sectorCount, std::size_t sectorSize) {
  // In sectors rather than bytes: a count near 2^64 sectors must not overflow.
  return decimalText(divideRoundHalfEven(sectorCount, (1024 * 1024) / sectorSize));
}

std::string megabytesText(std::uint64_t bytes) {
  return decimalText(divideRoundHalfEven(bytes, 1024 * 1024));
}

std::string upperCased(const std::string& text) {
  std::string out = text;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(out[i]);
    if (isGbkLeadByte(byte)) {
      ++i;  // the trail byte belongs to the same character
    } else if (byte >= 'a' && byte <= 'z') {
      out[i] = static_cast<char>(byte - 0x20);
    }
  }
  return out;
}

std::string trimmed(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
  return text.substr(begin, end - begin);
}

std::string cutGbk(const std::string& text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  // Walk whole characters so that a trail byte that happens to look like a lead byte is not
  // mistaken for one.
  std::size_t keep = 0;
  while (keep < maxBytes) {
    const std::size_t width = isGbkLeadByte(static_cast<unsigned char>(text[keep])) ? 2 : 1;
    if (keep + width > maxBytes) break;
    keep += width;
  }
  return text.substr(0, keep);
}

}  // namespace quenbolt

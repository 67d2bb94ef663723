#include "model/gbk_text.h"

#include <gtest/gtest.h>

namespace quenbolt {
namespace {

TEST(NumberText, OffsetsSplitIntoFourAndEightDigitsAndMegabytesRoundHalvesToEven) {
  EXPECT_EQ(offsetText(0), "000000000000");
  EXPECT_EQ(offsetText(63u * 512), "000000007E00");
  EXPECT_EQ(offsetText(0xFFFFFE00ull + 63u * 512), "000100007C00");
  EXPECT_EQ(offsetText(0x123456789ABCDEF0ull), "123456789ABCDEF0");  // the high half grows
  // Whole MB with halves to even, without overflow at the top of the range.
  EXPECT_EQ(capacityText(0xFFFFFFFFull), "2097152");
  EXPECT_EQ(divideRoundHalfEven(~0ull, 2), 0x8000000000000000ull);
}

TEST(OffsetText, ReadsBackOnlyWhatItWrites) {
  for (std::uint64_t offset : {0ull, 0x7E00ull, 0xFFFFFE00ull, 0x100007C00ull, 0x1000000007E00ull,
                               0x123456789ABCDEF0ull}) {
    EXPECT_EQ(parseOffsetText(offsetText(offset)), offset) << offsetText(offset);
  }
  EXPECT_EQ(parseOffsetText("0000fffffe00"), 0xFFFFFE00ull);
  for (const char* text : {"00000000ZZZZ", "", "7E00", "0000 0007E00", "$00000007E00",
                           "00000000000000007E00"}) {
    EXPECT_EQ(parseOffsetText(text), std::nullopt) << '"' << text << '"';
  }
}

TEST(HexRule, ReadsLeadingDigitsOfEitherCaseAfterOneDollar) {
  const std::pair<const char*, std::uint32_t> cases[] = {
      {"0B", 0x0B}, {"1c", 0x1C}, {"$FF", 0xFF}, {"7G", 0x7},
      {"G1", 0},    {"$$1", 0},   {"", 0},       {"00007E00", 0x7E00}};
  for (const auto& [text, value] : cases) EXPECT_EQ(parseHexPrefix(text), value) << text;
  for (const char* good : {"0B", "0c", "7", "ff", "Ab"}) EXPECT_TRUE(isTypeIdText(good)) << good;
  for (const char* bad : {"", "007", "G1", "0x", "$0B", " 7", "7 "}) {
    EXPECT_FALSE(isTypeIdText(bad)) << '"' << bad << '"';
  }
}

TEST(GbkText, UpperCasingTrimmingAndCuttingRespectDoubleByteCharacters) {
  EXPECT_EQ(upperCased("data-1 z"), "DATA-1 Z");
  // "\xB0\x61" is one double-byte character whose trail byte happens to be 'a'.
  EXPECT_EQ(upperCased("x\xB0\x61y"), "X\xB0\x61Y");
  EXPECT_EQ(trimmed(std::string("\0 A B \t\0", 9)), "A B");
  EXPECT_EQ(trimmed("           "), "");
  EXPECT_EQ(cutGbk("short", 11), "short");
  // Ten ASCII bytes and a Chinese character: the character does not fit in 11 bytes.
  EXPECT_EQ(cutGbk("0123456789数", 11), "0123456789");
  EXPECT_EQ(cutGbk("数据数据数据", 11), "数据数据数");
  // A trail byte in the lead-byte range is not taken for a lead byte.
  EXPECT_EQ(cutGbk("\xB0\xB0\xB0\xB0x", 3), "\xB0\xB0");
}

}  // namespace
}  // namespace quenbolt

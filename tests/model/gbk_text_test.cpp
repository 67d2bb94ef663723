#include "model/gbk_text.h"

#include <gtest/gtest.h>

namespace quenbolt {
namespace {

TEST(OffsetText, SplitsHighAndLowHalvesAsFourAndEightDigits) {
  EXPECT_EQ(offsetText(63u * 512), "000000007E00");
  EXPECT_EQ(offsetText(0x100000000ull), "000100000000");
  EXPECT_EQ(offsetText(0xFFFFFE00ull + 63u * 512), "000100007C00");
  EXPECT_EQ(offsetText(0), "000000000000");
  // Above 2^48 the high half simply grows; nothing is cut.
  EXPECT_EQ(offsetText(0x123456789ABCDEF0ull), "123456789ABCDEF0");
}

TEST(HexRule, ReadsLeadingDigitsOfEitherCaseAfterOneDollar) {
  EXPECT_EQ(parseHexPrefix("0B"), 0x0Bu);
  EXPECT_EQ(parseHexPrefix("1c"), 0x1Cu);
  EXPECT_EQ(parseHexPrefix("$FF"), 0xFFu);
  EXPECT_EQ(parseHexPrefix("7G"), 0x7u);
  EXPECT_EQ(parseHexPrefix("G1"), 0u);
  EXPECT_EQ(parseHexPrefix("$$1"), 0u);
  EXPECT_EQ(parseHexPrefix(""), 0u);
  EXPECT_EQ(parseHexPrefix("00007E00"), 0x7E00u);
}

TEST(HexRule, OnlyOneOrTwoDigitsAreATypeId) {
  for (const char* good : {"0B", "0c", "7", "ff", "Ab"}) EXPECT_TRUE(isTypeIdText(good)) << good;
  for (const char* bad : {"", "007", "G1", "0x", "$0B", " 7", "7 "}) {
    EXPECT_FALSE(isTypeIdText(bad)) << '"' << bad << '"';
  }
}

TEST(Capacity, RoundsHalvesToTheEvenNeighbour) {
  EXPECT_EQ(capacityText(1024), "0");
  EXPECT_EQ(capacityText(3072), "2");
  EXPECT_EQ(capacityText(5120), "2");
  EXPECT_EQ(capacityText(2047), "1");
  EXPECT_EQ(capacityText(0xFFFFFFFFull), "2097152");
  EXPECT_EQ(megabytesText(3ull << 30), "3072");
  EXPECT_EQ(megabytesText(3ull << 19), "2");  // 1.5 MB
  EXPECT_EQ(megabytesText(5ull << 19), "2");  // 2.5 MB
  EXPECT_EQ(divideRoundHalfEven(~0ull, 2), 0x8000000000000000ull);
}

TEST(UpperCasing, ChangesOnlySingleByteLetters) {
  EXPECT_EQ(upperCased("data-1 z"), "DATA-1 Z");
  // "\xB0\x61" is one double-byte character whose trail byte happens to be 'a'.
  EXPECT_EQ(upperCased("x\xB0\x61y"), "X\xB0\x61Y");
  EXPECT_EQ(upperCased("数据disk"), "数据DISK");
}

TEST(Trimming, RemovesBlanksNulAndControlBytesAtBothEnds) {
  EXPECT_EQ(trimmed(std::string("\0 DATA \t\0", 9)), "DATA");
  EXPECT_EQ(trimmed("  A B  "), "A B");
  EXPECT_EQ(trimmed("           "), "");
}

TEST(GbkCut, NeverLeavesALoneLeadByte) {
  EXPECT_EQ(cutGbk("my new label", 11), "my new labe");
  EXPECT_EQ(cutGbk("short", 11), "short");
  // Ten ASCII bytes and a Chinese character: the character does not fit in 11 bytes.
  EXPECT_EQ(cutGbk("0123456789数", 11), "0123456789");
  EXPECT_EQ(cutGbk("数据数据数据", 11), "数据数据数");
  // A trail byte in the lead-byte range is not taken for a lead byte.
  EXPECT_EQ(cutGbk("\xB0\xB0\xB0\xB0x", 3), "\xB0\xB0");
}

}  // namespace
}  // namespace quenbolt

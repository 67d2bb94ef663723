#include "model/gbk_text.h"
#include <gtest/gtest.h>

namespace quenbolt {
namespace {
TEST(NumberText, OffsetsAreFourHighAndEightLowDigitsAndMegabytesRoundHalvesToEven) {
  const std::pair<std::uint64_t, const char*> offsets[] = {
      {0, "000000000000"},
      {0x7E00, "000000007E00"},
      {0x100007C00, "000100007C00"},
      {0x1000000007E00, "1000000007E00"},
      {0x123456789ABCDEF0, "123456789ABCDEF0"}};
  for (const auto& [offset, text] : offsets)
    EXPECT_TRUE(offsetText(offset) == text && parseOffsetText(text) == offset) << text;
  EXPECT_EQ(parseOffsetText("0000fffffe00"), 0xFFFFFE00u);
  // The lenient hex rule would read these as some offset, "00000000ZZZZ" as the MBR's.
  for (const char* text :
       {"00000000ZZZZ", "", "7E00", "0000 0007E00", "$00000007E00", "00000000000000007E00"})
    EXPECT_FALSE(parseOffsetText(text)) << text;
  // Sectors to whole MB: 0.5 -> 0, 1.5 -> 2, 2.5 -> 2, 2.5 and a sector -> 3; no overflow at the
  // top; the same with sectors of 4096 bytes, 256 to a MB.
  const std::pair<std::uint64_t, const char*> sizes[] = {
      {1024, "0"}, {1025, "1"}, {3072, "2"}, {5120, "2"}, {5121, "3"}, {0xFFFFFFFF, "2097152"}};
  for (const auto& [sectors, text] : sizes) EXPECT_EQ(capacityText(sectors, 512), text) << sectors;
  for (const auto& [sectors, text] : sizes)
    EXPECT_EQ(capacityText(sectors / 8 + (sectors % 8 != 0), 4096), text) << sectors;
  EXPECT_TRUE(megabytesText(5 << 19) == "2" &&
              divideRoundHalfEven(~0ull, 2) == 0x8000000000000000u);
}

TEST(GbkText, TypeIdsAreOneOrTwoHexDigitsAndCutsKeepDoubleByteCharactersWhole) {
  const std::pair<const char*, std::uint32_t> prefixes[] = {
      {"0B", 0x0B}, {"1c", 0x1C}, {"$FF", 0xFF}, {"7G", 7}, {"G1", 0}, {"$$1", 0}, {"", 0}};
  for (const auto& [text, value] : prefixes) EXPECT_EQ(parseHexPrefix(text), value) << text;
  for (const char* good : {"0B", "0c", "7", "ff"}) EXPECT_TRUE(isTypeIdText(good)) << good;
  for (const char* bad : {"", "007", "G1", "0x", "$0B", " 7", "7 "})
    EXPECT_FALSE(isTypeIdText(bad)) << bad;
  EXPECT_EQ(upperCased("data-1 z\xB0\x61"),
            "DATA-1 Z\xB0\x61");  // B0 61 is one character whose trail is 'a'
  EXPECT_EQ(trimmed(std::string("\0 A B \t\0", 9)), "A B");
  const std::pair<const char*, const char*> cuts[] = {{"0123456789数", "0123456789"},
                                                      {"数据数据数据", "数据数据数"},
                                                      {"ABCDEFGHIJK", "ABCDEFGHIJK"}};
  for (const auto& [text, cut] : cuts) EXPECT_EQ(cutGbk(text, 11), cut) << text;
  EXPECT_EQ(cutGbk("\xB0\xB0\xB0\xB0x", 3),
            "\xB0\xB0");  // a trail byte that looks like a lead byte
}
}  // namespace
}  // namespace quenbolt

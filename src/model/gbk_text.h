#pragma once
// Text helpers on GBK bytes (code page 936). All system text is a byte string in GBK.

#include <cstdint>
#include <optional>
#include <string>

namespace quenbolt {

// True for a byte that starts a GBK double-byte character (0x81 to 0xFE).
bool isGbkLeadByte(unsigned char byte);

// The byte as two upper-case hexadecimal digits: 0x0B -> "0B".
std::string hex2(std::uint8_t byte);

// A byte offset as the high 32 bits in upper-case hex with at least 4 digits followed by the low
// 32 bits in exactly 8: 0x7E00 -> "000000007E00", 0x100007C00 -> "000100007C00".
std::string offsetText(std::uint64_t offset);

// The offset an offsetText names: the last 8 hex digits are the low 32 bits, the 4 to 8 before
// them the high 32 bits. nullopt for any other text, which the program never wrote and which the
// lenient rule below would read as a wrong offset ("00000000ZZZZ" as 0, the MBR).
std::optional<std::uint64_t> parseOffsetText(const std::string& text);

// The lenient hexadecimal reading used for type IDs and offset halves: one leading '$' is
// skipped, then hex digits of either case accumulate until the first other character.
// "0B" -> 0x0B, "1c" -> 0x1C, "G1" -> 0, "" -> 0.
std::uint32_t parseHexPrefix(const std::string& text);

// True when `text` is one or two hexadecimal digits of either case: the only type-ID texts that
// can be written to a disk without guessing.
bool isTypeIdText(const std::string& text);

// numerator / denominator rounded to the nearest whole number, halves to the even neighbour.
std::uint64_t divideRoundHalfEven(std::uint64_t numerator, std::uint64_t denominator);

// A count of `sectorSize`-byte sectors as whole MB, halves to even, in decimal: 3072 sectors of
// 512 bytes -> "2".
std::string capacityText(std::uint64_t sectorCount, std::size_t sectorSize);

// A byte count as whole MB (1024 * 1024 bytes), halves to even, in decimal.
std::string megabytesText(std::uint64_t bytes);

// Upper-cases the single-byte letters a to z. Both bytes of a double-byte character stay as
// they are, so a Chinese label never turns into other characters. ASCII text is upper-cased
// byte by byte.
std::string upperCased(const std::string& text);

// Removes bytes up to 0x20 (blank, NUL, control bytes) from both ends.
std::string trimmed(const std::string& text);

// The first `maxBytes` bytes of `text`, one byte fewer when the cut would leave the lead byte
// of a double-byte character alone at the end.
std::string cutGbk(const std::string& text, std::size_t maxBytes);

// Decimal text of a number, without separators.
std::string decimalText(std::uint64_t value);

// The byte the platform puts where text it converts to GBK held a character GBK cannot hold. It is
// never part of GBK text (no lead byte, no single-byte character), so such text can be refused
// rather than written with a question mark where the character was.
constexpr char kNoGbkCharacter = '\xFF';
bool holdsNoGbkCharacter(const std::string& text);

}  // namespace quenbolt

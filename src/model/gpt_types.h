#pragma once
// The partition type GUIDs the program names: the four-hex-digit code GPT tools show for each, and
// a Chinese name for the format column. One table, here and nowhere else.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quenbolt {

// A GUID as stored on disk: its first three fields little-endian, the last eight bytes in order.
using Guid = std::array<std::uint8_t, 16>;

// The usual text of a GUID, upper case: "C12A7328-F81F-11D2-BA4B-00A0C93EC93B".
std::string guidText(const Guid& guid);

// The type column of a GPT row: the four-hex-digit code of a known type GUID ("EF00", "0700"), or
// for any other GUID its whole 36-character text, which no code and no MBR type ID can equal.
std::string gptTypeCode(const Guid& type);

// The format column of a GPT row: the Chinese name of a known type GUID ("EFI 系统分区"); empty for
// any other GUID, as for an MBR type ID the catalogue lacks.
std::string gptTypeName(const Guid& type);

// The type GUID a text names: a four-hex-digit code of the table above (either case), or a whole
// GUID in its usual 36-character text (either case). Nothing for any other text, and nothing for
// the all-zero GUID, which marks an entry unused: written, it would delete the partition.
std::optional<Guid> gptTypeOf(const std::string& text);

// The drop-down texts for a GPT row, code + "|" + name, in the table's order.
std::vector<std::string> gptTypeChoiceEntries();

}  // namespace quenbolt

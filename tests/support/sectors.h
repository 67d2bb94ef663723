#pragma once
// The sectors tests lay onto disks, written field by field as the on-disk formats define them, and
// the few text helpers the test code shares.

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include "model/sector.h"

namespace quenbolt {
inline std::string le(std::uint64_t value, unsigned bytes) {  // `bytes` little-endian bytes of `value`
  std::string out;
  for (unsigned i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
  return out;
}

inline void place(Sector& sector, std::size_t at, const std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size() && at + i < sector.size(); ++i) sector[at + i] = static_cast<std::uint8_t>(bytes[i]);
}

// One partition table entry: slot 0 to 3, boot indicator, type, start sector, sector count.
struct Entry { unsigned slot; std::uint8_t boot, type; std::uint32_t start, count; };

// An MBR or EBR holding `entries` and, unless told otherwise, the signature 55 AA.
inline Sector table(std::initializer_list<Entry> entries, bool signature = true) {
  Sector s{};
  for (const Entry& e : entries) place(s, 0x1BE + 16 * e.slot, le(e.boot, 4) + static_cast<char>(e.type) + le(0, 3) + le(e.start, 4) + le(e.count, 4));
  if (signature) place(s, 0x1FE, "\x55\xAA");
  return s;
}

// A FAT32 boot sector: 512-byte sectors, 8 to a cluster, 32 reserved ones, two FATs of 1024 sectors,
// the root directory in cluster 2 (kFat32RootSector sectors in), BPB_BkBootSec `backup` (0: none);
// `label` at 0x47 as given, blank-padded, not upper-cased.
constexpr std::uint64_t kFat32RootSector = 32 + 2 * 1024;
inline Sector fat32Boot(const std::string& label, unsigned backup = 0) {
  Sector s{};
  place(s, 0, "\xEB\x58\x90MSDOS5.0" + le(512, 2) + "\x08" + le(32, 2) + "\x02");
  place(s, 0x24, le(1024, 4) + le(0, 4) + le(2, 4) + le(0, 2) + le(backup, 2));
  place(s, 0x42, "\x29" + le(0x1234ABCD, 4) + (label + std::string(11, ' ')).substr(0, 11) + "FAT32   ");
  place(s, 0x1FE, "\x55\xAA");
  return s;
}

inline Sector ntfsBoot() {  // no label field at all
  Sector s{};
  place(s, 0, "\xEB\x52\x90NTFS    " + le(512, 2) + "\x08");
  place(s, 0x1FE, "\x55\xAA");
  return s;
}

// a to z upper-cased; both bytes of a double-byte GBK character stay as they are.
inline std::string upperAscii(std::string text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x81 && static_cast<unsigned char>(text[i]) <= 0xFE) ++i;
    else if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 32);
  }
  return text;
}

inline std::string hexText(std::uint64_t value) {  // "0x1BE"
  char text[24];
  return std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value)), text;
}
}  // namespace quenbolt

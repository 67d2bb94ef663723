#pragma once
// A small machine with the kinds of rows the writers meet, scanned for real, so that tests edit
// the same stores the program edits.
//
//   disk 0 (1 GiB)  MBR slot 0  07 active  C:  NTFS        row 0  "1" "主，活动"
//                       slot 1  0B         D:  FAT32 "OLD"  row 1  "2" "主"
//                       slot 2  05 container                row 2  ""  "扩展"
//                         EBR 1  07 (no letter)             row 3  "3" "逻辑"
//                         EBR 2  0B        E:  FAT32 "LOGIC" row 4 "4" "逻辑"
//                       slot 3  0C (no letter) FAT32 "HIDDEN" row 5 "5" "主"
//   disk 1 (512 MiB) MBR slot 0 0C       F:  FAT32 "SPARE"  row 6  "1" "主"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "discovery/partition_list.h"
#include "discovery/scan_disks.h"
#include "model/type_catalogue.h"
#include "support/simulated_machine.h"
#include "support/table_sector_builder.h"

namespace quenbolt {
namespace bench {

constexpr std::uint64_t kSector = 512;
constexpr std::uint64_t kMbr = 0;
constexpr std::uint64_t kExtendedBase = 411648 * kSector;
constexpr std::uint64_t kEbr1 = kExtendedBase;
constexpr std::uint64_t kEbr2 = kExtendedBase + 100100 * kSector;
constexpr std::uint64_t kBootC = 2048 * kSector;
constexpr std::uint64_t kBootD = 206848 * kSector;
constexpr std::uint64_t kBootLogical1 = kEbr1 + 63 * kSector;
constexpr std::uint64_t kBootE = kEbr2 + 63 * kSector;
constexpr std::uint64_t kBootHidden = 821248 * kSector;
constexpr std::uint64_t kBootF = 2048 * kSector;

enum Row : std::size_t {
  kRowC = 0,
  kRowD,
  kRowContainer,
  kRowLogical,
  kRowE,
  kRowUnlettered,
  kRowF,
  kRowCount
};

// Offset of a byte of MBR/EBR entry `slot`.
constexpr std::uint64_t typeByte(std::uint64_t table, unsigned slot) {
  return table + 0x1C2 + 16 * slot;
}
constexpr std::uint64_t bootIndicator(std::uint64_t table, unsigned slot) {
  return table + 0x1BE + 16 * slot;
}

using Disks = std::map<unsigned, DiskSnapshot>;

// `snapshot` with `bytes` stored at `offset` (keeps the rule that all-zero sectors are absent).
inline DiskSnapshot withBytes(DiskSnapshot snapshot, std::uint64_t offset, const std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::uint64_t at = offset + i;
    Sector& sector = snapshot.sectors[at / kSector];  // a new sector starts as zeros
    sector[at % kSector] = static_cast<std::uint8_t>(bytes[i]);
    bool zero = true;
    for (std::uint8_t b : sector) zero = zero && b == 0;
    if (zero) snapshot.sectors.erase(at / kSector);
  }
  return snapshot;
}

inline std::string byteText(std::uint8_t value) { return std::string(1, static_cast<char>(value)); }

// An offset as the access journal writes it: "0x7E00".
inline std::string hexOf(std::uint64_t offset) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(offset));
  return text;
}

// The journal lines of a read that found the sector unfit and wrote nothing.
inline std::vector<std::string> readOnly(unsigned disk, std::uint64_t offset) {
  const std::string d = std::to_string(disk);
  return {"open " + d + " readwrite ok", "read " + d + " " + hexOf(offset) + " 512", "close " + d};
}

// The journal lines of one read-modify-write of the sector at `offset`.
inline std::vector<std::string> readModifyWrite(unsigned disk, std::uint64_t offset) {
  const std::string hex = hexOf(offset);
  const std::string d = std::to_string(disk);
  return {"open " + d + " readwrite ok", "read " + d + " " + hex + " 512",
          "write " + d + " " + hex + " 512", "close " + d};
}

inline std::vector<std::string> concat(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The journal without cursor changes, which every writer brackets its work with.
inline std::vector<std::string> diskAndLabelJournal(const SimulatedMachine& machine) {
  std::vector<std::string> lines;
  for (const std::string& line : machine.journal()) {
    if (line.rfind("cursor ", 0) != 0) lines.push_back(line);
  }
  return lines;
}

MATCHER_P3(IsFailure, row, kind, reason, "") {
  return arg.row == static_cast<std::size_t>(row) && arg.kind == kind && arg.reason == reason;
}

class EditingBench : public ::testing::Test {
 protected:
  EditingBench() : platform(machine.platform()) {
    SimulatedDisk& disk0 = machine.addDisk(0, 1ull << 30);
    TableSector mbr;
    for (std::size_t i = 0; i < 446; ++i) mbr.byte(i, static_cast<std::uint8_t>(i * 7 + 3));
    mbr.entry(0, 0x80, 0x07, 2048, 204800)
        .entry(1, 0x00, 0x0B, 206848, 204800)
        .entry(2, 0x00, 0x05, 411648, 409600)
        .entry(3, 0x00, 0x0C, 821248, 204800)
        .signature();
    disk0.setSector(kMbr, mbr);
    disk0.setSector(kEbr1, TableSector()
                               .entry(0, 0x00, 0x07, 63, 100000)
                               .entry(1, 0x00, 0x05, 100100, 100100)
                               .signature());
    disk0.setSector(kEbr2, TableSector().entry(0, 0x00, 0x0B, 63, 100000).signature());
    disk0.setSector(kBootC, ntfsBootSector());
    disk0.setSector(kBootD, fat32BootSector("OLD"));
    disk0.setSector(kBootLogical1, ntfsBootSector());
    disk0.setSector(kBootE, fat32BootSector("LOGIC"));
    disk0.setSector(kBootHidden, fat32BootSector("HIDDEN"));

    SimulatedDisk& disk1 = machine.addDisk(1, 1ull << 29);
    disk1.setSector(kMbr, TableSector().entry(0, 0x00, 0x0C, 2048, 204800).signature());
    disk1.setSector(kBootF, fat32BootSector("SPARE"));

    machine.setDiskCount(2);
    mount('C', 0, kBootC, "SYSTEM", "NTFS");
    mount('D', 0, kBootD, "OLD", "FAT32");
    mount('E', 0, kBootE, "LOGIC", "FAT32");
    mount('F', 1, kBootF, "SPARE", "FAT32");
    scan();
  }

  void mount(char letter, unsigned disk, std::uint64_t start, const std::string& label,
             const std::string& fileSystem) {
    SimulatedVolume volume;
    volume.disk = disk;
    volume.startOffset = start;
    volume.length = 204800 * kSector;
    volume.label = label;
    volume.fileSystem = fileSystem;
    machine.mountVolume(letter, volume);
  }

  // Scans, remembers every disk as it is now and forgets the scan's accesses.
  void scan() {
    scanDisks(platform, catalogue, list);
    before = disks();
    machine.clearLogs();
  }

  Disks disks() const {
    return {{0, machine.disk(0).snapshot()}, {1, machine.disk(1).snapshot()}};
  }

  // Every disk exactly as before, apart from `changes` (disk -> offset -> bytes).
  Disks beforeWith(const std::map<unsigned, std::map<std::uint64_t, std::string>>& changes) const {
    Disks expected = before;
    for (const auto& [disk, edits] : changes) {
      for (const auto& [offset, bytes] : edits) {
        expected[disk] = withBytes(expected[disk], offset, bytes);
      }
    }
    return expected;
  }

  void expectDisks(const Disks& expected) const {
    const Disks now = disks();
    for (const auto& [index, snapshot] : expected) {
      const std::vector<std::uint64_t> diff = differingOffsets(snapshot, now.at(index));
      EXPECT_TRUE(diff.empty()) << "disk " << index << " differs from the expected state at "
                                << diff.size() << " byte(s), first at 0x" << std::hex
                                << (diff.empty() ? 0 : diff.front());
    }
  }

  void expectDisksUnchanged() const { expectDisks(before); }

  PartitionRow& row(Row r) { return list.rows[r]; }

  SimulatedMachine machine;
  Platform platform;
  TypeCatalogue catalogue;
  PartitionList list;
  Disks before;
};

}  // namespace bench
}  // namespace quenbolt

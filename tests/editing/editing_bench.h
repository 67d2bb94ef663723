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

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "discovery/partition_list.h"
#include "discovery/scan_disks.h"
#include "editing/change_report.h"
#include "model/type_catalogue.h"
#include "support/simulated_machine.h"
#include "support/table_sector_builder.h"

namespace quenbolt {
namespace bench {

constexpr std::uint64_t kSector = 512, kMbr = 0;
constexpr std::uint64_t kEbr1 = 411648 * kSector, kEbr2 = kEbr1 + 100100 * kSector;
constexpr std::uint64_t kBootC = 2048 * kSector, kBootD = 206848 * kSector;
constexpr std::uint64_t kBootE = kEbr2 + 63 * kSector, kBootHidden = 821248 * kSector;
constexpr std::uint64_t kBootF = 2048 * kSector;

enum Row : std::size_t { kRowC, kRowD, kRowContainer, kRowLogical, kRowE, kRowUnlettered, kRowF, kRowCount };

constexpr std::uint64_t typeByte(std::uint64_t table, unsigned slot) { return table + 0x1C2 + 16 * slot; }
constexpr std::uint64_t bootIndicator(std::uint64_t table, unsigned slot) { return table + 0x1BE + 16 * slot; }

// One expected change: `bytes` at `offset` of disk `disk`.
struct ByteChange { unsigned disk; std::uint64_t offset; std::string bytes; };

inline std::string byteText(std::uint8_t value) { return std::string(1, static_cast<char>(value)); }

// The journal of one open-read-(write)-close of the sector at `offset` of `device` (a disk
// number, or a drive letter and ":" for a volume handle); `read` and `write` are what the journal
// says of them ("512", "failed", a short count), an empty `write` none at all.
inline std::vector<std::string> deviceCycle(const std::string& device, std::uint64_t offset,
                                            const std::string& read = "512",
                                            const std::string& write = "512") {
  char hex[24];
  std::snprintf(hex, sizeof hex, "0x%llX", static_cast<unsigned long long>(offset));
  const std::string at = " " + device + " " + hex + " ";
  std::vector<std::string> lines{"open " + device + " readwrite ok", "read" + at + read};
  if (!write.empty()) lines.push_back("write" + at + write);
  lines.push_back("close " + device);
  return lines;
}
inline std::vector<std::string> cycle(unsigned disk, std::uint64_t offset,
                                      const std::string& read = "512",
                                      const std::string& write = "512") {
  return deviceCycle(std::to_string(disk), offset, read, write);
}
// The boot sector of the volume behind `letter`, through its volume handle.
inline std::vector<std::string> bootCycle(char letter, const std::string& write = "512") {
  return deviceCycle(std::string(1, letter) + ":", 0, "512", write);
}
// A read that found the sector unfit and wrote nothing.
inline std::vector<std::string> readOnly(unsigned disk, std::uint64_t offset) {
  return cycle(disk, offset, "512", "");
}

// The root-directory label entry that Windows' FAT driver leaves on a volume whose boot sector
// fat32BootSector made: the first entry of its empty root directory, the name blank-padded,
// attribute 0x08.
inline ByteChange labelEntry(unsigned disk, std::uint64_t bootSector, std::string label) {
  label.resize(11, ' ');
  return {disk, bootSector + kFat32RootSector * kSector, label + "\x08"};
}

inline std::vector<std::string> concat(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

MATCHER_P3(IsFailure, row, kind, reason, "") {
  return arg.row == static_cast<std::size_t>(row) && arg.kind == kind && arg.reason == reason;
}

class EditingBench : public ::testing::Test {
 protected:
  EditingBench() : platform(machine.platform()) {
    SimulatedDisk& disk0 = machine.addDisk(0, 1ull << 30);
    TableSector mbr;  // boot code that every write must carry over unchanged
    for (std::size_t i = 0; i < 446; ++i) mbr.byte(i, static_cast<std::uint8_t>(i * 7 + 3));
    disk0.setSector(kMbr, mbr.entry(0, 0x80, 0x07, 2048, 204800)
                              .entry(1, 0x00, 0x0B, 206848, 204800)
                              .entry(2, 0x00, 0x05, 411648, 409600)
                              .entry(3, 0x00, 0x0C, 821248, 204800)
                              .signature());
    disk0.setSector(kEbr1, TableSector()
                               .entry(0, 0x00, 0x07, 63, 100000)
                               .entry(1, 0x00, 0x05, 100100, 100100)
                               .signature());
    disk0.setSector(kEbr2, TableSector().entry(0, 0x00, 0x0B, 63, 100000).signature());
    disk0.setSector(kBootC, ntfsBootSector());
    disk0.setSector(kBootD, fat32BootSector("OLD"));
    disk0.setSector(kEbr1 + 63 * kSector, ntfsBootSector());
    disk0.setSector(kBootE, fat32BootSector("LOGIC"));
    disk0.setSector(kBootHidden, fat32BootSector("HIDDEN"));
    SimulatedDisk& disk1 = machine.addDisk(1, 1ull << 29);
    disk1.setSector(kMbr, TableSector().entry(0, 0x00, 0x0C, 2048, 204800).signature());
    disk1.setSector(kBootF, fat32BootSector("SPARE"));

    machine.setDiskCount(2);
    const struct { char letter; unsigned disk; std::uint64_t start; const char* label; } volumes[] = {
        {'C', 0, kBootC, "SYSTEM"}, {'D', 0, kBootD, "OLD"}, {'E', 0, kBootE, "LOGIC"}, {'F', 1, kBootF, "SPARE"}};
    for (const auto& v : volumes) {
      SimulatedVolume volume;
      volume.disk = v.disk;
      volume.startOffset = v.start;
      volume.length = 204800 * kSector;
      volume.label = v.label;
      volume.fileSystem = v.letter == 'C' ? "NTFS" : "FAT32";
      machine.mountVolume(v.letter, volume);
    }
    scan();
  }

  // Scans, remembers every disk as it is now and forgets the scan's accesses.
  void scan() {
    scanDisks(platform, catalogue, list);
    ASSERT_EQ(list.size(), kRowCount);
    remember();
    machine.clearLogs();
  }

  // Both disks exactly as at the last scan (or the last `remember`), apart from `changes`.
  void expectOnly(const std::vector<ByteChange>& changes = {}) const {
    for (unsigned index : {0u, 1u}) {
      DiskSnapshot expected = before[index];
      for (const ByteChange& c : changes) {
        for (std::size_t i = 0; c.disk == index && i < c.bytes.size(); ++i) {
          expected.sectors[(c.offset + i) / kSector][(c.offset + i) % kSector] =
              static_cast<std::uint8_t>(c.bytes[i]);
        }
      }
      const std::vector<std::uint64_t> diff = differingOffsets(expected, machine.disk(index).snapshot());
      EXPECT_TRUE(diff.empty()) << "disk " << index << " differs from the expected state at "
                                << diff.size() << " byte(s), first at 0x" << std::hex
                                << (diff.empty() ? 0 : diff.front());
    }
  }
  void remember() { before = {machine.disk(0).snapshot(), machine.disk(1).snapshot()}; }

  // The journal without cursor changes, which every writer brackets its work with.
  std::vector<std::string> journal() const {
    std::vector<std::string> lines;
    for (const std::string& line : machine.journal()) {
      if (line.rfind("cursor ", 0) != 0) lines.push_back(line);
    }
    return lines;
  }

  PartitionRow& row(Row r) { return list.rows[r]; }

  SimulatedMachine machine;
  Platform platform;
  TypeCatalogue catalogue;
  PartitionList list;
  std::vector<DiskSnapshot> before;
};

}  // namespace bench
}  // namespace quenbolt

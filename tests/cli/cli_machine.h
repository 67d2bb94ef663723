#pragma once
// A machine as a batch run finds it after start-up (scan, temporary letters, scan), and a way to
// run one command line on it and see exactly which bytes of which disk changed.
//
//   disk 0 (1 GiB)  MBR slot 0  07 active  C:  NTFS           row 0  "1" "主，活动"  system 1
//                       slot 1  0F container                   row 1  ""  "扩展"
//                         EBR 1  07  temporary letter, NTFS    row 2  "2" "逻辑"     system 3
//                         EBR 2  0B  E:  FAT32 "LOGIC"         row 3  "3" "逻辑"     system 4
//                       slot 2  empty
//                       slot 3  0B  D:  FAT32 "DATA0"          row 4  "4" "主"       system 2
//   disk 1 (512 MiB) MBR slot 0  0C  F:  FAT32 "SPARE"          row 5  "1" "主"       system 1
//                       slot 1  07  no letter                  row 6  "2" "主"       system 2

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "discovery/partition_list.h"
#include "discovery/startup_scan.h"
#include "model/type_catalogue.h"
#include "support/simulated_machine.h"
#include "support/table_sector_builder.h"

namespace quenbolt {
namespace cli_test {

constexpr std::uint64_t kSector = 512;
constexpr std::uint64_t kMbr = 0;
constexpr std::uint64_t kEbr1 = 206848 * kSector;
constexpr std::uint64_t kEbr2 = kEbr1 + 100100 * kSector;
constexpr std::uint64_t kBootC = 2048 * kSector;
constexpr std::uint64_t kBootLogical = kEbr1 + 63 * kSector;
constexpr std::uint64_t kBootE = kEbr2 + 63 * kSector;
constexpr std::uint64_t kBootD = 616448 * kSector;
constexpr std::uint64_t kBootF = 2048 * kSector;
constexpr std::uint64_t kBootUnlettered = 206848 * kSector;

constexpr std::uint64_t kLabelField = 0x47;  // FAT32 boot-sector label, 11 bytes

enum Row : std::size_t {
  kRowC, kRowContainer, kRowLogical, kRowE, kRowD, kRowF, kRowUnlettered, kRowCount
};

constexpr std::uint64_t typeByte(std::uint64_t table, unsigned slot) {
  return table + 0x1C2 + 16 * slot;
}
constexpr std::uint64_t bootIndicator(std::uint64_t table, unsigned slot) {
  return table + 0x1BE + 16 * slot;
}

// One expected change: `bytes` at `offset` of disk `disk`.
struct ByteChange {
  unsigned disk;
  std::uint64_t offset;
  std::string bytes;
};

inline std::string byteText(std::uint8_t value) { return std::string(1, static_cast<char>(value)); }

class BatchRun : public ::testing::Test {
 protected:
  BatchRun() : platform(machine.platform()) {
    SimulatedDisk& disk0 = machine.addDisk(0, 1ull << 30);
    disk0.setSector(kMbr, TableSector()
                              .entry(0, 0x80, 0x07, 2048, 204800)
                              .entry(1, 0x00, 0x0F, 206848, 409600)
                              .entry(3, 0x00, 0x0B, 616448, 204800)
                              .signature());
    disk0.setSector(kEbr1, TableSector()
                               .entry(0, 0x00, 0x07, 63, 100000)
                               .entry(1, 0x00, 0x05, 100100, 100100)
                               .signature());
    disk0.setSector(kEbr2, TableSector().entry(0, 0x00, 0x0B, 63, 100000).signature());
    disk0.setSector(kBootC, ntfsBootSector());
    disk0.setSector(kBootLogical, ntfsBootSector());
    disk0.setSector(kBootE, fat32BootSector("LOGIC"));
    disk0.setSector(kBootD, fat32BootSector("DATA0"));

    SimulatedDisk& disk1 = machine.addDisk(1, 1ull << 29);
    disk1.setSector(kMbr, TableSector()
                              .entry(0, 0x00, 0x0C, 2048, 204800)
                              .entry(1, 0x00, 0x07, 206848, 100000)
                              .signature());
    disk1.setSector(kBootF, fat32BootSector("SPARE"));
    disk1.setSector(kBootUnlettered, ntfsBootSector());

    machine.setDiskCount(2);
    mount('C', 0, kBootC, "SYSTEM", "NTFS");
    mount('D', 0, kBootD, "DATA0", "FAT32");
    mount('E', 0, kBootE, "LOGIC", "FAT32");
    mount('F', 1, kBootF, "SPARE", "FAT32");
    // The first logical partition is reachable only once start-up gives it a letter; the
    // second primary of disk 1 never is.
    machine.addPartitionDevice(0, 3, volumeAt(0, kBootLogical, "WORK", "NTFS"));

    scanWithTemporaryLetters(platform, catalogue, list, letters);
    before = {{0, machine.disk(0).snapshot()}, {1, machine.disk(1).snapshot()}};
    machine.clearLogs();
  }

  static SimulatedVolume volumeAt(unsigned disk, std::uint64_t start, const std::string& label,
                                  const std::string& fileSystem) {
    SimulatedVolume volume;
    volume.disk = disk;
    volume.startOffset = start;
    volume.length = 100000 * kSector;
    volume.label = label;
    volume.fileSystem = fileSystem;
    volume.freeBytes = 10 * 1024 * 1024;
    return volume;
  }

  void mount(char letter, unsigned disk, std::uint64_t start, const std::string& label,
             const std::string& fileSystem) {
    machine.mountVolume(letter, volumeAt(disk, start, label, fileSystem));
  }

  // Runs the command step as the program does for this command line (after the program name).
  CommandResult run(const std::string& arguments) {
    return runCommandStep(platform, list, splitCommandLine("Quenbolt.exe " + arguments));
  }

  // Every disk exactly as before the command, apart from `changes`.
  void expectDisks(const std::vector<ByteChange>& changes) const {
    std::map<unsigned, std::map<std::uint64_t, std::uint8_t>> expected;
    for (const ByteChange& change : changes) {
      for (std::size_t i = 0; i < change.bytes.size(); ++i) {
        expected[change.disk][change.offset + i] = static_cast<std::uint8_t>(change.bytes[i]);
      }
    }
    for (const auto& [index, snapshot] : before) {
      const DiskSnapshot now = machine.disk(index).snapshot();
      std::vector<std::uint64_t> wanted;
      for (const auto& [offset, value] : expected[index]) {
        if (machine.disk(index).byte(offset) != value) {
          ADD_FAILURE() << "disk " << index << " byte 0x" << std::hex << offset << " is 0x"
                        << int(machine.disk(index).byte(offset)) << ", expected 0x" << int(value);
        }
      }
      for (std::uint64_t offset : differingOffsets(snapshot, now)) {
        if (expected[index].count(offset) == 0) {
          ADD_FAILURE() << "disk " << index << " changed at 0x" << std::hex << offset;
        }
      }
    }
  }

  void expectDisksUnchanged() const { expectDisks({}); }

  // The 11-byte label field of a FAT32 boot sector holding `label`, blank-padded.
  static std::string labelField(const std::string& label) {
    std::string field = label;
    field.resize(11, ' ');
    return field;
  }

  std::vector<std::string> labelCalls() const {
    std::vector<std::string> calls;
    for (const PlatformCall& call : machine.calls(CallKind::SetLabel)) {
      calls.push_back(call.first + " " + call.second);
    }
    return calls;
  }

  SimulatedMachine machine;
  Platform platform;
  TypeCatalogue catalogue;
  PartitionList list;
  TempLetterList letters;
  std::map<unsigned, DiskSnapshot> before;
};

}  // namespace cli_test
}  // namespace quenbolt

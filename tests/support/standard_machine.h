#pragma once
// The machine most suites work on. C: is left free: temporary letters start at D:, so here at H:.
// disk 0 (1 GiB)   MBR slot 0  0C active  D: FAT32 "SYSTEM", backup boot sector 6  row 0 "1" sys 1
//                      slot 1  0F container                                       row 1 ""
//                      EBR 1   07         E: NTFS, a label of 40 bytes             row 2 "2" sys 4
//                      EBR 2   0B         F: FAT32 "LOGIC"                         row 3 "3" sys 5
//                      slot 2  1C         FAT32 "HIDDEN", reached by temporary H:  row 4 "4" sys 2
//                      slot 3  07         NTFS, no letter, none at temporary I:    row 5 "5" sys 3
// disk 1 (512 MiB) MBR slot 0  0C         G: FAT32 "SPARE"                         row 6 "1" sys 1
// The MBR of disk 0 carries boot code, which every write of it must keep.

#include "discovery/startup_scan.h"
#include "support/simulated_machine.h"

namespace quenbolt {
namespace standard {
using Lines = std::vector<std::string>;
constexpr std::uint64_t kEbr1 = 206848 * 512, kEbr2 = kEbr1 + 100100 * 512;
constexpr std::uint64_t kBootD = 2048 * 512, kBootE = kEbr1 + 63 * 512, kBootF = kEbr2 + 63 * 512;
constexpr std::uint64_t kBootH = 616448 * 512, kBootI = 821248 * 512, kBootG = 2048 * 512;
enum Row : std::size_t { rowD, rowExtended, rowE, rowF, rowH, rowI, rowG, rowCount };
inline const std::string kLongLabel = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";

// The type byte and the boot indicator of entry `slot` of the table sector at byte `at`.
constexpr std::uint64_t typeAt(std::uint64_t at, unsigned slot) { return at + 0x1C2 + 16 * slot; }
constexpr std::uint64_t bootAt(std::uint64_t at, unsigned slot) { return at + 0x1BE + 16 * slot; }

inline void build(SimulatedMachine& m) {
  SimulatedDisk& d0 = m.addDisk(0, 1ull << 30);
  Sector mbr = table({{0, 0x80, 0x0C, 2048, 204800},
                      {1, 0, 0x0F, 206848, 409600},
                      {2, 0, 0x1C, 616448, 204800},
                      {3, 0, 0x07, 821248, 204800}});
  for (std::size_t i = 0; i < 446; ++i) mbr[i] = static_cast<std::uint8_t>(i * 7 + 3);
  d0.put(0, mbr);
  d0.put(kEbr1, table({{0, 0, 0x07, 63, 100000}, {1, 0, 0x05, 100100, 100100}}));
  d0.put(kEbr2, table({{0, 0, 0x0B, 63, 100000}}));
  for (std::uint64_t at : {kBootD, kBootD + 6 * 512}) d0.put(at, fat32Boot("SYSTEM", 6));
  for (std::uint64_t at : {kBootE, kBootI}) d0.put(at, ntfsBoot());
  d0.put(kBootF, fat32Boot("LOGIC"));
  d0.put(kBootH, fat32Boot("HIDDEN"));
  m.addDisk(1, 1ull << 29).put(0, table({{0, 0, 0x0C, 2048, 204800}}));
  m.disks[1].put(kBootG, fat32Boot("SPARE"));
  m.letters['D'] = {0, kBootD, 204800 * 512, "SYSTEM", "FAT32", 10 << 20};
  m.letters['E'] = {0, kBootE, 100000 * 512, kLongLabel, "NTFS", 10 << 20};
  m.letters['F'] = {0, kBootF, 100000 * 512, "LOGIC", "FAT32", 10 << 20};
  m.letters['G'] = {1, kBootG, 204800 * 512, "SPARE", "FAT32", 10 << 20};
  m.partitionDevices[{0, 2}] = {0, kBootH, 204800 * 512, "HIDDEN", "FAT32", 10 << 20};
}

struct ByteChange {  // `bytes` at `offset` of disk `disk`
  unsigned disk;
  std::uint64_t offset;
  std::string bytes;
};

// The root-directory entry the FAT driver writes for `label` on a volume fat32Boot made.
inline ByteChange rootLabel(unsigned disk, std::uint64_t boot, const std::string& label) {
  return {disk, boot + kFat32RootSector * 512,
          (label + std::string(11, ' ')).substr(0, 11) + "\x08"};
}

inline Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
// The log of an open-read-write-close of the sector at `offset` through `device` ("0": disk 0,
// "D:": a volume), `read` and `write` as the log says them; an empty `write` for none.
inline Lines cycle(const std::string& device, std::uint64_t offset, const std::string& read = "512",
                   const std::string& write = "512") {
  const std::string at = " " + device + " " + hexText(offset) + " ";
  return Lines{"open " + device + " readwrite ok", "read" + at + read} +
         (write.empty() ? Lines{} : Lines{"write" + at + write}) + Lines{"close " + device};
}

// The machine after start-up's scan, temporary letters and second scan, its log emptied.
struct Bench {
  explicit Bench(void (*tweak)(SimulatedMachine&) = nullptr) {
    build(machine);
    if (tweak) tweak(machine);
    scanWithTemporaryLetters(platform, TypeCatalogue(), list, letters);
    before = machine.contents();
    machine.log.clear();
  }
  // Empty when the disks are as before apart from `changes`; else the first byte that is not.
  std::string unexpectedBytes(const std::vector<ByteChange>& changes) const {
    std::map<unsigned, DiskBytes> expected = before;
    for (const ByteChange& c : changes)
      for (std::size_t i = 0; i < c.bytes.size(); ++i)
        expected[c.disk][(c.offset + i) / 512][(c.offset + i) % 512] = c.bytes[i];
    const auto bytes = differingBytes(expected, machine.contents());
    if (bytes.empty()) return "";
    return "disk " + std::to_string(bytes[0].first) + " byte " + hexText(bytes[0].second);
  }

  SimulatedMachine machine;
  Platform platform = machine.platform();
  PartitionList list;
  TempLetterList letters;
  std::map<unsigned, DiskBytes> before;
};
}  // namespace standard
}  // namespace quenbolt

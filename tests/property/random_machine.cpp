#include "property/random_machine.h"

#include <algorithm>

#include "discovery/boot_sector_label_reader.h"
#include "model/disk_layout.h"
#include "model/gbk_text.h"
#include "support/table_sector_builder.h"

namespace quenbolt {
namespace hardening {

namespace {

constexpr std::uint64_t kSector = 512;

std::uint32_t randomStart(Chooser& c) {
  switch (c.below(9)) {
    case 0: return 63;
    case 1: return 2048 + 2048 * c.below(64);
    case 2: return 0x800000;  // exactly 4 GiB: the low half of the byte offset is 0
    case 3: return 0xFFFFFFFFu - c.below(4096);
    case 4: return 0x7FFFFF00u + c.below(512);
    case 5: return 0;
    case 6: return c.below(16);
    default: return c.word();
  }
}

std::uint32_t randomCount(Chooser& c) {
  switch (c.below(7)) {
    case 0: return 0;
    case 1: return 1024;
    case 2: return 2047;
    case 3: return 3072;
    case 4: return c.word();
    default: return 2048 * (1 + c.below(1000));
  }
}

std::uint8_t randomType(Chooser& c) {
  static const std::uint8_t kTypes[] = {0x05, 0x0F, 0x07, 0x0B, 0x0C, 0x1B, 0x1C,
                                        0xBC, 0x06, 0x00, 0x85, 0x17, 0x83};
  return c.chance(85) ? c.oneOf(kTypes) : c.byte();
}

std::uint8_t randomBoot(Chooser& c) {
  if (c.chance(70)) return 0x00;
  if (c.chance(90)) return 0x80;
  return c.byte();  // in entry 0 this invalidates the whole sector
}

std::uint8_t randomNonContainerType(Chooser& c) {
  const std::uint8_t type = randomType(c);
  // No retrying: a fuzzer's exhausted input answers the same forever.
  return isContainerType(type) ? 0x07 : type;
}

void fillRandom(Chooser& c, Sector& sector, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to; ++i) sector[i] = c.byte();
}

class DiskBuilder {
 public:
  DiskBuilder(Chooser& c, SimulatedMachine& machine, SimulatedDisk& disk)
      : c_(c), machine_(machine), disk_(disk) {}

  void build() {
    const std::uint32_t kind = c_.below(100);
    if (kind < 3) return;  // all zeros: no valid MBR
    if (kind < 6) {
      Sector garbage{};
      fillRandom(c_, garbage, 0, kSector);
      if (c_.chance(50)) garbage[0x1FE] = 0x55, garbage[0x1FF] = 0xAA;
      place(0, garbage);
    } else if (kind == 6) {
      longChain();
    } else {
      structured();
    }
  }

  void addVolumes(std::string& freeLetters) {
    for (std::size_t i = 0; i < partitions_.size() && i < 12; ++i) {
      if (!c_.chance(45) || freeLetters.empty()) continue;
      const char letter = freeLetters[c_.below(static_cast<std::uint32_t>(freeLetters.size()))];
      freeLetters.erase(freeLetters.find(letter), 1);
      machine_.mountVolume(letter, randomVolume(partitions_[i]));
    }
    // Devices for temporary letters: the system number they answer to is a guess, as it is for
    // a partition the walk numbers differently from the system.
    for (unsigned number = 1; number <= 8 && !partitions_.empty(); ++number) {
      if (!c_.chance(35)) continue;
      machine_.addPartitionDevice(disk_.index(), number, randomVolume(c_.oneOf(partitions_)));
    }
  }

 private:
  void place(std::uint64_t offset, const Sector& sector) {
    // A sector past the end is not stored: reading it comes back short, as on a real device.
    if (offset <= disk_.size() && disk_.size() - offset >= kSector) disk_.setSector(offset, sector);
  }

  SimulatedVolume randomVolume(std::uint64_t offset) {
    static const char* const kFileSystems[] = {"FAT32", "NTFS", "FAT"};
    SimulatedVolume volume;
    volume.disk = c_.chance(95) ? disk_.index() : c_.below(4);
    volume.startOffset = offset;
    volume.length = std::uint64_t{c_.word()} * kSector;
    volume.label = randomLabel(c_);
    volume.fileSystem = c_.oneOf(kFileSystems);
    volume.freeBytes = std::uint64_t{c_.word()} << c_.below(12);
    volume.driveType = c_.chance(90) ? kDriveFixed : kDriveRemovable;
    volume.extentQueryFails = c_.chance(4);
    volume.informationFails = c_.chance(4);
    volume.freeSpaceFails = c_.chance(4);
    volume.refusesLabel = c_.chance(8);
    return volume;
  }

  void structured() {
    TableSector mbr;
    if (c_.chance(20)) {
      Sector code{};
      fillRandom(c_, code, 0, 446);
      for (std::size_t i = 0; i < 446; ++i) mbr.byte(i, code[i]);
    }
    for (unsigned slot = 0; slot < 4; ++slot) {
      if (!c_.chance(65)) continue;
      const std::uint8_t type = randomType(c_);
      std::uint32_t start = randomStart(c_);
      if (isContainerType(type) && !containerStarts_.empty() && c_.chance(15)) {
        start = c_.oneOf(containerStarts_);  // two containers sharing one chain
      }
      mbr.entry(slot, randomBoot(c_), type, start, c_.chance(90) ? std::max(1u, randomCount(c_)) : 0);
      if (isContainerType(type)) {
        containerStarts_.push_back(start);
        chain(start);
      } else {
        partitions_.push_back(start * kSector);
      }
    }
    if (c_.chance(97)) mbr.signature();
    if (c_.chance(3)) mbr.byte(0x1BE, 0x01);  // entry 0's boot indicator invalidates the MBR
    place(0, mbr);
    bootSectors();
  }

  void chain(std::uint32_t start) {
    const std::uint64_t base = start * kSector;
    const unsigned count = c_.chance(90) ? c_.below(6) : c_.below(14);
    std::vector<std::uint32_t> links{0};
    for (unsigned k = 1; k < count; ++k) {
      links.push_back(c_.chance(85) ? links.back() + 2048 * (1 + c_.below(100)) : randomStart(c_));
    }
    for (unsigned k = 0; k < count; ++k) {
      TableSector ebr;
      const std::uint32_t relative = c_.chance(80) ? 63 : randomStart(c_);
      if (c_.chance(10)) {
        // A link in slot 0, counted from the container's start like every link.
        ebr.entry(0, randomBoot(c_), c_.chance(50) ? 0x05 : 0x0F, c_.oneOf(links), randomCount(c_));
      } else {
        ebr.entry(0, randomBoot(c_), randomNonContainerType(c_), relative, randomCount(c_));
        partitions_.push_back(base + links[k] * kSector + relative * kSector);
      }
      std::uint32_t next = k + 1 < count ? links[k + 1] : 0;
      if (c_.chance(10)) next = c_.oneOf(links);  // back to an EBR already walked
      if (c_.chance(4)) next = c_.word();
      ebr.entry(1, 0, c_.chance(50) ? 0x05 : 0x0F, next, randomCount(c_));
      if (c_.chance(92)) ebr.signature();
      place(base + links[k] * kSector, ebr);
    }
  }

  // One container whose chain is longer than the walk is willing to go.
  void longChain() {
    const std::uint32_t start = 2048;
    place(0, TableSector().entry(0, 0, 0x07, 63, 1000).entry(1, 0, 0x0F, start, 0x7FFFFFFF).signature());
    partitions_.push_back(63 * kSector);
    const unsigned count = static_cast<unsigned>(kMaxEbrReadsPerDisk) + 1 + c_.below(8);
    for (unsigned k = 0; k < count; ++k) {
      const std::uint32_t link = k * 4;
      place((start + link) * kSector, TableSector()
                                          .entry(0, 0, c_.chance(50) ? 0x07 : 0x0B, 2, 2)
                                          .entry(1, 0, 0x05, link + 4, 4)
                                          .signature());
    }
  }

  void bootSectors() {
    for (std::size_t i = 0; i < partitions_.size() && i < 12; ++i) {
      if (!c_.chance(60)) continue;
      Sector sector{};
      switch (c_.below(6)) {
        case 0:
        case 1:
          sector = fat32BootSector(randomLabel(c_));
          break;
        case 2:
          sector = fat32BootSector(randomLabel(c_));
          std::copy_n("fat32", 5, sector.begin() + 0x52);  // lower case counts as FAT32
          break;
        case 3:
          sector = fat16BootSector(randomLabel(c_));
          break;
        case 4:
          sector = ntfsBootSector();
          break;
        default:
          fillRandom(c_, sector, 0, kSector);
      }
      if (c_.chance(10)) std::fill_n(sector.begin() + 0x47 + c_.below(11), 1, 0);
      place(partitions_[i], sector);
    }
  }

  Chooser& c_;
  SimulatedMachine& machine_;
  SimulatedDisk& disk_;
  std::vector<std::uint64_t> partitions_;  // byte offsets of partitions (boot sectors)
  std::vector<std::uint32_t> containerStarts_;
};

}  // namespace

std::string randomLabel(Chooser& c) {
  static const char* const kLabels[] = {
      "", "DATA", "data", "New Label", "ABCDEFGHIJK", "ABCDEFGHIJKL", "数据",
      "ABCDEFGHIJ数据",  // the 11th byte is the lead byte of a double-byte character
      "中文卷标测试一二", " padded ", "a\"b", "x\ty", "backup 2"};
  if (c.chance(85)) return c.oneOf(kLabels);
  std::string bytes(c.below(20), '\0');
  for (char& b : bytes) b = static_cast<char>(c.byte());
  return bytes;
}

std::string randomTypeIdText(Chooser& c) {
  static const char* const kOdd[] = {"7", "c", "007", "", "G1", "0x", "\x81\x40", " 7", "$0B"};
  if (c.chance(80)) {
    std::string text = hex2(c.chance(50) ? randomType(c) : c.byte());
    const std::size_t at = c.below(2);
    if (c.chance(30) && text[at] >= 'A') text[at] = static_cast<char>(text[at] + 32);
    return text;
  }
  return c.oneOf(kOdd);
}

void buildRandomMachine(Chooser& chooser, SimulatedMachine& machine) {
  const unsigned disks = 1 + chooser.below(3);
  std::string freeLetters = "CDEFGHIJKLMNOPQRSTUVWXYZ";
  if (chooser.chance(10)) {
    machine.takeLetter('D', kDriveCdrom);
    freeLetters.erase(freeLetters.find('D'), 1);
  }
  static const std::uint64_t kSizes[] = {64ull << 20, 1ull << 30, 1ull << 41, 1ull << 43};
  for (unsigned index = 0; index < disks; ++index) {
    if (chooser.chance(3)) continue;  // listed in the registry, but it cannot be opened
    SimulatedDisk& disk = machine.addDisk(index, chooser.oneOf(kSizes));
    DiskBuilder builder(chooser, machine, disk);
    builder.build();
    builder.addVolumes(freeLetters);
  }
  if (chooser.chance(4)) {
    machine.setString("SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum", "Count", "2");
  } else {
    machine.setDiskCount(disks + (chooser.chance(5) ? 1 : 0));
  }
}

std::vector<std::string> plantRandomFaults(Chooser& c, SimulatedMachine& machine,
                                           const PartitionList& list,
                                           const std::vector<std::size_t>& targets) {
  std::vector<std::string> planted;
  if (list.size() == 0) return planted;
  const unsigned faults = c.below(5);
  for (unsigned f = 0; f < faults; ++f) {
    const std::size_t row = !targets.empty() && c.chance(75)
                                ? c.oneOf(targets)
                                : c.below(static_cast<std::uint32_t>(list.size()));
    if (row >= list.size()) continue;
    const long diskIndex = diskIndexOfRow(list.rows[row]);
    if (diskIndex < 0) continue;
    SimulatedDisk& disk = machine.disk(static_cast<unsigned>(diskIndex));
    const std::uint64_t table = list.TableSectorOffset[row];
    const std::uint64_t boot = parseOffsetText(list.BootSectorOffsetText[row]).value_or(0);
    const std::uint64_t offset = c.chance(60) ? table : boot;
    const unsigned nth = c.below(4);  // 0: every time
    auto inside = [&disk](std::uint64_t at) { return at <= disk.size() && disk.size() - at >= kSector; };
    const std::string where = "disk " + std::to_string(diskIndex) + " offset " + std::to_string(offset) +
                              " nth " + std::to_string(nth);
    switch (c.below(10)) {
      case 0:
        disk.failOpen(OpenFault::ReadWriteOnly, nth);
        planted.push_back("open fails on " + where);
        break;
      case 1:
        disk.failRead(offset, nth);
        planted.push_back("read fails at " + where);
        break;
      case 2: {
        const std::size_t bytes = c.below(512);
        disk.shortRead(offset, bytes, nth);
        planted.push_back("read of " + std::to_string(bytes) + " bytes at " + where);
        break;
      }
      case 3:
        disk.failWrite(offset, nth);
        planted.push_back("write fails at " + where);
        break;
      case 4: {
        const std::size_t bytes = c.below(512);
        disk.shortWrite(offset, bytes, nth);
        planted.push_back("write of " + std::to_string(bytes) + " bytes at " + where);
        break;
      }
      case 5:
        if (!inside(table)) break;
        disk.setBytes(table + list.TypeByteOffset[row] - (c.chance(50) ? 4 : 0), {c.byte()});
        planted.push_back("entry changed behind the scan at " + where);
        break;
      case 6:
        if (!inside(table)) break;
        disk.setBytes(table + 0x1FE, {0x00});
        planted.push_back("signature wiped behind the scan at " + where);
        break;
      case 7:
        if (!inside(boot)) break;
        disk.setBytes(boot + 0x52, {c.byte()});
        planted.push_back("boot sector type field changed at " + where);
        break;
      default: {
        const std::string& letter = list.rows[row][kDriveLetterColumn];
        if (letter.size() != 1) break;
        if (SimulatedVolume* volume = machine.volume(letter[0])) volume->refusesLabel = true;
        planted.push_back("volume " + letter + " refuses labels");
      }
    }
  }
  return planted;
}

std::string randomCommandLine(Chooser& c, const PartitionList& list,
                              std::vector<std::size_t>& targets) {
  static const char* const kWords[] = {"/M", "/F", "/L", "/S", "/A", "/m", "/f", "/l", "/s", "/a"};
  static const char* const kOddWords[] = {"/X", "/?", "/h", "/LIST", "M", "/MM", ""};
  static const char* const kNumbers[] = {"0", "1", "2", "5", "01", "-1", "+1", "x", "", "99999999999"};
  static const char* const kFlags[] = {"1", "0", "2", "yes"};
  const std::string word = c.chance(92) ? c.oneOf(kWords) : c.oneOf(kOddWords);
  const std::string upper = upperCased(word);

  std::vector<std::size_t> numbered;
  for (std::size_t row = 0; row < list.size(); ++row) {
    if (!list.rows[row][kPartitionColumn].empty()) numbered.push_back(row);
  }
  auto someId = [&]() -> std::string {
    if (list.size() > 0 && c.chance(60)) {
      const std::size_t row = c.below(static_cast<std::uint32_t>(list.size()));
      for (std::size_t other = 0; other < list.size(); ++other) {
        if (list.ScannedTypeId[other] == list.ScannedTypeId[row]) targets.push_back(other);
      }
      std::string id = list.ScannedTypeId[row];
      if (c.chance(20)) id = std::string(1, static_cast<char>(id[0])) + static_cast<char>(id[1] | 0x20);
      return id;
    }
    return randomTypeIdText(c);
  };

  std::vector<std::string> args{word};
  if (upper == "/M" || upper == "/L") {
    if (!numbered.empty() && c.chance(85)) {
      const std::size_t target = c.oneOf(numbered);
      targets.push_back(target);
      const PartitionRow& row = list.rows[target];
      args.push_back(row[kDiskColumn]);
      args.push_back(row[kPartitionColumn]);
    } else {
      args.push_back(c.oneOf(kNumbers));
      args.push_back(c.oneOf(kNumbers));
    }
    args.push_back(upper == "/M" ? (c.chance(75) ? hex2(randomType(c)) : someId()) : randomLabel(c));
  } else if (upper == "/A") {
    if (!list.PrimaryList.empty() && c.chance(85)) {
      const PrimaryRecord& record = c.oneOf(list.PrimaryList);
      targets.push_back(record.row);
      args.push_back((c.chance(20) ? "0" : "") + std::to_string(record.disk + 1));
      args.push_back(std::to_string(record.number));
    } else {
      args.push_back(c.oneOf(kNumbers));
      args.push_back(c.oneOf(kNumbers));
    }
    args.push_back(c.oneOf(kFlags));
  } else if (upper == "/F") {
    args.push_back(someId());
    args.push_back(c.chance(75) ? hex2(randomType(c)) : someId());
  } else if (upper == "/S") {
    args.push_back(someId());
    args.push_back(randomLabel(c));
  }
  if (c.chance(6)) args.push_back("extra");
  if (args.size() > 1 && c.chance(6)) args.pop_back();

  std::string line;
  for (const std::string& arg : args) {
    if (!line.empty()) line += c.chance(90) ? " " : "\t ";
    bool quote = arg.empty() || c.chance(15);
    for (char b : arg) quote = quote || static_cast<unsigned char>(b) <= 32;
    line += quote ? "\"" + arg + "\"" : arg;
  }
  return line;
}

}  // namespace hardening
}  // namespace quenbolt

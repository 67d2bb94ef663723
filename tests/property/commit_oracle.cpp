#include "property/commit_oracle.h"

#include <stdexcept>

#include "discovery/boot_sector_label_reader.h"
#include "model/fat32_boot_sector.h"
#include "model/gbk_text.h"
#include "model/partition_table.h"
#include "model/type_catalogue.h"

namespace quenbolt {
namespace hardening {

namespace {

constexpr std::uint64_t kSector = 512;

std::string hexText(std::uint64_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return "0x" + text;
}

const char* kindText(ChangeKind kind) {
  switch (kind) {
    case ChangeKind::TypeId: return "type ID";
    case ChangeKind::ActiveFlag: return "active flag";
    case ChangeKind::VolumeLabel: return "volume label";
    case ChangeKind::BootSectorLabel: return "boot-sector label";
    case ChangeKind::BackupBootSectorLabel: return "backup boot-sector label";
  }
  return "?";
}

std::string changeText(std::size_t row, ChangeKind kind) {
  return std::string(kindText(kind)) + " of row " + std::to_string(row);
}

std::uint8_t byteAt(const DiskSnapshots& disks, unsigned disk, std::uint64_t offset) {
  auto found = disks.find(disk);
  if (found == disks.end()) return 0;
  auto sector = found->second.sectors.find(offset / kSector);
  return sector == found->second.sectors.end() ? 0 : sector->second[offset % kSector];
}

Sector sectorAt(const DiskSnapshots& disks, unsigned disk, std::uint64_t offset) {
  Sector sector{};
  for (std::size_t i = 0; i < kSector; ++i) sector[i] = byteAt(disks, disk, offset + i);
  return sector;
}

bool holds(const DiskSnapshots& disks, const PlannedWrite& write) {
  for (std::size_t i = 0; i < write.bytes.size(); ++i) {
    if (byteAt(disks, write.disk, write.offset + i) != static_cast<std::uint8_t>(write.bytes[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace

DiskSnapshots snapshotDisks(const SimulatedMachine& machine) {
  DiskSnapshots disks;
  for (unsigned index = 0; index < 16; ++index) {
    try {
      disks[index] = machine.disk(index).snapshot();
    } catch (const std::out_of_range&) {
    }
  }
  return disks;
}

ReportedChanges reportedChangesOf(const ChangeReport& report) {
  ReportedChanges reported;
  for (const ChangeFailure& failure : report.failures) reported.insert({failure.row, failure.kind});
  return reported;
}

CommitPlan planCommit(const PartitionList& list, const DiskSnapshots& before) {
  CommitPlan plan;
  for (std::size_t row = 0; row < list.size(); ++row) {
    const PartitionRow& cells = list.rows[row];
    const long disk = diskIndexOfRow(cells);
    const std::string& shown = cells[kTypeIdColumn];
    if (shown != list.ScannedTypeId[row]) {
      plan.pending.insert({row, ChangeKind::TypeId});
      const bool protective =
          parseHexPrefix(shown) == 0xEE || parseHexPrefix(list.ScannedTypeId[row]) == 0xEE;
      const bool same = parseHexPrefix(shown) == parseHexPrefix(list.ScannedTypeId[row]);
      // Nothing writes a GPT entry, nor writes or replaces type EE.
      if (list.gptRecordOf(row) || !isTypeIdText(shown) || (protective && !same)) {
        plan.mustReport.push_back({row, ChangeKind::TypeId});
      } else if (!same && disk >= 0) {
        PlannedWrite write;
        write.row = row;
        write.kind = ChangeKind::TypeId;
        write.disk = static_cast<unsigned>(disk);
        write.sector = list.TableSectorOffset[row];
        write.offset = write.sector + list.TypeByteOffset[row];
        write.bytes.assign(1, static_cast<char>(parseHexPrefix(shown)));
        plan.writes.push_back(write);
      }
    }
  }

  for (const PrimaryRecord& record : list.PrimaryList) {
    const std::string& kind = list.rows[record.row][kKindColumn];
    const bool set = kind == kKindPrimaryActive && record.flag == 0;
    const bool clear = kind == kKindPrimary && record.flag == 1;
    if (!set && !clear) continue;
    plan.pending.insert({record.row, ChangeKind::ActiveFlag});
    if (list.gptRecordOf(record.row)) {
      plan.mustReport.push_back({record.row, ChangeKind::ActiveFlag});
      continue;
    }
    PlannedWrite write;
    write.row = record.row;
    write.kind = ChangeKind::ActiveFlag;
    write.disk = record.disk;
    write.sector = list.TableSectorOffset[record.row];
    write.offset = write.sector + list.TypeByteOffset[record.row] - kBootIndicatorBeforeType;
    write.bytes.assign(1, static_cast<char>(set ? kBootActive : kBootInactive));
    plan.writes.push_back(write);
  }

  for (std::size_t row = 0; row < list.size(); ++row) {
    const PartitionRow& cells = list.rows[row];
    const std::string& label = cells[kLabelColumn];
    if (label == list.ScannedLabel[row]) continue;
    plan.pending.insert({row, ChangeKind::VolumeLabel});
    if (cells[kDriveLetterColumn].empty()) {
      plan.mustReport.push_back({row, ChangeKind::VolumeLabel});
      continue;
    }
    plan.volumeLabels.push_back({row, cells[kDriveLetterColumn] + ":\\", label});
    if (!isInGroup(TypeGroup::Fat32LabelTypes, cells[kTypeIdColumn]) && !list.gptRecordOf(row)) {
      continue;
    }
    plan.pending.insert({row, ChangeKind::BootSectorLabel});
    plan.pending.insert({row, ChangeKind::BackupBootSectorLabel});
    const long disk = diskIndexOfRow(cells);
    const std::uint64_t offset = parseOffsetText(list.BootSectorOffsetText[row]).value_or(0);
    // Only a FAT32 boot sector gets the label; anything else stays as it is, unreported. One
    // that counts other than 512-byte sectors is not written, and that is reported.
    if (disk < 0) continue;
    const Sector boot = sectorAt(before, static_cast<unsigned>(disk), offset);
    if (!isFat32BootSector(boot)) continue;
    if (bytesPerSector(boot) != kSector) {
      plan.mustReport.push_back({row, ChangeKind::BootSectorLabel});
      continue;
    }
    PlannedWrite write;
    write.row = row;
    write.kind = ChangeKind::BootSectorLabel;
    write.disk = static_cast<unsigned>(disk);
    write.sector = offset;
    write.offset = offset + kBootLabelOffset;
    write.bytes = bootSectorLabelBytes(label);
    plan.writes.push_back(write);
    // Its backup follows only where the boot sector was written; a backup that is no writable
    // FAT32 boot sector may be reported and must not change.
    const std::optional<std::uint32_t> backup = backupBootSector(boot);
    if (!backup) continue;
    write.kind = ChangeKind::BackupBootSectorLabel;
    write.sector = offset + std::uint64_t{*backup} * kSector;
    write.offset = write.sector + kBootLabelOffset;
    const Sector copy = sectorAt(before, write.disk, write.sector);
    if (isFat32BootSector(copy) && bytesPerSector(copy) == kSector) plan.writes.push_back(write);
  }
  return plan;
}

std::vector<std::string> checkWritesFollowFullReads(const std::vector<DiskAccessRecord>& diskLog) {
  std::vector<std::string> problems;
  // Handles are opened and closed one at a time, so a session runs from one open to its close.
  bool lastReadFull = false;
  bool readFailed = false;
  std::uint64_t lastReadOffset = 0;
  for (const DiskAccessRecord& record : diskLog) {
    switch (record.op) {
      case DiskOp::Open:
      case DiskOp::Close:
        lastReadFull = readFailed = false;
        break;
      case DiskOp::Read:
        lastReadFull = record.ok;
        readFailed = readFailed || !record.ok;
        lastReadOffset = record.offset;
        break;
      case DiskOp::Write:
        if (readFailed) {
          problems.push_back("disk " + std::to_string(record.disk) + " written at " +
                             hexText(record.offset) + " after a failed or short read");
        } else if (!lastReadFull || lastReadOffset != record.offset) {
          problems.push_back("disk " + std::to_string(record.disk) + " written at " +
                             hexText(record.offset) + " without reading that sector in full first");
        }
        lastReadFull = false;
        break;
    }
  }
  return problems;
}

std::vector<std::string> checkCommit(const CommitPlan& plan, const DiskSnapshots& before,
                                     const DiskSnapshots& after,
                                     const std::optional<ReportedChanges>& knownReport,
                                     const std::vector<DiskAccessRecord>& diskLog,
                                     const std::vector<PlatformCall>& labelCalls,
                                     const std::vector<FileSystemWrite>& fileSystemWrites) {
  std::vector<std::string> problems;
  // Without a report row by row, every change counts as reported: what is left to check is
  // that nothing unasked changed and that every write followed a full read.
  const bool reportKnown = knownReport.has_value();
  const ReportedChanges& reported = reportKnown ? *knownReport : plan.pending;

  // 1. Every byte that changed was asked for, with the value asked for.
  std::map<std::pair<unsigned, std::uint64_t>, std::set<std::uint8_t>> allowed;
  std::set<std::pair<unsigned, std::uint64_t>> plannedSectors;
  for (const PlannedWrite& write : plan.writes) {
    plannedSectors.insert({write.disk, write.sector});
    for (std::size_t i = 0; i < write.bytes.size(); ++i) {
      allowed[{write.disk, write.offset + i}].insert(static_cast<std::uint8_t>(write.bytes[i]));
    }
  }
  // The file system's own writes (the label entry SetVolumeLabel stores) are the system's
  // answer to a label the commit gave it; section 3 checks that it was asked.
  std::set<std::pair<unsigned, std::uint64_t>> bySystem;
  for (const FileSystemWrite& write : fileSystemWrites) {
    for (std::size_t i = 0; i < write.size; ++i) bySystem.insert({write.disk, write.offset + i});
  }
  for (const auto& [disk, snapshot] : before) {
    auto now = after.find(disk);
    if (now == after.end()) continue;
    for (std::uint64_t offset : differingOffsets(snapshot, now->second)) {
      const std::uint8_t value = byteAt(after, disk, offset);
      if (bySystem.count({disk, offset})) continue;
      auto permitted = allowed.find({disk, offset});
      if (permitted == allowed.end() || permitted->second.count(value) == 0) {
        problems.push_back("disk " + std::to_string(disk) + " byte " + hexText(offset) +
                           " changed to " + hexText(value) + " although no change asked for that");
      }
    }
  }

  // 2. Every change either landed or was reported; a failure that is reported left its bytes,
  //    unless a write of its sector went through in part (a short write stores some bytes, and
  //    reporting it as failed is right all the same).
  std::set<std::pair<unsigned, std::uint64_t>> partlyWritten;
  for (const DiskAccessRecord& record : diskLog) {
    if (record.op == DiskOp::Write && record.bytes > 0) partlyWritten.insert({record.disk, record.offset});
  }
  for (const PlannedWrite& write : plan.writes) {
    const bool isReported = reported.count({write.row, write.kind}) != 0;
    bool landed = holds(after, write);
    if (!landed) {
      // Two rows of one boot sector: the later label wins, and that is no loss.
      for (const PlannedWrite& other : plan.writes) {
        if (&other != &write && other.disk == write.disk && other.offset == write.offset &&
            other.row > write.row && holds(after, other)) {
          landed = true;
        }
      }
    }
    if (!landed && !isReported) {
      problems.push_back(changeText(write.row, write.kind) + " neither made nor reported");
    }
    if (reportKnown && isReported && write.kind != ChangeKind::BootSectorLabel &&
        write.kind != ChangeKind::BackupBootSectorLabel &&
        partlyWritten.count({write.disk, write.sector}) == 0) {
      PlannedWrite previous = write;
      for (std::size_t i = 0; i < previous.bytes.size(); ++i) {
        previous.bytes[i] = static_cast<char>(byteAt(before, write.disk, write.offset + i));
      }
      if (!holds(after, previous)) {
        problems.push_back(changeText(write.row, write.kind) + " reported as failed, but its byte changed");
      }
    }
  }
  for (const auto& change : plan.mustReport) {
    if (reported.count(change) == 0) {
      problems.push_back(changeText(change.first, change.second) + " cannot be made but was not reported");
    }
  }
  for (const auto& change : reported) {
    if (plan.pending.count(change) == 0) {
      problems.push_back(changeText(change.first, change.second) + " reported, but nothing was staged");
    }
  }

  // 3. The system's label call: once for every staged label that has a letter, never otherwise;
  //    a refusal is reported (checked per path and label, since rows can share a letter).
  for (const CommitPlan::VolumeLabel& staged : plan.volumeLabels) {
    bool called = false;
    bool refused = false;
    for (const PlatformCall& call : labelCalls) {
      if (call.first != staged.path || call.second != staged.label) continue;
      called = true;
      refused = refused || !call.ok;
    }
    if (!called) {
      problems.push_back("label of row " + std::to_string(staged.row) + " never given to the system");
    }
    if (reportKnown && refused != (reported.count({staged.row, ChangeKind::VolumeLabel}) != 0)) {
      problems.push_back(changeText(staged.row, ChangeKind::VolumeLabel) +
                         (refused ? " refused by the system but not reported" : " reported although the system took it"));
    }
  }
  for (const PlatformCall& call : labelCalls) {
    bool staged = false;
    for (const CommitPlan::VolumeLabel& label : plan.volumeLabels) {
      staged = staged || (call.first == label.path && call.second == label.label);
    }
    if (!staged) problems.push_back("label set on " + call.first + " although none was staged for it");
  }

  // 4. Disk safety, from the access log: no write without a full read just before, and no write
  //    to a sector no change was planned in.
  for (std::string& problem : checkWritesFollowFullReads(diskLog)) problems.push_back(std::move(problem));
  for (const DiskAccessRecord& record : diskLog) {
    if (record.op == DiskOp::Write && plannedSectors.count({record.disk, record.offset}) == 0) {
      problems.push_back("disk " + std::to_string(record.disk) + " sector " + hexText(record.offset) +
                         " written although no change was planned there");
    }
  }
  return problems;
}

}  // namespace hardening
}  // namespace quenbolt

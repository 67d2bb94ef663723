#include "editing/table_writers.h"

#include <optional>
#include <set>
#include <string>

#include "editing/sector_patch.h"
#include "model/gbk_text.h"
#include "model/gpt_table.h"
#include "model/partition_table.h"

namespace quenbolt {

namespace {

// The table location the scan recorded for `row`, when the stores hold one that points at the
// type byte of one of the four entries.
struct EntryLocation {
  unsigned disk = 0;
  std::uint64_t sectorOffset = 0;
  std::uint32_t typeByte = 0;
};

std::optional<EntryLocation> entryLocationOf(const PartitionList& list, std::size_t row) {
  if (row >= list.rows.size() || row >= list.TableSectorOffset.size() ||
      row >= list.TypeByteOffset.size()) {
    return std::nullopt;
  }
  const long disk = diskIndexOfRow(list.rows[row]);
  if (disk < 0) return std::nullopt;
  const std::uint32_t typeByte = list.TypeByteOffset[row];
  bool isEntryTypeByte = false;
  for (unsigned slot = 0; slot < kEntryCount; ++slot) {
    if (typeByte == typeByteOffsetOf(slot)) isEntryTypeByte = true;
  }
  if (!isEntryTypeByte) return std::nullopt;
  return EntryLocation{static_cast<unsigned>(disk), list.TableSectorOffset[row], typeByte};
}

std::optional<FailureReason> patchAndNote(Platform& platform, const SectorPatch& patch,
                                          std::set<unsigned>& written) {
  const std::optional<FailureReason> outcome = patchSector(platform.disks, patch);
  if (!outcome) written.insert(patch.disk);
  return outcome;
}

// Wait cursor for the duration of a writer.
class WaitCursor {
 public:
  explicit WaitCursor(UiServices& ui) : ui_(ui) { ui_.setCursor(Cursor::Wait); }
  ~WaitCursor() { ui_.setCursor(Cursor::Arrow); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  UiServices& ui_;
};

// Each writer adds the disk to `written` once its sector is written.
std::optional<FailureReason> writeTypeId(Platform& platform, const PartitionList& list,
                                         std::size_t row, std::set<unsigned>& written) {
  const std::string& shown = list.rows[row][kTypeIdColumn];
  // The lenient hex reading would turn "", "G1" or "0x" into 0x00 or a wrong byte, and a type of
  // 0x00 hides the partition from every other system.
  if (!isTypeIdText(shown)) return FailureReason::NotHexTypeId;
  if (row >= list.ScannedTypeId.size() || !isTypeIdText(list.ScannedTypeId[row])) {
    return FailureReason::TableChanged;
  }
  const std::optional<EntryLocation> location = entryLocationOf(list, row);
  if (!location) return FailureReason::TableChanged;

  const auto scannedType = static_cast<std::uint8_t>(parseHexPrefix(list.ScannedTypeId[row]));
  const auto newType = static_cast<std::uint8_t>(parseHexPrefix(shown));
  // "0b" against a scanned "0B": the byte on disk is already what the row asks for.
  if (newType == scannedType) return std::nullopt;
  // An EE entry written where there was none makes Windows look for a GPT that is not there; one
  // replaced hands the disk's GPT partitions over to whatever reads the MBR.
  if (newType == kProtectiveType || scannedType == kProtectiveType) {
    return FailureReason::ProtectiveType;
  }

  SectorPatch patch;
  patch.disk = location->disk;
  patch.sectorOffset = location->sectorOffset;
  patch.firstByte = location->typeByte;
  patch.bytes.assign(1, static_cast<char>(newType));
  // Only the type byte is compared, so that an active-flag change of the same entry (written
  // after this one) or a change of another entry in the same sector still finds what it expects.
  const std::uint32_t typeByte = location->typeByte;
  patch.check = [typeByte, scannedType](const Sector& sector) -> std::optional<FailureReason> {
    if (!PartitionTable(sector).isValid() || sector[typeByte] != scannedType) {
      return FailureReason::TableChanged;
    }
    return std::nullopt;
  };
  return patchAndNote(platform, patch, written);
}

std::optional<FailureReason> writeActiveFlag(Platform& platform, const PartitionList& list,
                                             const PrimaryRecord& record, bool makeActive,
                                             std::set<unsigned>& written) {
  // A protective entry marked active would have a BIOS run the GPT's sectors as boot code.
  if (list.isProtectiveEntry(record.row)) return FailureReason::ProtectiveType;
  const std::optional<EntryLocation> location = entryLocationOf(list, record.row);
  if (!location) return FailureReason::TableChanged;

  const std::uint32_t bootIndicator = location->typeByte - kBootIndicatorBeforeType;
  const bool wasActive = record.flag == 1;
  SectorPatch patch;
  patch.disk = location->disk;
  patch.sectorOffset = location->sectorOffset;
  patch.firstByte = bootIndicator;
  patch.bytes.assign(1, static_cast<char>(makeActive ? kBootActive : kBootInactive));
  // The scan only knew whether the indicator was 0x80; entries 1 to 3 may hold other values,
  // which count as "not active" just as 0x00 does.
  patch.check = [bootIndicator, wasActive](const Sector& sector) -> std::optional<FailureReason> {
    if (!PartitionTable(sector).isValid() || (sector[bootIndicator] == kBootActive) != wasActive) {
      return FailureReason::TableChanged;
    }
    return std::nullopt;
  };
  return patchAndNote(platform, patch, written);
}

}  // namespace

void writeTypeIds(Platform& platform, const PartitionList& list, ChangeReport& report) {
  WaitCursor wait(platform.ui);
  for (std::size_t row = 0; row < list.rows.size(); ++row) {
    const std::string& shown = list.rows[row][kTypeIdColumn];
    if (row < list.ScannedTypeId.size() && shown == list.ScannedTypeId[row]) continue;
    if (list.gptRecordOf(row)) continue;  // the GPT writer's, from the row's record
    recordOutcome(report, row, ChangeKind::TypeId,
                  writeTypeId(platform, list, row, report.tablesWritten));
  }
}

void writeActiveFlags(Platform& platform, const PartitionList& list, ChangeReport& report) {
  WaitCursor wait(platform.ui);
  for (const PrimaryRecord& record : list.PrimaryList) {
    if (record.row >= list.rows.size()) continue;  // a record of no row has nothing staged
    const std::string& kind = list.rows[record.row][kKindColumn];
    bool makeActive = false;
    if (kind == kKindPrimaryActive && record.flag == 0) {
      makeActive = true;
    } else if (kind == kKindPrimary && record.flag == 1) {
      makeActive = false;
    } else {
      continue;
    }
    recordOutcome(report, record.row, ChangeKind::ActiveFlag,
                  writeActiveFlag(platform, list, record, makeActive, report.tablesWritten));
  }
}

}  // namespace quenbolt

// The FAT32 boot-sector label, read and written through a row whose disk, offset text, sector
// contents, label and faults all come from the input. The reader gives the field trimmed (or
// eleven blanks when the disk cannot be opened); the writer changes nothing but the 11 bytes at
// 0x47, only of a FAT32 sector of 512-byte sectors and of the backup it names, reports every
// failure, and never cuts a double-byte character.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "discovery/boot_sector_label_reader.h"
#include "editing/boot_sector_label_writer.h"
#include "fuzz/fuzz_support.h"
#include "model/fat32_boot_sector.h"
#include "model/gbk_text.h"
#include "property/commit_oracle.h"
#include "support/table_sector_builder.h"

namespace {

using namespace quenbolt;
using namespace quenbolt::hardening;

constexpr std::uint64_t kDiskSize = std::uint64_t{1} << 42;

enum class Fault { None, OpenFails, ReadFails, ReadShort, WriteFails, WriteShort };

// Offsets where partitions start: low, at 4 GiB, around 2^32 sectors, and past the disk's end.
std::uint64_t chooseOffset(FuzzedDataProvider& data) {
  switch (data.ConsumeIntegralInRange<unsigned>(0, 4)) {
    case 0: return 63 * 512;
    case 1: return std::uint64_t{0x800000} * 512;
    case 2: return std::uint64_t{0xFFFFFFFFu - data.ConsumeIntegralInRange<std::uint32_t>(0, 64)} * 512;
    case 3: return kDiskSize - 512 * data.ConsumeIntegralInRange<std::uint64_t>(0, 1);  // last, or none
    default: return std::uint64_t{data.ConsumeIntegral<std::uint32_t>()} * 512;
  }
}

// True when `cut` ends on a character boundary of `text`, walking whole characters from the start.
bool endsOnCharacterBoundary(const std::string& text, std::size_t cut) {
  std::size_t at = 0;
  while (at < cut) at += isGbkLeadByte(static_cast<unsigned char>(text[at])) ? 2 : 1;
  return at == cut;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  SimulatedMachine machine;
  Platform platform = machine.platform();
  SimulatedDisk& disk = machine.addDisk(0, kDiskSize);
  machine.setDiskCount(1);

  const std::uint64_t offset = chooseOffset(input);
  Sector sector{};
  if (input.ConsumeBool()) {
    sector = fat32BootSector(input.ConsumeRandomLengthString(16));
    if (input.ConsumeBool()) std::copy_n("fAt32", 5, sector.begin() + 0x52);
  } else {
    const std::string bytes = input.ConsumeBytesAsString(512);
    std::copy(bytes.begin(), bytes.end(), sector.begin());
  }
  const bool inside = offset + 512 <= kDiskSize;
  if (inside) disk.setSector(offset, sector);
  const bool fat32 = inside && isFat32BootSector(sector);

  PartitionList list;
  PartitionRow row;
  row[kDiskColumn] = input.ConsumeBool() ? "1" : input.ConsumeRandomLengthString(4);
  const std::string offsetText =
      input.ConsumeBool() ? quenbolt::offsetText(offset) : input.ConsumeRandomLengthString(18);
  list.rows.push_back(row);
  list.BootSectorOffsetText.push_back(offsetText);
  const std::string label = input.ConsumeRandomLengthString(24);
  const Fault fault = static_cast<Fault>(input.ConsumeIntegralInRange<int>(0, 5));
  // The reader and the writer read the offset text each in their own way; where the text is the
  // scan's own form they agree, and the row names the sector laid out above.
  const bool sameDisk = diskIndexOfRow(row) == 0;
  const bool namesSector = sameDisk && offsetText == quenbolt::offsetText(offset);
  // What the writer makes of the text, and whether a FAT32 sector is there (an unaligned offset
  // straddles the laid-out sector, which is fine: the text names it).
  const std::optional<std::uint64_t> parsed = parseOffsetText(offsetText);
  const std::uint64_t named = parsed.value_or(0);
  const bool writerParses = diskIndexOfRow(row) >= 0 && parsed.has_value();
  const bool writerFindsSector = writerParses && sameDisk;
  const bool namedInside = writerFindsSector && named <= kDiskSize - 512;
  const bool namedFat32 = namedInside && isFat32BootSector(disk.sector(named));
  const bool namedWritable = namedFat32 && bytesPerSector(disk.sector(named)) == 512;
  // The backup the boot sector names, and whether it is one the writer may write too.
  const std::optional<std::uint32_t> backup =
      namedWritable ? backupBootSector(disk.sector(named)) : std::nullopt;
  const std::uint64_t backupAt = named + 512 * std::uint64_t{backup.value_or(0)};
  const bool backupWritable = backup && backupAt <= kDiskSize - 512 &&
                              isFat32BootSector(disk.sector(backupAt)) &&
                              bytesPerSector(disk.sector(backupAt)) == 512;

  // --- Reader --------------------------------------------------------------------------------
  const std::string read = readBootSectorLabel(platform, list, 0);
  if (machine.statusText().empty()) {
    FUZZ_CHECK(read.size() <= 11, "a label longer than its field");
    FUZZ_CHECK(read.empty() || (static_cast<unsigned char>(read.front()) > 0x20 &&
                                static_cast<unsigned char>(read.back()) > 0x20),
               "a label with a blank or control byte at an end");
    if (namesSector) {
      FUZZ_CHECK(read == (fat32 ? trimmed(bootSectorLabelField(sector)) : std::string()),
                 "the reader does not give the trimmed field of a FAT32 sector");
    }
  } else {
    FUZZ_CHECK(read == std::string(11, ' '), "a disk that cannot be opened gives eleven blanks");
  }

  // --- Stored bytes --------------------------------------------------------------------------
  const std::string stored = bootSectorLabelBytes(label);
  FUZZ_CHECK(stored.size() == 11, "the label field is not 11 bytes");
  const std::size_t kept = cutGbk(label, 11).size();
  if (label.size() > 11) {
    FUZZ_CHECK(kept >= 10 && endsOnCharacterBoundary(label, kept), "a cut through a double-byte character");
  }
  FUZZ_CHECK(stored == upperCased(label.substr(0, kept) + std::string(11 - kept, ' ')),
             "the field is not the cut label, blank-padded and upper-cased");

  // --- Writer --------------------------------------------------------------------------------
  switch (fault) {
    case Fault::None: break;
    case Fault::OpenFails: disk.failOpen(); break;
    case Fault::ReadFails: disk.failRead(kAnyOffset); break;
    case Fault::ReadShort: disk.shortRead(kAnyOffset, input.ConsumeIntegralInRange<std::size_t>(0, 511)); break;
    case Fault::WriteFails: disk.failWrite(kAnyOffset); break;
    case Fault::WriteShort: disk.shortWrite(kAnyOffset, input.ConsumeIntegralInRange<std::size_t>(0, 511)); break;
  }
  const DiskSnapshots before = snapshotDisks(machine);
  machine.clearLogs();
  ChangeReport report;
  writeBootSectorLabel(platform, list, 0, label, report);
  const DiskSnapshots after = snapshotDisks(machine);

  FUZZ_CHECK(machine.openHandles() == 0, "a disk handle left open");
  FUZZ_CHECK(checkWritesFollowFullReads(machine.diskLog()).empty(), "a write without a full read before it");
  for (std::uint64_t changed : differingOffsets(before.at(0), after.at(0))) {
    const bool inLabel = namedWritable && changed >= named + 0x47 && changed <= named + 0x51;
    const bool inBackupLabel = backupWritable && changed >= backupAt + 0x47 && changed <= backupAt + 0x51;
    FUZZ_CHECK(inLabel || inBackupLabel, "a byte outside the label field of a FAT32 boot sector changed");
  }
  if (!writerParses) {
    FUZZ_CHECK(!report.succeeded() && machine.diskLog().empty(), "a row with no boot sector to find");
  } else if (!sameDisk) {
    FUZZ_CHECK(!report.succeeded(), "a disk that does not exist, yet no failure");
  }
  FUZZ_CHECK(report.failures.size() <= 1, "one label reported more than once");
  bool primaryFailed = false;
  for (const ChangeFailure& failure : report.failures) {
    primaryFailed = primaryFailed || failure.kind == ChangeKind::BootSectorLabel;
    FUZZ_CHECK(failure.row == 0 && (failure.kind == ChangeKind::BootSectorLabel ||
                                    failure.kind == ChangeKind::BackupBootSectorLabel),
               "a failure of the wrong change");
  }
  const std::vector<std::uint8_t> storedBytes(stored.begin(), stored.end());
  if (namedFat32 && !namedWritable) {
    FUZZ_CHECK(before == after && primaryFailed, "a boot sector of other than 512-byte sectors written or not reported");
  }
  if (namedWritable) {
    const bool landed = disk.bytes(named + 0x47, 11) == storedBytes;
    if (fault == Fault::None) {
      FUZZ_CHECK(landed && !primaryFailed, "a clean write did not store the label");
      FUZZ_CHECK(report.succeeded() == (!backup || backupWritable), "a backup not written, yet no failure");
      if (backupWritable) FUZZ_CHECK(disk.bytes(backupAt + 0x47, 11) == storedBytes, "the backup does not agree");
      if (namesSector) {
        FUZZ_CHECK(readBootSectorLabel(platform, list, 0) == trimmed(stored), "the label does not read back");
      }
    } else {
      FUZZ_CHECK(!report.succeeded(), "a failed write reported as made");
    }
  }
  if (writerFindsSector && namedInside && !namedFat32 && fault == Fault::None) {
    FUZZ_CHECK(report.succeeded(), "a sector that is not FAT32 reported as a failure");
  }
  return 0;
}

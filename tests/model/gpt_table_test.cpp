// The GPT reader on the table sfdisk writes, with a field of one copy made hostile and the copy
// resealed, so that only the check under test can refuse it.

#include "model/gpt_table.h"
#include <gtest/gtest.h>
#include <array>
#include "model/crc32.h"
#include "support/tools.h"

namespace quenbolt {
namespace {
constexpr std::uint64_t kSectors = 2097152;
constexpr std::uint64_t kBackup = kSectors - 1;
constexpr std::uint64_t kLastUsable = kSectors - 34;
using Lbas = std::vector<std::uint64_t>;
using Fields = std::vector<std::array<std::uint64_t, 3>>;  // byte offset on the disk, value, bytes

Lbas run(Lbas lbas, std::uint64_t first,
         std::uint64_t count) {  // `lbas`, then `count` from `first`
  while (count--) lbas.push_back(first++);
  return lbas;
}

std::uint32_t crcOf(const std::string& bytes) {
  return crc32(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

TEST(GptReader, AHostilePrimaryIsRefusedAtItsCheckAndTheBackupServesAndABackupIsHeldToItsOwnPlace) {
  EXPECT_EQ(crcOf("123456789"), 0xCBF43926u);
  SimulatedMachine machine;
  if (!sfdiskDisk(kWindowsGptScript, kSectors * 512, machine, 0))
    GTEST_SKIP() << "sfdisk is not available";
  SimulatedDisk& d = machine.disks[0];
  const DiskBytes sound = d.sectors;
  // Sound again, then `fields` set; the copy at `header` (its array at `array`) resealed with both
  // CRCs as a tool that wrote the change would, unless `header` is 0.
  auto make = [&](const Fields& fields, std::uint64_t header, std::uint64_t array) {
    d.sectors = sound;
    for (const auto& f : fields) d.put(f[0], le(f[1], static_cast<unsigned>(f[2])));
    if (!header) return;
    d.put(header * 512 + kGptEntryArrayCrcField, le(crcOf(d.bytes(array * 512, 128 * 128)), 4));
    d.put(header * 512 + kGptHeaderCrcField, le(0, 4));
    d.put(header * 512 + kGptHeaderCrcField, le(crcOf(d.bytes(header * 512, 92)), 4));
  };
  Lbas lbas;  // what the reader read, in order
  auto read = [&] {
    auto handle = machine.platform().disks.openDisk(0, DiskAccess::Read);
    lbas.clear();
    return readGpt(
        d.sector(0),
        [&](std::uint64_t offset, Sector& sector) {
          lbas.push_back(offset / 512);
          return handle->readSector(offset, sector);
        },
        kSectors);
  };
  constexpr std::uint64_t h = 512;
  constexpr std::uint64_t b = kBackup * 512;
  constexpr std::uint64_t entry = 2 * 512;
  struct Damage {
    bool reseal;
    bool readsArray;
    const char* what;
    Fields fields;
  };
  const Damage primary[] = {
      {true, false, "signature", {{h + 7, 'X', 1}}},
      {false, false, "header CRC", {{h + 0x40, 0xFF, 1}}},
      {true, false, "header size below 92", {{h + kGptHeaderSizeField, 91, 4}}},
      {true, false, "header size above a sector", {{h + kGptHeaderSizeField, 513, 4}}},
      {true, false, "own LBA", {{h + kGptMyLbaField, kBackup, 8}}},
      {true,
       false,
       "usable range over the header",
       {{h + kGptFirstUsableLbaField, 1, 8}, {h + kGptEntryArrayLbaField, kLastUsable + 1, 8}}},
      {true, false, "usable range empty", {{h + kGptFirstUsableLbaField, kLastUsable + 1, 8}}},
      {true, false, "usable range past the disk", {{h + kGptLastUsableLbaField, kSectors, 8}}},
      {true, false, "entry size 0", {{h + kGptEntrySizeField, 0, 4}}},
      {true, false, "entry size 129", {{h + kGptEntrySizeField, 129, 4}}},
      {true, false, "entry size 3 x 128", {{h + kGptEntrySizeField, 384, 4}}},
      {true,
       false,
       "entries over 1 MiB",
       {{h + kGptEntryCountField, 8193, 4}, {h + kGptFirstUsableLbaField, 4096, 8}}},
      {true, false, "entries over 1 MiB by size", {{h + kGptEntrySizeField, 1u << 31, 4}}},
      {true, false, "array on the MBR", {{h + kGptEntryArrayLbaField, 0, 8}}},
      {true, false, "array on the header", {{h + kGptEntryArrayLbaField, 1, 8}}},
      {true, false, "array in the usable range", {{h + kGptEntryArrayLbaField, 2048, 8}}},
      {true, false, "array past the disk", {{h + kGptEntryArrayLbaField, kSectors - 16, 8}}},
      {false, true, "array CRC", {{33 * 512 + 511, 1, 1}}},
      {true,
       true,
       "an entry past the usable range",
       {{entry + 3 * 128 + kGptLastLbaField, kLastUsable + 1, 8}}},
      {true, true, "an entry before the usable range", {{entry + kGptFirstLbaField, 2047, 8}}},
      {true, true, "an entry ending before it starts", {{entry + kGptLastLbaField, 2047, 8}}}};
  for (const auto& c : primary) {
    make(c.fields, c.reseal ? 1 : 0, 2);
    const std::optional<GptTable> table = read();
    EXPECT_TRUE(table && table->copy == GptCopy::Backup && table->partitions.size() == 4) << c.what;
    EXPECT_EQ(lbas,
              run(run(c.readsArray ? run({1}, 2, 32) : Lbas{1}, kBackup, 1), kLastUsable + 1, 32))
        << c.what;
  }
  // An intact primary header whose alternate LBA leads to no copy, before an array that fails its
  // CRC: the backup is still found at the disk's last sector.
  make({{h + kGptAlternateLbaField, kBackup - 100, 8}}, 1, 2);
  d.put(33 * 512 + 511, le(1, 1));
  const std::optional<GptTable> found = read();
  EXPECT_TRUE(found && found->copy == GptCopy::Backup && found->partitions.size() == 4);
  EXPECT_EQ(lbas,
            run(run(run(run({1}, 2, 32), kBackup - 100, 1), kBackup, 1), kLastUsable + 1, 32));
  const struct {
    const char* what;
    Fields fields;
  } backup[] = {{"own LBA", {{b + kGptMyLbaField, 1, 8}}},
                {"usable range from LBA 1", {{b + kGptFirstUsableLbaField, 1, 8}}},
                {"usable range over its header",
                 {{b + kGptLastUsableLbaField, kBackup, 8}, {b + kGptEntryArrayLbaField, 2, 8}}},
                {"array over its header", {{b + kGptEntryArrayLbaField, kBackup - 31, 8}}},
                {"array on the MBR", {{b + kGptEntryArrayLbaField, 0, 8}}}};
  for (auto c : backup) {
    c.fields.push_back({h + 0x40, 0xFF, 1});  // the primary header broken
    make(c.fields, kBackup, kBackup - 32);
    EXPECT_TRUE(!read() && lbas == (Lbas{1, kBackup})) << c.what;
  }
}
}  // namespace
}  // namespace quenbolt

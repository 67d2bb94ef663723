#pragma once
// GUID partition tables laid onto simulated disks field by field, as the UEFI format defines them,
// and read back the same way: what GPT tests start from and judge by, without the program's GPT
// code. (The CRC is the program's: a known-answer test pins it.)

#include <string>
#include <vector>
#include "support/simulated_machine.h"

namespace quenbolt {
struct GptEntryLayout {
  unsigned index = 0;  // place in the entry array
  std::string type;    // type GUID as text, "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7"
  std::uint64_t first = 0, last = 0, attributes = 0;
};

constexpr const char* kBasicData = "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7";
constexpr const char* kLinuxData = "0FC63DAF-8483-4772-8E79-3D69D8477DE4";
constexpr const char* kRecovery = "DE94BBA4-06D1-4D40-A16A-BFD50179D6AC";

// The 16 bytes of a GUID's text: its first three fields little-endian.
std::string guidBytes(const std::string& text);

// A protective MBR (one EE entry over the disk) and both copies of a table of `entryCount`
// entries of 128 bytes: the primary header at LBA 1 with its array from LBA 2, the backup array
// and header at the disk's end, usable space between. `sectorSize`-byte sectors.
void putGpt(SimulatedDisk& disk, const std::vector<GptEntryLayout>& entries,
            unsigned entryCount = 128, std::size_t sectorSize = 512);

// Where a table's copies lie on a disk of `sectors` sectors (as putGpt lays them).
struct GptPlaces {
  std::uint64_t primaryArray, backupArray, backupHeader, arraySectors;
};
GptPlaces gptPlaces(std::uint64_t sectors, unsigned entryCount = 128, std::size_t sectorSize = 512);

// One copy as the disk holds it, taken apart; `problem` is empty when its CRCs match and it names
// its own LBA.
struct GptCopyOnDisk {
  std::string problem;
  std::uint64_t alternate = 0;
  std::string array;         // entry count x entry size bytes
  std::string headerFields;  // the header without its CRC, own LBA, alternate LBA and array LBA
};
GptCopyOnDisk gptCopyAt(const SimulatedDisk& disk, std::uint64_t lba, std::size_t sectorSize = 512);

// Recomputes the array CRC and then the header CRC of the copy whose header is at `headerLba`, as a
// tool that wrote a change would: whatever it holds then passes the CRC checks.
void resealGptCopy(SimulatedDisk& disk, std::uint64_t headerLba);

// The CRC of the 128 entries of 128 bytes at `arrayLba`.
std::uint32_t gptCrcOfArray(const SimulatedDisk& disk, std::uint64_t arrayLba);

// The type GUID bytes and the attributes of entry `index` of `array`.
std::string entryType(const std::string& array, unsigned index);
std::uint64_t entryAttributes(const std::string& array, unsigned index);
// The little-endian 64-bit field at byte `at` of `bytes`.
std::uint64_t le64At(const std::string& bytes, std::size_t at);
}  // namespace quenbolt

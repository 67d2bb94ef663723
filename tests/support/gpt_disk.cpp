#include "support/gpt_disk.h"
#include "model/crc32.h"

namespace quenbolt {
namespace {
std::uint32_t crcOf(const std::string& bytes) {
  return crc32(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}
}  // namespace

std::uint64_t le64At(const std::string& bytes, std::size_t at) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

std::string guidBytes(const std::string& text) {
  std::string bytes;  // the hexadecimal pairs of the text, the first three fields' in reverse
  for (std::size_t at : {6, 4, 2, 0, 11, 9, 16, 14, 19, 21, 24, 26, 28, 30, 32, 34})
    bytes += static_cast<char>(std::stoi(text.substr(at, 2), nullptr, 16));
  return bytes;
}

GptPlaces gptPlaces(std::uint64_t sectors, unsigned entryCount, std::size_t sectorSize) {
  const std::uint64_t arraySectors = (entryCount * 128 + sectorSize - 1) / sectorSize;
  return {2, sectors - 1 - arraySectors, sectors - 1, arraySectors};
}

void putGpt(SimulatedDisk& disk, const std::vector<GptEntryLayout>& entries, unsigned entryCount,
            std::size_t sectorSize) {
  const std::uint64_t sectors = disk.size / sectorSize;
  const GptPlaces at = gptPlaces(sectors, entryCount, sectorSize);
  disk.put(0,
           table({{0, 0, 0xEE, 1,
                   static_cast<std::uint32_t>(std::min<std::uint64_t>(sectors - 1, 0xFFFFFFFF))}}));
  std::string array(std::size_t{entryCount} * 128, '\0');
  for (const GptEntryLayout& e : entries) {
    array.replace(e.index * 128, 56,
                  guidBytes(e.type) + std::string(15, '\x11') + static_cast<char>(e.index) +
                      le(e.first, 8) + le(e.last, 8) + le(e.attributes, 8));
  }
  const std::uint64_t copies[2][3] = {{1, at.backupHeader, at.primaryArray},
                                      {at.backupHeader, 1, at.backupArray}};
  for (const auto& [lba, alternate, arrayLba] : copies) {
    std::string h = "EFI PART" + le(0x10000, 4) + le(92, 4) + le(0, 8) + le(lba, 8) +
                    le(alternate, 8) + le(2 + at.arraySectors, 8) +
                    le(sectors - 2 - at.arraySectors, 8) +
                    guidBytes("51424C54-0000-4000-8000-000000000001") + le(arrayLba, 8) +
                    le(entryCount, 4) + le(128, 4) + le(crcOf(array), 4);
    h.replace(16, 4, le(crcOf(h), 4));
    disk.put(lba * sectorSize, h);
    disk.put(arrayLba * sectorSize, array);
  }
}

GptCopyOnDisk gptCopyAt(const SimulatedDisk& disk, std::uint64_t lba, std::size_t sectorSize) {
  GptCopyOnDisk copy;
  std::string h = disk.bytes(lba * sectorSize, 92);
  const std::uint64_t array = le64At(h, 72);
  const std::uint64_t count = le64At(h, 80) & 0xFFFFFFFF;
  const std::uint64_t size = le64At(h, 84) & 0xFFFFFFFF;
  copy.alternate = le64At(h, 32);
  if (count * size > (1 << 20)) {
    copy.problem = "an array of more than 1 MiB";
    return copy;
  }
  copy.array = disk.bytes(array * sectorSize, static_cast<std::size_t>(count * size));
  const std::string crc = h.substr(16, 4);
  h.replace(16, 4, std::string(4, '\0'));
  if (h.compare(0, 8, "EFI PART") != 0 || le64At(h, 24) != lba)
    copy.problem = "not the header of its LBA";
  if (le(crcOf(h), 4) != crc) copy.problem = "a header CRC that does not match";
  if (le(crcOf(copy.array), 4) != h.substr(88, 4))
    copy.problem = "an array CRC that does not match";
  copy.headerFields = h.substr(0, 24) + h.substr(40, 32) + h.substr(80);
  return copy;
}

void resealGptCopy(SimulatedDisk& disk, std::uint64_t headerLba) {
  std::string h = disk.bytes(headerLba * 512, 512);
  const std::uint64_t count = le64At(h, 80) & 0xFFFFFFFF;
  const std::uint64_t size = le64At(h, 84) & 0xFFFFFFFF;
  const std::uint64_t headerSize = std::min<std::uint64_t>(le64At(h, 12) & 0xFFFFFFFF, 512);
  if (count * size <= (1 << 20))
    h.replace(88, 4, le(crcOf(disk.bytes(le64At(h, 72) * 512, count * size)), 4));
  h.replace(16, 4, std::string(4, '\0'));
  h.replace(16, 4, le(crcOf(h.substr(0, headerSize)), 4));
  disk.put(headerLba * 512, h);
}

std::uint32_t gptCrcOfArray(const SimulatedDisk& disk, std::uint64_t arrayLba) {
  return crcOf(disk.bytes(arrayLba * 512, 128 * 128));
}

std::string entryType(const std::string& array, unsigned index) {
  return array.substr(index * 128, 16);
}

std::uint64_t entryAttributes(const std::string& array, unsigned index) {
  return le64At(array, index * 128 + 48);
}
}  // namespace quenbolt

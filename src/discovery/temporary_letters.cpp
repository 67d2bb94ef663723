#include "discovery/temporary_letters.h"

#include "model/gbk_text.h"

namespace quenbolt {

namespace {

struct WorkItem {
  std::size_t row;
  unsigned disk;
  unsigned number;
};

}  // namespace

std::string partitionDevicePath(unsigned disk, unsigned number) {
  return "\\Device\\Harddisk" + decimalText(disk) + "\\Partition" + decimalText(number);
}

std::optional<char> firstFreeLetter(Volumes& volumes) {
  const std::uint32_t taken = volumes.logicalDrives();
  for (unsigned bit = 'D' - 'A'; bit <= 'Z' - 'A'; ++bit) {
    if ((taken & (std::uint32_t{1} << bit)) == 0) return static_cast<char>('A' + bit);
  }
  return std::nullopt;
}

TempLetterList assignTemporaryLetters(Platform& platform, const PartitionList& list) {
  TempLetterList letters;
  std::vector<WorkItem> work;
  work.reserve(list.PrimaryList.size() + list.GptList.size() + list.LogicalList.size());
  for (const PrimaryRecord& record : list.PrimaryList) {
    work.push_back(WorkItem{record.row, record.disk, record.number});
  }
  // The partitions of a GUID partition table are primary partitions in all but name.
  for (const GptRecord& record : list.GptList) {
    work.push_back(WorkItem{record.row, record.disk, record.number});
  }
  for (const LogicalRecord& record : list.LogicalList) {
    work.push_back(WorkItem{record.row, record.disk, record.number});
  }

  platform.ui.setCursor(Cursor::Wait);
  for (const WorkItem& item : work) {
    if (item.row >= list.size() || !list.rows[item.row][kDriveLetterColumn].empty()) continue;
    const std::string target = partitionDevicePath(item.disk, item.number);
    // The mask is asked anew each time, so the name defined just before counts as taken.
    const std::optional<char> letter = firstFreeLetter(platform.volumes);
    // Nothing defined, so nothing to remove later. Only this loop takes letters, so none can come
    // free for the records after this one: asking again for each of them (a thousand logical
    // partitions) cost seconds of start-up under Wine, where the question is slow.
    if (!letter) break;
    const std::string name = std::string(1, *letter) + ":";
    // A refused definition is still recorded: its removal at the end fails just as quietly.
    platform.dosDevices.defineRawTarget(name, target);
    letters.push_back(name);
  }
  platform.ui.setCursor(Cursor::Arrow);
  return letters;
}

void removeTemporaryLetters(Platform& platform, TempLetterList& letters) {
  platform.ui.setCursor(Cursor::Wait);
  for (const std::string& name : letters) platform.dosDevices.removeDefinition(name);
  letters.clear();
  platform.ui.setCursor(Cursor::Arrow);
}

}  // namespace quenbolt

#include "discovery/unreadable_disks.h"

#include <utility>

#include "model/gbk_text.h"
#include "platform/raw_disks.h"

namespace quenbolt {

namespace {

// As the list's "磁盘" column numbers it.
std::string diskNumber(const UnreadableDisk& disk) {
  return decimalText(std::uint64_t{disk.disk} + 1);
}

std::string withReason(const std::string& disks, const std::string& reason) {
  return "磁盘 " + disks + " 无法读取（" + reason + "）";
}

}  // namespace

bool meansNoMedium(std::uint32_t systemError) {
  return systemError == kErrorNotReady || systemError == kErrorNoMediaInDrive;
}

std::string unreadableReason(const UnreadableDisk& disk) {
  // Without administrator rights every physical disk refuses to open; it is the usual mistake.
  if (disk.systemError == kErrorAccessDenied) return "拒绝访问，请以管理员身份运行";
  const std::string code = "系统错误 " + decimalText(disk.systemError);
  switch (disk.failure) {
    case DiskReadFailure::Open:
      return "无法打开，" + code;
    case DiskReadFailure::FirstRead:
      return "读取第一个扇区失败，" + code;
    case DiskReadFailure::ShortFirstRead:
      return "第一个扇区读取不完整";
    case DiskReadFailure::SectorSizeMismatch:
      return "磁盘报告的扇区大小（" + decimalText(disk.sectorSize) + " 字节）与分区表不符";
  }
  return code;
}

std::string unreadableDiskLine(const UnreadableDisk& disk) {
  return withReason(diskNumber(disk), unreadableReason(disk));
}

std::string unreadableDisksText(const std::vector<UnreadableDisk>& disks) {
  // Reasons in the order they first occur, each with its disks.
  std::vector<std::pair<std::string, std::string>> groups;
  for (const UnreadableDisk& disk : disks) {
    const std::string reason = unreadableReason(disk);
    auto group = groups.begin();
    while (group != groups.end() && group->first != reason) ++group;
    if (group == groups.end()) {
      groups.emplace_back(reason, diskNumber(disk));
    } else {
      group->second += "、" + diskNumber(disk);
    }
  }
  std::string text;
  for (const auto& [reason, numbers] : groups) {
    if (!text.empty()) text += "；";
    text += withReason(numbers, reason);
  }
  return text;
}

}  // namespace quenbolt

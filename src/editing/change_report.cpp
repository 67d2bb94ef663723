#include "editing/change_report.h"

namespace quenbolt {

namespace {

std::string whatText(ChangeKind kind) {
  switch (kind) {
    case ChangeKind::TypeId:
      return "分区标记";
    case ChangeKind::ActiveFlag:
      return "活动标记";
    case ChangeKind::VolumeLabel:
      return "卷标";
    case ChangeKind::BootSectorLabel:
      return "引导区卷标";
    case ChangeKind::BackupBootSectorLabel:
      return "备份引导区卷标";
    case ChangeKind::RootDirectoryLabel:
      return "根目录卷标";
    case ChangeKind::GptEntry:
      return "GPT 分区项";
  }
  return "修改";
}

std::string whyText(FailureReason reason) {
  switch (reason) {
    case FailureReason::NotHexTypeId:
      return "分区标记无效";
    case FailureReason::OpenFailed:
      return "打开磁盘失败";
    case FailureReason::ReadFailed:
      return "读取扇区失败";
    case FailureReason::TableChanged:
      return "分区表已被改动";
    case FailureReason::WriteFailed:
      return "写入扇区失败";
    case FailureReason::LabelRefused:
      return "卷标被系统拒绝";
    case FailureReason::NotFat32:
      return "引导区不是 FAT32";
    case FailureReason::NoDriveLetter:
      return "分区没有盘符";
    case FailureReason::ProtectiveType:
      return "EE 是 GPT 保护分区的类型，不能写入或替换";
    case FailureReason::SectorSizeDiffers:
      return "引导区的扇区大小与磁盘不符";
    case FailureReason::NoFileSystem:
      return "分区上没有可识别的文件系统";
    case FailureReason::LabelTooLong:
      return "卷标超过 11 字节";
    case FailureReason::LabelForbiddenCharacter:
      return "卷标含有 FAT 不允许的字符";
    case FailureReason::LabelNotInOemCodePage:
      return "卷标含有系统 OEM 代码页没有的字符";
    case FailureReason::StoredLabelUnreadable:
      return "无法读回系统保存的卷标";
    case FailureReason::BadFat32Layout:
      return "FAT32 引导区的参数无效";
    case FailureReason::NoRoomForLabel:
      return "根目录没有空位存放卷标";
    case FailureReason::NotGbkText:
      return "含有 GBK 无法表示的字符";
    case FailureReason::SectorChanged:
      return "扇区在读取之后已被改动";
    case FailureReason::GptPrimaryDamaged:
      return "主 GPT 已损坏";
    case FailureReason::GptBackupDamaged:
      return "备份 GPT 已损坏";
    case FailureReason::GptCopiesDiffer:
      return "GPT 主表与备份表不一致";
    case FailureReason::GptChangedSinceScan:
      return "GPT 已与扫描时不同";
    case FailureReason::GptPrimaryReadFailed:
      return "读取主 GPT 失败";
    case FailureReason::GptBackupReadFailed:
      return "读取备份 GPT 失败";
    case FailureReason::GptPrimaryChanged:
      return "主 GPT 在读取之后已被改动";
    case FailureReason::GptBackupChanged:
      return "备份 GPT 在读取之后已被改动";
    case FailureReason::GptPrimaryWriteFailed:
      return "写入主 GPT 失败";
    case FailureReason::GptBackupWriteFailed:
      return "写入备份 GPT 失败";
    case FailureReason::GptVerifyFailed:
      return "写入后读回的 GPT 校验失败";
  }
  return "未知原因";
}

// Staged text as it may be shown on one line: control bytes (a command-line argument can hold
// anything) become '?'.
std::string oneLine(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return out;
}

// "磁盘 1 分区 2"; a container, which has no number, by its kind and type: "磁盘 1 扩展 0F".
std::string partitionText(const PartitionList& list, std::size_t row) {
  if (row >= list.rows.size()) return "第 " + std::to_string(row + 1) + " 行";
  const PartitionRow& cells = list.rows[row];
  std::string text = "磁盘 " + cells[kDiskColumn];
  if (!cells[kPartitionColumn].empty()) return text + " 分区 " + cells[kPartitionColumn];
  const std::string scannedType = row < list.ScannedTypeId.size() ? list.ScannedTypeId[row] : "";
  return text + " " + cells[kKindColumn] + " " + scannedType;
}

}  // namespace

std::string describeFailure(const PartitionList& list, const ChangeFailure& failure) {
  std::string line = partitionText(list, failure.row) + "：" + whatText(failure.kind);
  if (failure.kind == ChangeKind::TypeId && failure.row < list.rows.size()) {
    line += " \"" + oneLine(list.rows[failure.row][kTypeIdColumn]) + "\"";
  }
  return line + " 未写入（" + whyText(failure.reason) + "）";
}

std::string describeTableNotReread(unsigned disk) {
  return "磁盘 " + std::to_string(disk + 1) +
         "：分区表已写入，但系统未能重新读取，重新启动 Windows 后生效";
}

}  // namespace quenbolt

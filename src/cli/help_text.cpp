#include "cli/help_text.h"

namespace quenbolt {

const char* const kHelpCaption = "命令行参数";

std::string buildCommandLineHelp() {
  // The tab counts line the descriptions up in the message box's proportional font.
  std::string help = "命令行参数";
  help += "\r/? 或 /H\t显示此帮助";
  help += "\r/M <disk> <part> <ID>\t修改某磁盘上指定分区的分区标记";
  help += "\r/F <ID1> <ID2>\t\t查找分区标记 <ID1>，找到修改为 <ID2>";
  help += "\r/L <disk> <part> <label>\t修改某磁盘上指定分区的卷标";
  help += "\r/S <ID> <label>\t\t查找分区标记 <ID1>，找到后修改卷标为 <label>";
  help += "\r/A <disk> <part> <1/0>\t修改某磁盘上指定主分区的激活标记";
  help += "\r/G <disk> <part> <attr>\t修改某磁盘上指定 GPT 分区的属性（十六进制）";
  return help;
}

}  // namespace quenbolt

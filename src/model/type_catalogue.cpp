#include "model/type_catalogue.h"

#include <algorithm>

#include "model/gbk_text.h"

namespace quenbolt {

namespace {

struct CatalogueEntry {
  const char* id;
  const char* name;
};

// Ascending ID order; NameOf's binary search relies on it.
const CatalogueEntry kCatalogue[] = {
    {"00", "空闲"},
    {"01", "FAT12"},
    {"02", "XENIX"},
    {"03", "XENIX"},
    {"04", "FAT16(<32M)"},
    {"05", "扩展"},
    {"06", "FAT16"},
    {"07", "NTFS"},
    {"08", "AIX"},
    {"09", "AIC"},
    {"0A", "OS/2"},
    {"0B", "FAT32"},
    {"0C", "FAT32 LBA"},
    {"0E", "FAT16"},
    {"0F", "扩展 LBA"},
    {"10", "OPUS"},
    {"11", "隐藏 FAT12"},
    {"12", "COMPAQ"},
    {"14", "隐藏 FAT16(<32M)"},
    {"16", "隐藏 FAT16"},
    {"17", "隐藏 NTFS"},
    {"18", "AST"},
    {"1B", "隐藏 FAT32"},
    {"1C", "隐藏 FAT32 LBA"},
    {"1E", "隐藏 LBA VFAT"},
    {"24", "NEC DOS"},
    {"27", "隐藏 NTFS"},
    {"3C", "Partition Magic"},
    {"40", "Venix 80286"},
    {"41", "FPC PreP Boot"},
    {"42", "动态磁盘卷"},
    {"4D", "QNX4.x"},
    {"4E", "QNX4.x"},
    {"4F", "QNX4.x"},
    {"50", "Ontrack"},
    {"51", "Ontrack"},
    {"52", "CP/M"},
    {"53", "Ontrack"},
    {"54", "Ontrack"},
    {"55", "EZ-Drive"},
    {"56", "Golden Bow"},
    {"5C", "Priam Edisk"},
    {"61", "Speed Stor"},
    {"63", "GNU HURD 或 SYS"},
    {"64", "Novell Netware"},
    {"65", "Novell Netware"},
    {"70", "Disk Secure Mult"},
    {"75", "PC/IX"},
    {"80", "Old Minix"},
    {"81", "Minix/Old Linux"},
    {"82", "Linux Swap"},
    {"83", "Linux"},
    {"84", "隐藏 OS/2"},
    {"85", "Linux 扩展"},
    {"86", "FAT16 Volume Set"},
    {"87", "NTFS Volume Set"},
    {"93", "Amoeba"},
    {"94", "Amoeba BBT"},
    {"A0", "IBM Thinkpad 隐藏分区"},
    {"A5", "BSD/386"},
    {"A6", "Open BSD"},
    {"A7", "NextSTEP"},
    {"B8", "BSDI"},
    {"B9", "BSDI"},
    {"BB", "Acronis 隐藏分区"},
    {"BC", "Acronis 安全分区"},
    {"BE", "Solaris"},
    {"C0", "DRDOS"},
    {"C1", "DRDOS"},
    {"C4", "DRDOS"},
    {"C6", "DRDOS"},
    {"C7", "Syrinx"},
    {"DB", "COP/M/CTOS"},
    {"DD", "DELL DIAG"},
    {"DE", "DELL MEDIADIRECT"},
    {"E1", "SpeedStor FAT12"},
    {"E3", "SpeedStor R/O"},
    {"E4", "SpeedStor FAT16"},
    {"EB", "BeOS"},
    {"EE", "GPT"},
    {"EF", "EFI"},
    {"F0", "Linux/Pa-RISC boot"},
    {"F1", "StorgeDimensions"},
    {"F2", "DOS 第二分区"},
    {"F4", "SpeedStor"},
    {"FB", "Vmware native"},
    {"FC", "Vmware swap"},
    {"FD", "Linux raid"},
    {"FE", "SpeedStor,LanStep,PS/2 IML"},
    {"FF", "Xenix BBT"},
};

// Byte-wise comparison with a-z mapped to A-Z; a prefix orders first.
int compareIgnoringCase(const std::string& a, const std::string& b) {
  const std::string ua = upperCased(a);
  const std::string ub = upperCased(b);
  return ua.compare(ub) < 0 ? -1 : (ua == ub ? 0 : 1);
}

}  // namespace

TypeCatalogue::TypeCatalogue() {
  for (const CatalogueEntry& entry : kCatalogue) {
    ids_.push_back(entry.id);
    names_.push_back(entry.name);
  }
}

std::string TypeCatalogue::NameOf(const std::string& id) const {
  long low = 0;
  long high = static_cast<long>(ids_.size()) - 1;
  while (low <= high) {
    const long mid = (low + high) / 2;
    const int order = compareIgnoringCase(ids_[static_cast<std::size_t>(mid)], id);
    if (order < 0) {
      low = mid + 1;
    } else {
      if (order == 0) return names_[static_cast<std::size_t>(mid)];
      high = mid - 1;
    }
  }
  return std::string();
}

std::vector<std::string> TypeCatalogue::typeChoiceEntries() const {
  std::vector<std::string> entries;
  entries.reserve(ids_.size());
  for (std::size_t k = 0; k < ids_.size(); ++k) entries.push_back(ids_[k] + "|" + names_[k]);
  return entries;
}

std::string typeChoiceId(const std::string& entry) { return entry.substr(0, entry.find('|')); }

const std::vector<std::string>& typeGroupIds(TypeGroup group) {
  static const std::vector<std::string> extended{"05", "0F"};
  static const std::vector<std::string> fat32Label{"0B", "0C", "1B", "1C", "BC"};
  static const std::vector<std::string> hiddenFat32{"1B", "1C", "BC"};
  static const std::vector<std::string> hidden{"11", "12", "14", "16", "17", "BB", "A0",
                                               "1B", "1C", "BC", "27", "DD", "DE"};
  switch (group) {
    case TypeGroup::ExtendedTypes:
      return extended;
    case TypeGroup::Fat32LabelTypes:
      return fat32Label;
    case TypeGroup::HiddenFat32Types:
      return hiddenFat32;
    case TypeGroup::HiddenTypes:
      break;
  }
  return hidden;
}

bool isInGroup(TypeGroup group, const std::string& id) {
  const std::vector<std::string>& ids = typeGroupIds(group);
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

}  // namespace quenbolt

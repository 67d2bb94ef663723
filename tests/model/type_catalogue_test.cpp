#include "model/type_catalogue.h"
#include <gtest/gtest.h>
#include <cctype>
#include "model/gpt_types.h"
#include "support/tools.h"

namespace quenbolt {
namespace {
// The table of type IDs and their names, in catalogue order.
const std::pair<const char*, const char*> kCatalogue[] = {{"00", "空闲"},
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
                                                          {"FF", "Xenix BBT"}};

TEST(TypeCatalogue, HoldsTheNinetyIdsAndNamesInOrderAndFindsThemIgnoringCase) {
  const TypeCatalogue catalogue;
  const std::vector<std::string> choices = catalogue.typeChoiceEntries();
  ASSERT_EQ(choices.size(), 90u);
  for (std::size_t k = 0; k < 90; ++k) {
    const auto& [id, name] = kCatalogue[k];
    EXPECT_EQ(choices[k], std::string(id) + "|" + name);
    EXPECT_EQ(catalogue.NameOf(id), name);
    EXPECT_EQ(catalogue.NameOf(
                  {static_cast<char>(std::tolower(id[0])), static_cast<char>(std::tolower(id[1]))}),
              name);
  }
  for (const char* absent : {"0D", "13", "C2", "B", "C", "00B", "0B ", "", "0x0B"})
    EXPECT_EQ(catalogue.NameOf(absent), "") << absent;
  EXPECT_EQ(typeChoiceId("FE|SpeedStor,LanStep,PS/2 IML"), "FE");
}

TEST(TypeCatalogue, GroupsAreTheirFixedIdsComparedExactly) {
  using Ids = std::vector<std::string>;
  EXPECT_EQ(typeGroupIds(TypeGroup::ExtendedTypes), (Ids{"05", "0F"}));
  EXPECT_EQ(typeGroupIds(TypeGroup::Fat32LabelTypes), (Ids{"0B", "0C", "1B", "1C", "BC"}));
  EXPECT_EQ(typeGroupIds(TypeGroup::HiddenFat32Types), (Ids{"1B", "1C", "BC"}));
  EXPECT_EQ(typeGroupIds(TypeGroup::HiddenTypes),
            (Ids{"11", "12", "14", "16", "17", "BB", "A0", "1B", "1C", "BC", "27", "DD", "DE"}));
  EXPECT_TRUE(
      isInGroup(TypeGroup::HiddenTypes, "27") && !isInGroup(TypeGroup::ExtendedTypes, "0f") &&
      !isInGroup(TypeGroup::Fat32LabelTypes, "0b") && !isInGroup(TypeGroup::ExtendedTypes, "85"));
}
// Every GPT type the program names is one util-linux knows under that GUID: a mistyped digit
// would show every partition of that type as an unknown GUID, and write the wrong one.
TEST(GptTypes, EveryCodeNamesAGuidUtilLinuxKnows) {
  const auto [known, status] = runTool("sfdisk --label gpt -T 2>/dev/null");
  if (status != 0 || known.empty()) GTEST_SKIP() << "sfdisk is not available";
  for (const std::string& entry : gptTypeChoiceEntries()) {
    const std::optional<Guid> type = gptTypeOf(typeChoiceId(entry));
    ASSERT_TRUE(type) << entry;
    EXPECT_NE(known.find("\n" + guidText(*type) + " "), std::string::npos) << entry;
  }
}
}  // namespace
}  // namespace quenbolt

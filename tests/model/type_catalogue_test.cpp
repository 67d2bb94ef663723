#include "model/type_catalogue.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cctype>
#include "model/gpt_types.h"
#include "support/tools.h"

namespace quenbolt {
namespace {
// The catalogue's first and last IDs, those the groups and the commands test, and a name with a
// comma: pinned against the list of IDs and names the program shows. Every ID ascends, NameOf's
// binary search finds each in either case, and an ID it lacks or of another length finds nothing.
TEST(TypeCatalogue, HoldsNinetyAscendingIdsAndFindsThemIgnoringCase) {
  const TypeCatalogue catalogue;
  const std::vector<std::string> choices = catalogue.typeChoiceEntries();
  ASSERT_EQ(choices.size(), 90u);
  for (const char* pinned :
       {"00|空闲", "05|扩展", "07|NTFS", "0B|FAT32", "0C|FAT32 LBA", "0F|扩展 LBA", "17|隐藏 NTFS",
        "1B|隐藏 FAT32", "1C|隐藏 FAT32 LBA", "82|Linux Swap", "BC|Acronis 安全分区", "EE|GPT",
        "FE|SpeedStor,LanStep,PS/2 IML", "FF|Xenix BBT"}) {
    EXPECT_NE(std::find(choices.begin(), choices.end(), pinned), choices.end()) << pinned;
  }
  for (std::size_t k = 0; k < choices.size(); ++k) {
    const std::string id = typeChoiceId(choices[k]);
    const std::string name = choices[k].substr(3);
    EXPECT_TRUE(k == 0 || typeChoiceId(choices[k - 1]) < id) << id;
    EXPECT_EQ(catalogue.NameOf(id), name);
    EXPECT_EQ(catalogue.NameOf(
                  {static_cast<char>(std::tolower(id[0])), static_cast<char>(std::tolower(id[1]))}),
              name);
  }
  for (const char* absent : {"0D", "13", "C2", "B", "C", "00B", "0B ", "", "0x0B"}) {
    EXPECT_EQ(catalogue.NameOf(absent), "") << absent;
  }
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

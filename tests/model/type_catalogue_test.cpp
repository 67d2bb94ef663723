#include "model/type_catalogue.h"

#include <gtest/gtest.h>

#include <set>

namespace quenbolt {
namespace {

TEST(TypeCatalogue, HoldsNinetySortedUniqueIdsAndSeventySevenNames) {
  const TypeCatalogue catalogue;
  ASSERT_EQ(catalogue.ids().size(), 90u);
  ASSERT_EQ(catalogue.names().size(), 90u);
  for (std::size_t k = 1; k < catalogue.ids().size(); ++k) {
    EXPECT_LT(catalogue.ids()[k - 1], catalogue.ids()[k]);
  }
  const std::set<std::string> names(catalogue.names().begin(), catalogue.names().end());
  EXPECT_EQ(names.size(), 77u);
}

TEST(TypeCatalogue, NameOfFindsWholeIdsIgnoringCase) {
  const TypeCatalogue catalogue;
  EXPECT_EQ(catalogue.NameOf("00"), "空闲");
  EXPECT_EQ(catalogue.NameOf("FF"), "Xenix BBT");
  EXPECT_EQ(catalogue.NameOf("0b"), "FAT32");
  EXPECT_EQ(catalogue.NameOf("1c"), "隐藏 FAT32 LBA");
  EXPECT_EQ(catalogue.NameOf("0E"), "FAT16");
  EXPECT_EQ(catalogue.NameOf("27"), "隐藏 NTFS");
  EXPECT_EQ(catalogue.NameOf("85"), "Linux 扩展");
  for (const char* absent : {"B", "00B", "0B ", "", "C", "0D", "13", "C2", "0x0B"}) {
    EXPECT_EQ(catalogue.NameOf(absent), "") << '"' << absent << '"';
  }
  // Every entry is reachable by the search.
  for (std::size_t k = 0; k < catalogue.ids().size(); ++k) {
    EXPECT_EQ(catalogue.NameOf(catalogue.ids()[k]), catalogue.names()[k]);
  }
}

TEST(TypeCatalogue, ChoiceEntriesJoinIdAndNameWithABar) {
  const std::vector<std::string> entries = TypeCatalogue().typeChoiceEntries();
  ASSERT_EQ(entries.size(), 90u);
  EXPECT_EQ(entries.front(), "00|空闲");
  EXPECT_EQ(entries.back(), "FF|Xenix BBT");
  EXPECT_EQ(entries[14], "0F|扩展 LBA");
  EXPECT_EQ(typeChoiceId("FE|SpeedStor,LanStep,PS/2 IML"), "FE");
}

TEST(TypeGroups, AreExactCaseSensitiveSets) {
  EXPECT_TRUE(isInGroup(TypeGroup::ExtendedTypes, "0F"));
  EXPECT_FALSE(isInGroup(TypeGroup::ExtendedTypes, "0f"));
  EXPECT_FALSE(isInGroup(TypeGroup::ExtendedTypes, "85"));
  EXPECT_FALSE(isInGroup(TypeGroup::Fat32LabelTypes, "0b"));
  EXPECT_EQ(typeGroupIds(TypeGroup::HiddenTypes).size(), 13u);
  for (const std::string& id : typeGroupIds(TypeGroup::HiddenFat32Types)) {
    EXPECT_TRUE(isInGroup(TypeGroup::Fat32LabelTypes, id)) << id;
    EXPECT_TRUE(isInGroup(TypeGroup::HiddenTypes, id)) << id;
  }
}

}  // namespace
}  // namespace quenbolt

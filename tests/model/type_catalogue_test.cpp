#include "model/type_catalogue.h"

#include <gtest/gtest.h>

#include <set>

namespace quenbolt {
namespace {

TEST(TypeCatalogue, HoldsNinetySortedIdsEachFoundByNameOf) {
  const TypeCatalogue catalogue;
  ASSERT_EQ(catalogue.ids().size(), 90u);
  ASSERT_EQ(catalogue.names().size(), 90u);
  for (std::size_t k = 0; k < catalogue.ids().size(); ++k) {
    EXPECT_TRUE(k == 0 || catalogue.ids()[k - 1] < catalogue.ids()[k]) << catalogue.ids()[k];
    EXPECT_EQ(catalogue.NameOf(catalogue.ids()[k]), catalogue.names()[k]);
  }
  EXPECT_EQ(std::set<std::string>(catalogue.names().begin(), catalogue.names().end()).size(), 77u);
  const std::vector<std::string> entries = catalogue.typeChoiceEntries();
  EXPECT_EQ(entries.front(), "00|空闲");
  EXPECT_EQ(entries[14], "0F|扩展 LBA");
  EXPECT_EQ(typeChoiceId("FE|SpeedStor,LanStep,PS/2 IML"), "FE");
}

TEST(TypeCatalogue, NameOfFindsWholeIdsIgnoringCase) {
  const TypeCatalogue catalogue;
  EXPECT_EQ(catalogue.NameOf("0b"), "FAT32");
  EXPECT_EQ(catalogue.NameOf("1c"), "隐藏 FAT32 LBA");
  EXPECT_EQ(catalogue.NameOf("ff"), "Xenix BBT");
  for (const char* absent : {"B", "00B", "0B ", "", "C", "0D", "13", "0x0B"}) {
    EXPECT_EQ(catalogue.NameOf(absent), "") << '"' << absent << '"';
  }
}

TEST(TypeGroups, AreExactCaseSensitiveSets) {
  EXPECT_TRUE(isInGroup(TypeGroup::ExtendedTypes, "0F"));
  EXPECT_FALSE(isInGroup(TypeGroup::ExtendedTypes, "0f"));
  EXPECT_FALSE(isInGroup(TypeGroup::ExtendedTypes, "85"));
  EXPECT_FALSE(isInGroup(TypeGroup::Fat32LabelTypes, "0b"));
  EXPECT_TRUE(isInGroup(TypeGroup::HiddenFat32Types, "BC"));
  EXPECT_TRUE(isInGroup(TypeGroup::HiddenTypes, "BC"));
}

}  // namespace
}  // namespace quenbolt

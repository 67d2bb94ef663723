#pragma once
// The fixed vocabulary of partition type IDs and the ID groups tested by the rest of the program.

#include <string>
#include <vector>

namespace quenbolt {

class TypeCatalogue {
 public:
  // Builds the 90 entries in ascending ID order.
  TypeCatalogue();

  // The name of a type ID text, found by binary search ignoring letter case; empty when the ID
  // is not in the catalogue ("0b" finds "FAT32"; "B", "00B", "0B " and "" find nothing).
  std::string NameOf(const std::string& id) const;

  const std::vector<std::string>& ids() const { return ids_; }
  const std::vector<std::string>& names() const { return names_; }

  // The drop-down texts, ID + "|" + name, in catalogue order.
  std::vector<std::string> typeChoiceEntries() const;

 private:
  std::vector<std::string> ids_;
  std::vector<std::string> names_;
};

// The ID part of a drop-down text: everything before its first '|'.
std::string typeChoiceId(const std::string& entry);

// Fixed groups, compared by exact (case-sensitive) text.
enum class TypeGroup { ExtendedTypes, Fat32LabelTypes, HiddenFat32Types, HiddenTypes };
const std::vector<std::string>& typeGroupIds(TypeGroup group);
bool isInGroup(TypeGroup group, const std::string& id);

}  // namespace quenbolt

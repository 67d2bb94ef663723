// NameOf against the plainest possible lookup: every catalogue ID compared in turn, letters
// a-z equal to A-Z. Also the ID groups and the drop-down ID, which take the same texts.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "model/type_catalogue.h"

namespace {

char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool sameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (asciiUpper(a[i]) != asciiUpper(b[i])) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quenbolt;
  static const TypeCatalogue catalogue;
  const std::string id(reinterpret_cast<const char*>(data), size);

  std::string expected;
  for (std::size_t i = 0; i < catalogue.ids().size(); ++i) {
    if (sameIgnoringCase(catalogue.ids()[i], id)) expected = catalogue.names()[i];
  }
  FUZZ_CHECK(catalogue.NameOf(id) == expected, "NameOf differs from a linear search");

  // Groups compare exactly: a member is always a catalogue ID in upper case.
  for (TypeGroup group : {TypeGroup::ExtendedTypes, TypeGroup::Fat32LabelTypes,
                          TypeGroup::HiddenFat32Types, TypeGroup::HiddenTypes}) {
    if (isInGroup(group, id)) {
      FUZZ_CHECK(!catalogue.NameOf(id).empty(), "a group member the catalogue does not name");
    }
  }
  const std::string choiceId = typeChoiceId(id);
  FUZZ_CHECK(id.compare(0, choiceId.size(), choiceId) == 0, "the drop-down ID is not a prefix");
  FUZZ_CHECK(choiceId.find('|') == std::string::npos, "the drop-down ID holds a '|'");
  return 0;
}

#pragma once
// The rules FAT applies to a volume label, for a volume no file system driver has mounted, where
// the program writes the label itself and so must apply them itself: the text upper-cased as
// Windows upper-cases it, kept in the system's OEM code page, at most 11 bytes, none of the
// characters FAT forbids.

#include <string>

namespace quenbolt {

// What the label fields hold when a volume has no label: mkfs.fat, fatlabel and Windows all
// write it, and fsck.fat finds a boot sector that says otherwise without a label entry wrong.
extern const char* const kNoLabelField;  // "NO NAME    "

enum class FatLabelProblem {
  None,
  TooLong,             // more than 11 bytes in the OEM code page
  ForbiddenCharacter,  // a control character, one of . " * + , / : ; < = > ? [ \ ] |, or a leading
                       // blank
  NotInOemCodePage,    // a character (or its upper case) the OEM code page lacks
};

struct FatLabelField {
  FatLabelProblem problem = FatLabelProblem::None;
  // 11 bytes, blank-padded, when problem is None; kNoLabelField for an empty or all-blank label.
  std::string bytes;
  bool empty = false;  // the label removes the volume's label
};

// The label fields FAT keeps for the GBK text `label` on a system whose OEM code page is
// `oemCodePage`. Upper-casing follows Windows, not just a to z: full-width Latin, Greek,
// Cyrillic and small Roman numerals too, and a character whose upper case GBK lacks (the pinyin
// letters with tone marks) cannot be stored. Outside code page 936 only ASCII is known to be
// representable, so anything else is refused there.
FatLabelField fatLabelField(const std::string& label, unsigned oemCodePage);

}  // namespace quenbolt

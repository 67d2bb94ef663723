#include "discovery/startup_scan.h"

#include "discovery/scan_disks.h"

namespace quenbolt {

void scanWithTemporaryLetters(Platform& platform, const TypeCatalogue& catalogue,
                              PartitionList& list, TempLetterList& letters) {
  scanDisks(platform, catalogue, list);
  // Appended, not assigned: a name already recorded must stay recorded or it is never removed.
  const TempLetterList defined = assignTemporaryLetters(platform, list);
  letters.insert(letters.end(), defined.begin(), defined.end());
  scanDisks(platform, catalogue, list);
}

}  // namespace quenbolt

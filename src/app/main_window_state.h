#pragma once
// What the main window owns besides its controls: the shared store and the run's bookkeeping.

#include <optional>
#include <string>
#include <vector>

#include "discovery/partition_list.h"
#include "discovery/temporary_letters.h"
#include "model/type_catalogue.h"

namespace quenbolt {

struct MainWindowState {
  // The command line split into arguments, argument 0 (the program) included.
  std::vector<std::string> args;
  std::string commandLineHelp;
  PartitionList list;
  std::optional<TypeCatalogue> catalogue;  // built during start-up
  TempLetterList tempLetters;
  bool tempLettersRemoved = false;

  std::size_t argumentCount() const { return args.empty() ? 0 : args.size() - 1; }
};

}  // namespace quenbolt

#pragma once
// The command-line help shown by "/?", "/H" and the window menu.

#include <string>

namespace quenbolt {

// Eight lines joined by a carriage return, no carriage return at the end (GBK).
std::string buildCommandLineHelp();

extern const char* const kHelpCaption;  // "命令行参数"

}  // namespace quenbolt

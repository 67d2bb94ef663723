#pragma once
// Text for the standard output and error streams of a window program, which may have been
// started from a console, with a stream redirected to a pipe or a file, or with neither.

#include <string>

namespace quenbolt {
namespace win32 {

enum class StandardStream { Output, Error };

// Writes GBK `text`: as UTF-16 to a console (the inherited one, or the console of the parent
// process), as UTF-8 to a pipe or a file. False when there is nowhere to write or the write fails.
bool writeStandard(StandardStream stream, const std::string& text);

}  // namespace win32
}  // namespace quenbolt

#pragma once
// Splitting a raw command line into arguments.

#include <string>
#include <vector>

namespace quenbolt {

// Argument 0 is the program name; the argument count is size() - 1. Separators are bytes up to
// 32, double quotes group, outer quotes of an argument of two or more bytes are removed, and a
// pair of quotes at the start of an argument is skipped like a separator.
std::vector<std::string> splitCommandLine(const std::string& line);

}  // namespace quenbolt

#include "cli/command_line.h"

namespace quenbolt {

namespace {

// Every byte up to 32 separates: blank, tab, line ends and the other control bytes. GBK trail
// bytes start at 0x40, so a double-byte character never contains a separator or a quote.
bool isSeparator(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

std::vector<std::string> splitCommandLine(const std::string& line) {
  std::vector<std::string> args;
  const std::size_t size = line.size();
  std::size_t pos = 0;
  for (;;) {
    // Separators, and a pair of quotes where an argument would start, lead to no argument.
    while (pos < size) {
      if (isSeparator(line[pos])) {
        ++pos;
      } else if (line[pos] == '"' && pos + 1 < size && line[pos + 1] == '"') {
        pos += 2;
      } else {
        break;
      }
    }
    if (pos >= size) break;

    const std::size_t begin = pos;
    bool quoted = false;
    for (; pos < size; ++pos) {
      if (line[pos] == '"') {
        quoted = !quoted;
      } else if (!quoted && isSeparator(line[pos])) {
        break;
      }
    }
    std::string arg = line.substr(begin, pos - begin);
    if (arg.size() >= 2 && arg.front() == '"' && arg.back() == '"') {
      arg = arg.substr(1, arg.size() - 2);
    }
    args.push_back(std::move(arg));
  }
  return args;
}

}  // namespace quenbolt

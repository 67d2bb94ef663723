// Converts one UTF-8 source file to GBK for the fuzz build.
//
// clang compiles narrow literals byte for byte and has no -fexec-charset=GBK, so the fuzz build
// hands it sources that are GBK already: the literals then hold the same bytes as in the
// program GCC builds. A GBK character whose second byte is 0x5C would read as a backslash to
// the compiler (escaping a quote, or continuing a // comment onto the next line), so such a
// character stops the build instead of silently changing the code.
//
// Usage: to_gbk <input> <output>
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: to_gbk <input> <output>\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "to_gbk: cannot read %s\n", argv[1]);
    return 1;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  iconv_t cd = iconv_open("GBK", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    std::perror("to_gbk: iconv_open GBK");
    return 1;
  }
  std::string out(text.size() * 2 + 16, '\0');
  char* src = text.data();
  std::size_t srcLeft = text.size();
  char* dst = out.data();
  std::size_t dstLeft = out.size();
  if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1)) {
    std::size_t line = 1;
    for (const char* p = text.data(); p < src; ++p) line += *p == '\n';
    std::fprintf(stderr, "%s:%zu: cannot be written in GBK (%s)\n", argv[1], line,
                 errno == EILSEQ ? "no such character" : "incomplete UTF-8");
    return 1;
  }
  iconv_close(cd);
  out.resize(out.size() - dstLeft);

  std::size_t line = 1;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(out[i]);
    if (byte == '\n') ++line;
    if (byte >= 0x81 && byte <= 0xFE && i + 1 < out.size()) {
      if (out[i + 1] == '\\') {
        std::fprintf(stderr, "%s:%zu: a character whose GBK trail byte is a backslash; write it as "
                     "\\x escapes\n", argv[1], line);
        return 1;
      }
      ++i;
    }
  }

  std::ofstream result(argv[2], std::ios::binary);
  result << out;
  return result ? 0 : 1;
}

#pragma once
// What every fuzz target shares: choices drawn from the fuzzer's input, and a check that stops
// the run with a message when an invariant breaks.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "property/random_machine.h"

namespace quenbolt {
namespace hardening {

// The random machine builder, steered by the input: every choice takes bytes from it, and an
// exhausted input answers 0 to everything, which ends every loop.
class FuzzChooser : public Chooser {
 public:
  explicit FuzzChooser(FuzzedDataProvider& data) : data_(data) {}
  std::uint32_t below(std::uint32_t n) override {
    return n == 0 ? 0 : data_.ConsumeIntegralInRange<std::uint32_t>(0, n - 1);
  }
  std::uint32_t word() override { return data_.ConsumeIntegral<std::uint32_t>(); }

 private:
  FuzzedDataProvider& data_;
};

[[noreturn]] inline void invariantBroken(const char* file, int line, const std::string& what) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what.c_str());
  std::abort();
}

}  // namespace hardening
}  // namespace quenbolt

#define FUZZ_CHECK(condition, what)                                            \
  do {                                                                         \
    if (!(condition)) ::quenbolt::hardening::invariantBroken(__FILE__, __LINE__, what); \
  } while (0)

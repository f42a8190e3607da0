// The libFuzzer entry of one fuzz program; COLC_FUZZ_TARGET names its target.
#include <cstdio>
#include <cstdlib>

#include "fuzz/targets.h"

namespace {

const FuzzTarget& chosenTarget() {
  for (const FuzzTarget& target : kFuzzTargets)
    if (target.name == COLC_FUZZ_TARGET) return target;
  std::fprintf(stderr, "no fuzz target named %s\n", COLC_FUZZ_TARGET);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const FuzzTarget& target = chosenTarget();
  target.run({data, size});
  return 0;
}

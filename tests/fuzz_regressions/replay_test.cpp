// Replays, through the fuzz targets' own functions, every input that once
// made a target fail (fuzz/regressions/<target>/) and the seed corpus
// (fuzz/corpus/<target>/). An input passes when the target returns: it
// either used the input or refused it with a kcException and kept its
// promises. Under the sanitizer build this also checks memory and leaks.
#include <gtest/gtest.h>

#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "fuzz/targets.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> fileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FuzzReplay : public testing::TestWithParam<FuzzTarget> {};

}  // namespace

// Names the target in test listings instead of dumping its bytes.
void PrintTo(const FuzzTarget& target, std::ostream* os) { *os << target.name; }

TEST_P(FuzzReplay, KnownInputsAreUsedOrRefusedCleanly) {
  const FuzzTarget& target = GetParam();
  int replayed = 0;
  for (const char* folder : {"corpus", "regressions"}) {
    const fs::path inputs = fs::path(COLC_SOURCE_DIR) / "fuzz" / folder / target.name;
    if (!fs::is_directory(inputs)) continue;
    for (const fs::directory_entry& file : fs::directory_iterator(inputs)) {
      const std::vector<std::uint8_t> bytes = fileBytes(file.path());
      try {
        target.run(bytes);
      } catch (const std::exception& e) {
        ADD_FAILURE() << file.path() << ": " << e.what();
      }
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 0) << "no seed corpus for " << target.name;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, testing::ValuesIn(kFuzzTargets),
                         [](const testing::TestParamInfo<FuzzTarget>& info) { return std::string(info.param.name); });

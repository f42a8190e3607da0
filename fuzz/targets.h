// The fuzz targets by name. Each fuzz program runs one of them under
// libFuzzer (fuzz_main.cpp); the regression test replays the seed corpus
// and every input that once failed through the same functions.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "fuzz/archive_file_target.h"
#include "fuzz/pel_map_target.h"
#include "fuzz/plane_fit_target.h"
#include "fuzz/record_targets.h"

struct FuzzTarget {
  std::string_view name;
  void (*run)(std::span<const std::uint8_t> data);
};

inline constexpr FuzzTarget kFuzzTargets[] = {
    {"params", fuzzParamsArchive},     {"channel_result", fuzzChannelResultArchive},
    {"result", fuzzResultArchive},     {"error_object", fuzzErrorObject},
    {"pel_map_image", fuzzPelMapImage}, {"plane_fit", fuzzPlaneFit},
    {"archive_file", fuzzArchiveFile},
};

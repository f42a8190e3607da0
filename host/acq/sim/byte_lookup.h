// out[i] = table[index[i]] for i in [0, n): a 256-entry byte table. On
// processors with byte permutes (AVX-512 VBMI) 64 bytes go through the table
// at once, as fast as copying them; elsewhere one at a time. Calls are
// often short (a few dozen bytes), too short for cv::LUT's set-up, and
// many: callers ask once for the form that suits the processor and keep it.
#pragma once

#include <cstddef>
#include <cstdint>

using kcByteLookup = void (*)(const std::uint8_t* index, const std::uint8_t* table, std::uint8_t* out, std::size_t n);

kcByteLookup kfByteLookup();

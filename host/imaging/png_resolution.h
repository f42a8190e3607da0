// The print resolution of a PNG file: its pHYs chunk, which tells a
// printing program how many pels to lay on a metre of paper, so that a
// target comes out at the size it was drawn for.
#pragma once

#include <cstdint>
#include <vector>

// The PNG file's bytes with a pHYs chunk of pelsPerMetre along both axes
// right after the header chunk, where the format wants it. kcBadArgument
// for bytes that do not begin with a PNG signature and header chunk, for
// a file that already holds a pHYs chunk, or for 0 pels per metre.
std::vector<unsigned char> kfPngWithResolution(const std::vector<unsigned char>& png, std::uint32_t pelsPerMetre);

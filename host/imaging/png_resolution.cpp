#include "host/imaging/png_resolution.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "colc/host/exceptions.h"

namespace {

constexpr std::array<unsigned char, 8> kSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Signature, then the header chunk: length, type, 13 bytes of data, CRC.
constexpr std::size_t kAfterHeader = 8 + 4 + 4 + 13 + 4;

void putBigEndian(std::vector<unsigned char>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(v >> shift));
}

bool holdsChunk(const std::vector<unsigned char>& png, const char* type) {
  std::size_t at = 8;
  while (at + 8 <= png.size()) {
    const std::uint32_t length = (std::uint32_t{png[at]} << 24) | (std::uint32_t{png[at + 1]} << 16) |
                                 (std::uint32_t{png[at + 2]} << 8) | png[at + 3];
    if (std::memcmp(&png[at + 4], type, 4) == 0) return true;
    at += 12 + std::size_t{length};
  }
  return false;
}

}  // namespace

std::vector<unsigned char> kfPngWithResolution(const std::vector<unsigned char>& png, std::uint32_t pelsPerMetre) {
  if (pelsPerMetre == 0) throw kcBadArgument("a print resolution of 0 pels per metre");
  if (png.size() < kAfterHeader || !std::equal(kSignature.begin(), kSignature.end(), png.begin()) ||
      std::memcmp(&png[12], "IHDR", 4) != 0)
    throw kcBadArgument("not a PNG file with a header chunk");
  if (holdsChunk(png, "pHYs")) throw kcBadArgument("the PNG file already states its resolution");

  std::vector<unsigned char> chunk;
  putBigEndian(chunk, 9);
  for (char c : {'p', 'H', 'Y', 's'}) chunk.push_back(static_cast<unsigned char>(c));
  putBigEndian(chunk, pelsPerMetre);
  putBigEndian(chunk, pelsPerMetre);
  chunk.push_back(1);  // the unit is the metre
  // The CRC covers the chunk's type and data, not its length.
  putBigEndian(chunk, static_cast<std::uint32_t>(crc32(0L, chunk.data() + 4, 4 + 9)));

  std::vector<unsigned char> out = png;
  out.insert(out.begin() + kAfterHeader, chunk.begin(), chunk.end());
  return out;
}

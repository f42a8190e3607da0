// The size an image file declares in its header, found without decoding
// anything, so that a reader can refuse an image too large to decode before
// it costs memory and time. The decoders' own libraries offer no such look
// without a decoder set up around the whole file; the four headers keep the
// size at fixed, simple places.
#pragma once

#include <optional>
#include <span>

struct kcImageFileSize {
  unsigned long width = 0;
  unsigned long height = 0;
};

// The size declared by a PNG, BMP, JPEG or TIFF (classic or big) file's
// bytes; nothing when the bytes are none of these or end before the size.
std::optional<kcImageFileSize> kfImageFileSize(std::span<const unsigned char> bytes);

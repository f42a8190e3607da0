#include "host/imaging/image_header.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Reads n-byte unsigned numbers at given offsets, nothing beyond the end.
class Bytes {
 public:
  Bytes(std::span<const unsigned char> bytes, bool bigEndian) : bytes_(bytes), bigEndian_(bigEndian) {}
  bool has(std::uint64_t at, std::uint64_t n) const { return at <= bytes_.size() && n <= bytes_.size() - at; }
  std::uint64_t number(std::uint64_t at, int n) const {
    std::uint64_t value = 0;
    for (int i = 0; i < n; ++i) {
      const std::uint64_t byte = bytes_[at + (bigEndian_ ? i : n - 1 - i)];
      value = (value << 8) | byte;
    }
    return value;
  }
  bool startsWith(const char* text, std::size_t n) const {
    return has(0, n) && std::memcmp(bytes_.data(), text, n) == 0;
  }

 private:
  std::span<const unsigned char> bytes_;
  bool bigEndian_;
};

std::optional<kcImageFileSize> pngSize(const Bytes& b) {
  // The signature, then the IHDR chunk with width and height first.
  if (!b.startsWith("\x89PNG\r\n\x1a\n", 8) || !b.has(8, 16) || b.number(12, 4) != 0x49484452) return {};
  return kcImageFileSize{b.number(16, 4), b.number(20, 4)};
}

std::optional<kcImageFileSize> bmpSize(const Bytes& b) {
  if (!b.startsWith("BM", 2) || !b.has(14, 4)) return {};
  const std::uint64_t header = b.number(14, 4);
  if (header == 12 && b.has(18, 4)) return kcImageFileSize{b.number(18, 2), b.number(20, 2)};
  if (header < 40 || !b.has(18, 8)) return {};
  // A negative height stores the rows top down.
  const auto width = static_cast<std::int32_t>(b.number(18, 4)), height = static_cast<std::int32_t>(b.number(22, 4));
  return kcImageFileSize{static_cast<unsigned long>(std::abs(static_cast<long>(width))),
                         static_cast<unsigned long>(std::abs(static_cast<long>(height)))};
}

std::optional<kcImageFileSize> jpegSize(const Bytes& b) {
  if (!b.startsWith("\xff\xd8", 2)) return {};
  std::uint64_t at = 2;
  for (;;) {
    while (b.has(at, 1) && b.number(at, 1) == 0xff) ++at;  // fill bytes before a marker
    if (!b.has(at, 3) || b.number(at - 1, 1) != 0xff) return {};
    const std::uint64_t marker = b.number(at, 1);
    ++at;
    if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7)) continue;  // markers without a length
    if (marker == 0xd9 || marker == 0xda) return {};                     // the image ends or starts without a frame
    const std::uint64_t length = b.number(at, 2);
    // Start of frame: every 0xCn but the tables (C4, CC) and the reserved C8.
    const bool frame = marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
    if (frame) {
      if (!b.has(at, 7)) return {};
      return kcImageFileSize{b.number(at + 5, 2), b.number(at + 3, 2)};
    }
    at += length;
  }
}

std::optional<kcImageFileSize> tiffSize(std::span<const unsigned char> bytes) {
  if (bytes.size() < 8) return {};
  const bool big = bytes[0] == 'M' && bytes[1] == 'M';
  if (!big && !(bytes[0] == 'I' && bytes[1] == 'I')) return {};
  const Bytes b(bytes, big);
  const std::uint64_t version = b.number(2, 2);
  if (version != 42 && version != 43) return {};
  // Classic TIFF: 4-byte offsets and counts, 12-byte entries; BigTIFF:
  // 8-byte offsets and counts, 20-byte entries. The first directory is the
  // image a decoder reads.
  const bool bigTiff = version == 43;
  const int offsetBytes = bigTiff ? 8 : 4;
  const std::uint64_t directoryAt = bigTiff ? (b.has(8, 8) ? b.number(8, 8) : 0) : b.number(4, 4);
  const int countBytes = bigTiff ? 8 : 2, entryBytes = bigTiff ? 20 : 12;
  if (directoryAt == 0 || !b.has(directoryAt, countBytes)) return {};
  const std::uint64_t entries = b.number(directoryAt, countBytes);
  std::optional<std::uint64_t> width, height;
  for (std::uint64_t i = 0; i < entries; ++i) {
    const std::uint64_t at = directoryAt + countBytes + i * entryBytes;
    if (!b.has(at, entryBytes)) return {};
    const std::uint64_t tag = b.number(at, 2), type = b.number(at + 2, 2);
    const std::uint64_t valueAt = at + 4 + offsetBytes;
    // SHORT, LONG or LONG8, stored in the entry itself.
    const int valueBytes = type == 3 ? 2 : type == 4 ? 4 : type == 16 ? 8 : 0;
    if (valueBytes == 0 || valueBytes > offsetBytes) continue;
    if (tag == 256) width = b.number(valueAt, valueBytes);
    if (tag == 257) height = b.number(valueAt, valueBytes);
  }
  if (!width || !height) return {};
  return kcImageFileSize{*width, *height};
}

}  // namespace

std::optional<kcImageFileSize> kfImageFileSize(std::span<const unsigned char> bytes) {
  const Bytes bigEndian(bytes, true), littleEndian(bytes, false);
  if (auto size = pngSize(bigEndian)) return size;
  if (auto size = bmpSize(littleEndian)) return size;
  if (auto size = jpegSize(bigEndian)) return size;
  return tiffSize(bytes);
}

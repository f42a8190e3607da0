#include "host/persist/file_container.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <iterator>

#include "colc/host/exceptions.h"
#include "colc/host/persist.h"

namespace {

// Bit flips in the mark would otherwise turn a damaged file into one of the
// old layout; a bare archive differs from the mark in far more bits.
constexpr int kMaxDamagedMarkBits = 8;

int bitsDifferingFromMark(const std::vector<unsigned char>& file) {
  int bits = 0;
  for (std::size_t i = 0; i < std::size(kArchiveFileMark); ++i)
    bits += std::popcount(static_cast<unsigned>(file[i] ^ kArchiveFileMark[i]));
  return bits;
}

}  // namespace

std::uint32_t kfArchiveChecksum(std::uint32_t running, const void* data, std::size_t n) {
  // zlib takes at most 4 GiB per call.
  const auto* bytes = static_cast<const Bytef*>(data);
  uLong crc = running;
  for (std::size_t done = 0; done < n;) {
    const uInt piece = static_cast<uInt>(std::min<std::size_t>(n - done, 1u << 30));
    crc = ::crc32(crc, bytes + done, piece);
    done += piece;
  }
  return static_cast<std::uint32_t>(crc);
}

std::vector<unsigned char> kfArchiveBytesOfFile(std::vector<unsigned char> file, const std::string& path) {
  const std::size_t frame = std::size(kArchiveFileMark) + kArchiveChecksumBytes;
  if (file.size() < std::size(kArchiveFileMark) || bitsDifferingFromMark(file) > kMaxDamagedMarkBits) return file;
  if (file.size() < frame) throw kcArchive::BadData("'" + path + "' is damaged: it ends within its checksum");
  const std::size_t body = file.size() - kArchiveChecksumBytes;
  std::uint32_t stored = 0;
  for (std::size_t i = 0; i < kArchiveChecksumBytes; ++i)
    stored |= static_cast<std::uint32_t>(file[body + i]) << (8 * i);
  if (bitsDifferingFromMark(file) != 0 || kfArchiveChecksum(0, file.data(), body) != stored)
    throw kcArchive::BadData("'" + path + "' is damaged: its checksum does not match its contents");
  file.resize(body);
  file.erase(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(std::size(kArchiveFileMark)));
  return file;
}

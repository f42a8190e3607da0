// The container a file archive is stored in: an 8-byte mark, the archive's
// bytes, and the CRC-32 (zlib's) of the mark and the bytes, little-endian.
// A file written before the container existed is the archive's bare bytes.
// Such a file never begins with anything close to the mark: every record
// begins with its version byte 0 and every string with a small length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr unsigned char kArchiveFileMark[8] = {0x89, 'c', 'o', 'l', 'c', 'a', 'r', 0x01};
inline constexpr std::size_t kArchiveChecksumBytes = 4;

// The CRC-32 of data continued from running (0 for the first piece).
std::uint32_t kfArchiveChecksum(std::uint32_t running, const void* data, std::size_t n);

// The archive's bytes within the bytes of the file path: without the mark
// and the checksum, or all of them for a file without the mark. A file that
// bears the mark, or one damaged in a few bits, and whose checksum does not
// match throws kcArchive::BadData naming path.
std::vector<unsigned char> kfArchiveBytesOfFile(std::vector<unsigned char> file, const std::string& path);

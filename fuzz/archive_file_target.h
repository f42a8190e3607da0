// Fuzz target for the container of archive files, as a damaged or hostile
// file would reach it, followed by the result record it usually holds.
//
// Promises checked beyond "no crash, no leak, only kcException":
//   - bytes that do not begin with the mark come back whole (the layout of
//     files written before the container);
//   - bytes that are accepted with the mark come back as what lies between
//     the mark and the checksum, and wrap up again to the very same file.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <span>
#include <vector>

#include "colc/host/exceptions.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/record_targets.h"
#include "host/persist/file_container.h"

inline void fuzzArchiveFile(std::span<const std::uint8_t> data) {
  const std::vector<unsigned char> file(data.begin(), data.end());
  std::vector<unsigned char> bytes;
  try {
    bytes = kfArchiveBytesOfFile(file, "fuzz input");
  } catch (const kcArchive::BadData&) {
    return;
  }
  const std::size_t markBytes = std::size(kArchiveFileMark);
  const bool marked =
      file.size() >= markBytes && std::equal(kArchiveFileMark, kArchiveFileMark + markBytes, file.begin());
  if (!marked) {
    fuzzCheck(bytes == file, "bytes without the mark did not come back whole");
  } else {
    std::vector<unsigned char> again(kArchiveFileMark, kArchiveFileMark + markBytes);
    again.insert(again.end(), bytes.begin(), bytes.end());
    const std::uint32_t checksum = kfArchiveChecksum(0, again.data(), again.size());
    for (std::size_t i = 0; i < kArchiveChecksumBytes; ++i)
      again.push_back(static_cast<unsigned char>(checksum >> (8 * i)));
    fuzzCheck(again == file, "an accepted file does not wrap up to itself");
  }
  fuzzResultArchive(bytes);
}

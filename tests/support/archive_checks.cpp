#include "support/archive_checks.h"

#include <gtest/gtest.h>

#include <random>

#include "colc/host/exceptions.h"

void expectCorruptionRefused(const std::vector<unsigned char>& bytes, const std::function<void(kcArchive&)>& read,
                             int flips) {
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    kcMemoryArchive ar(std::vector<unsigned char>(bytes.begin(), bytes.begin() + static_cast<long>(n)));
    EXPECT_THROW(read(ar), kcException) << "prefix of " << n << " of " << bytes.size() << " bytes";
  }
  std::mt19937 random(12345);
  std::uniform_int_distribution<std::size_t> bit(0, bytes.size() * 8 - 1);
  for (int i = 0; i < flips; ++i) {
    std::vector<unsigned char> damaged = bytes;
    for (int k = 0; k <= i % 3; ++k) {
      const std::size_t b = bit(random);
      damaged[b / 8] ^= static_cast<unsigned char>(1u << (b % 8));
    }
    kcMemoryArchive ar(std::move(damaged));
    try {
      read(ar);
    } catch (const kcException&) {
    }
  }
}

// Arbitrary bytes taken apart into the small numbers that the targets
// need. Reading past the end gives 0, so every input, however short,
// describes something.
#pragma once

#include <cstdint>
#include <span>

class FuzzInput {
 public:
  explicit FuzzInput(std::span<const std::uint8_t> data) : data_(data) {}

  std::uint8_t byte() { return position_ < data_.size() ? data_[position_++] : 0; }
  // A number in [0, limit].
  long upTo(long limit) { return limit <= 0 ? 0 : byte() % (limit + 1); }
  // A number in [-limit, limit].
  long around(long limit) { return upTo(2 * limit) - limit; }
  // One of a few telling values or a random one, for geometry and transfers.
  double real(double scale) {
    switch (byte() % 8) {
      case 0: return 0.0;
      case 1: return scale;
      case 2: return -scale;
      case 3: return scale / 2.0;  // lands samples and transfers on halves
      default: return scale * (static_cast<std::int8_t>(byte()) / 64.0);
    }
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t position_ = 0;
};

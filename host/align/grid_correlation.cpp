// Each 32-bit lane holds a pel and its right neighbour as two 16-bit
// halves, and each tap two neighbouring pattern pels the same way, so that
// one 16-bit multiply-add weighs two pels. A lane of sums gains at most
// 2 x 255^2 per pair of taps: runs of kPairsPerRun pairs fit 31 bits, and
// each run is added to the placement's total in double precision, which
// holds these integers exactly. The image's sums over the pattern's rows
// fit 32 bits for patterns up to 33,000 rows, its sums over a placement
// 64 bits.
#include "host/align/grid_correlation.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr int kPairsPerRun = static_cast<int>(0x7fffffff / (2 * 255 * 255));
constexpr int kSlack = 16;

std::int32_t pair(int left, int right) { return left | right << 16; }

// sums[x] += the products of taps[k] with pairs[x + 2k], k < tapCount, for
// x below n rounded up to whole vectors (of 16, 8 or 4 lanes): sums and
// pairs reach that far (kSlack beyond n and beyond the pels), and what
// lies beyond n is not used.
[[gnu::target("avx512f,avx512bw")]] void addProducts512(const std::int32_t* pairs, const std::int32_t* taps,
                                                        int tapCount, std::int32_t* sums, int n) {
  for (int x = 0; x < n; x += 16) {
    __m512i sum = _mm512_loadu_si512(sums + x);
    for (int k = 0; k < tapCount; ++k)
      sum = _mm512_add_epi32(sum, _mm512_madd_epi16(_mm512_loadu_si512(pairs + x + 2 * k), _mm512_set1_epi32(taps[k])));
    _mm512_storeu_si512(sums + x, sum);
  }
}

[[gnu::target("avx2")]] void addProducts256(const std::int32_t* pairs, const std::int32_t* taps, int tapCount,
                                           std::int32_t* sums, int n) {
  for (int x = 0; x < n; x += 8) {
    __m256i sum = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + x));
    for (int k = 0; k < tapCount; ++k)
      sum = _mm256_add_epi32(sum, _mm256_madd_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pairs + x + 2 * k)),
                                                    _mm256_set1_epi32(taps[k])));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + x), sum);
  }
}

void addProducts128(const std::int32_t* pairs, const std::int32_t* taps, int tapCount, std::int32_t* sums, int n) {
  for (int x = 0; x < n; x += 4) {
    __m128i sum = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + x));
    for (int k = 0; k < tapCount; ++k)
      sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pairs + x + 2 * k)),
                                              _mm_set1_epi32(taps[k])));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + x), sum);
  }
}

void addProducts(const std::int32_t* pairs, const std::int32_t* taps, int tapCount, std::int32_t* sums, int n,
                 kcVectorWidth width) {
  if (width == kcVectorWidth::e512)
    addProducts512(pairs, taps, tapCount, sums, n);
  else if (width == kcVectorWidth::e256)
    addProducts256(pairs, taps, tapCount, sums, n);
  else
    addProducts128(pairs, taps, tapCount, sums, n);
}

}  // namespace

cv::Mat kfPatternCorrelations(const cv::Mat& image, const cv::Mat& pattern, kcVectorWidth width) {
  CV_Assert(image.type() == CV_8UC1 && pattern.type() == CV_8UC1 && pattern.cols <= image.cols &&
            pattern.rows <= image.rows && !pattern.empty());
  const cv::Size out(image.cols - pattern.cols + 1, image.rows - pattern.rows + 1);
  // Each row's pels in pairs (the last with 0, then kSlack zeros), the
  // pattern's rows in pairs of taps (an odd row's last with 0).
  cv::Mat pairs(image.rows, image.cols + kSlack, CV_32S, cv::Scalar(0));
  for (int y = 0; y < image.rows; ++y) {
    const unsigned char* p = image.ptr(y);
    std::int32_t* q = pairs.ptr<std::int32_t>(y);
    for (int x = 0; x + 1 < image.cols; ++x) q[x] = pair(p[x], p[x + 1]);
    q[image.cols - 1] = p[image.cols - 1];
  }
  const int tapCount = (pattern.cols + 1) / 2;
  std::vector<std::int32_t> taps(static_cast<std::size_t>(tapCount * pattern.rows));
  double patternSum = 0.0, patternSquares = 0.0;
  for (int y = 0; y < pattern.rows; ++y) {
    const unsigned char* p = pattern.ptr(y);
    for (int k = 0; k < tapCount; ++k)
      taps[static_cast<std::size_t>(y * tapCount + k)] = pair(p[2 * k], 2 * k + 1 < pattern.cols ? p[2 * k + 1] : 0);
    for (int x = 0; x < pattern.cols; ++x) patternSum += p[x], patternSquares += p[x] * p[x];
  }
  const double n = static_cast<double>(pattern.total());
  const double patternSpread = n * patternSquares - patternSum * patternSum;

  // Per row of placements: the products, the image's column sums and sums
  // of squares over the pattern's rows (kept from row to row), and their
  // sums over the pattern's columns.
  cv::Mat scores(out, CV_32F);
  std::vector<std::int32_t> run(static_cast<std::size_t>(out.width + kSlack));
  std::vector<double> products(static_cast<std::size_t>(out.width));
  std::vector<std::int32_t> columnSums(static_cast<std::size_t>(image.cols)), columnSquares(columnSums.size());
  for (int y = 0; y < out.height; ++y) {
    std::fill(products.begin(), products.end(), 0.0);
    for (int top = 0; top < pattern.rows;) {
      const int rows = std::min(pattern.rows - top, std::max(1, kPairsPerRun / tapCount));
      std::fill(run.begin(), run.end(), 0);
      for (int r = top; r < top + rows; ++r)
        addProducts(pairs.ptr<std::int32_t>(y + r), &taps[static_cast<std::size_t>(r * tapCount)], tapCount, run.data(),
                    out.width, width);
      for (int x = 0; x < out.width; ++x) products[static_cast<std::size_t>(x)] += run[static_cast<std::size_t>(x)];
      top += rows;
    }
    const auto addRow = [&](int row, int sign) {
      const unsigned char* p = image.ptr(row);
      for (int x = 0; x < image.cols; ++x)
        columnSums[static_cast<std::size_t>(x)] += sign * p[x], columnSquares[static_cast<std::size_t>(x)] += sign * p[x] * p[x];
    };
    if (y == 0) {
      for (int r = 0; r < pattern.rows; ++r) addRow(r, 1);
    } else {
      addRow(y + pattern.rows - 1, 1);
      addRow(y - 1, -1);
    }
    std::int64_t sum = 0, squares = 0;
    for (int x = 0; x < pattern.cols; ++x)
      sum += columnSums[static_cast<std::size_t>(x)], squares += columnSquares[static_cast<std::size_t>(x)];
    float* score = scores.ptr<float>(y);
    for (int x = 0;; ++x) {
      const double s = static_cast<double>(sum);
      const double spread = n * static_cast<double>(squares) - s * s;
      score[x] = spread > 0.0 && patternSpread > 0.0
                     ? static_cast<float>((n * products[static_cast<std::size_t>(x)] - patternSum * s) /
                                          std::sqrt(spread * patternSpread))
                     : 0.0f;
      if (x + 1 == out.width) break;
      const std::size_t in = static_cast<std::size_t>(x + pattern.cols), gone = static_cast<std::size_t>(x);
      sum += columnSums[in] - columnSums[gone], squares += columnSquares[in] - columnSquares[gone];
    }
  }
  return scores;
}

// Each 32-bit lane holds a pel and its right neighbour as two 16-bit
// halves, and each tap two neighbouring pattern pels the same way, so that
// one 16-bit multiply-add weighs two pels. A lane of sums gains at most
// 2 x 255^2 per pair of taps: runs of kPairsPerRun pairs fit 31 bits, and
// each run is added to the placement's total in double precision, which
// holds these integers exactly.
#include "host/align/grid_correlation.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <opencv2/imgproc.hpp>
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

  cv::Mat products(out, CV_64F);
  std::vector<std::int32_t> run(static_cast<std::size_t>(out.width + kSlack));
  for (int y = 0; y < out.height; ++y) {
    double* total = products.ptr<double>(y);
    std::fill(total, total + out.width, 0.0);
    for (int top = 0; top < pattern.rows;) {
      const int rows = std::min(pattern.rows - top, std::max(1, kPairsPerRun / tapCount));
      std::fill(run.begin(), run.end(), 0);
      for (int r = top; r < top + rows; ++r)
        addProducts(pairs.ptr<std::int32_t>(y + r), &taps[static_cast<std::size_t>(r * tapCount)], tapCount, run.data(),
                    out.width, width);
      for (int x = 0; x < out.width; ++x) total[x] += run[static_cast<std::size_t>(x)];
      top += rows;
    }
  }
  cv::Mat sums, squares;
  cv::integral(image, sums, squares, CV_64F, CV_64F);
  cv::Mat scores(out, CV_32F);
  for (int y = 0; y < out.height; ++y) {
    const double* s0 = sums.ptr<double>(y);
    const double* s1 = sums.ptr<double>(y + pattern.rows);
    const double* q0 = squares.ptr<double>(y);
    const double* q1 = squares.ptr<double>(y + pattern.rows);
    const double* product = products.ptr<double>(y);
    float* score = scores.ptr<float>(y);
    for (int x = 0; x < out.width; ++x) {
      const int right = x + pattern.cols;
      const double sum = s1[right] - s1[x] - s0[right] + s0[x];
      const double spread = n * (q1[right] - q1[x] - q0[right] + q0[x]) - sum * sum;
      score[x] = spread > 0.0 && patternSpread > 0.0
                     ? static_cast<float>((n * product[x] - patternSum * sum) / std::sqrt(spread * patternSpread))
                     : 0.0f;
    }
  }
  return scores;
}

// The vector lanes hold 32-bit sums of squares: a lane gains at most
// 4 x 255^2 per vector of pels, so runs of kVectorsPerRun vectors cannot
// overflow it before it is added to the moments, lane by lane. (The sums
// of |a - b| gain 4 x 255 per vector: all four lanes of a run fit 32 bits.)
#include "host/imaging/difference_moments.h"

#include <cstdint>
#include <immintrin.h>
#include <opencv2/core/hal/intrin.hpp>

namespace {

constexpr long kVectorsPerRun = 16384;

// The sums over the first pels in AVX2's vectors of 32: |a - b| summed by
// the instruction that sums absolute differences (from 0) into 64-bit
// lanes, the squares by 16-bit multiply-adds. Returns how many pels.
[[gnu::target("avx2")]] long addWide(const unsigned char* a, const unsigned char* b, long n, kcPelDifferenceMoments& m) {
  const __m256i zero = _mm256_setzero_si256();
  __m256i sum = zero;
  long x = 0;
  while (x + 32 <= n) {
    __m256i squares = zero;
    for (long v = 0; v < kVectorsPerRun && x + 32 <= n; ++v, x += 32) {
      const __m256i pa = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + x));
      const __m256i pb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + x));
      const __m256i d = _mm256_or_si256(_mm256_subs_epu8(pa, pb), _mm256_subs_epu8(pb, pa));
      sum = _mm256_add_epi64(sum, _mm256_sad_epu8(d, zero));
      const __m256i low = _mm256_unpacklo_epi8(d, zero), high = _mm256_unpackhi_epi8(d, zero);
      squares = _mm256_add_epi32(squares, _mm256_add_epi32(_mm256_madd_epi16(low, low), _mm256_madd_epi16(high, high)));
    }
    alignas(32) std::uint32_t lanes[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), squares);
    for (const std::uint32_t lane : lanes) m.sumOfSquares += lane;
  }
  alignas(32) std::uint64_t lanes[4];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), sum);
  for (const std::uint64_t lane : lanes) m.sum += lane;
  return x;
}

}  // namespace

void kfAddDifferenceMoments(const unsigned char* a, const unsigned char* b, long n, kcPelDifferenceMoments& m,
                            kcVectorWidth width) {
  long x = width >= kcVectorWidth::e256 ? addWide(a, b, n, m) : 0;
#if CV_SIMD128
  const cv::v_uint8x16 ones = cv::v_setall_u8(1);
  while (x + 16 <= n) {
    cv::v_uint32x4 sum = cv::v_setzero_u32(), squares = cv::v_setzero_u32();
    for (long v = 0; v < kVectorsPerRun && x + 16 <= n; ++v, x += 16) {
      const cv::v_uint8x16 d = cv::v_absdiff(cv::v_load(a + x), cv::v_load(b + x));
      sum += cv::v_dotprod_expand(d, ones);
      squares += cv::v_dotprod_expand(d, d);
    }
    m.sum += cv::v_reduce_sum(sum);
    // Lane by lane: the four lanes' sum may pass 32 bits.
    alignas(16) std::uint32_t lanes[4];
    cv::v_store_aligned(lanes, squares);
    for (const std::uint32_t lane : lanes) m.sumOfSquares += lane;
  }
#endif
  for (; x < n; ++x) {
    const std::uint64_t d = a[x] > b[x] ? a[x] - b[x] : b[x] - a[x];
    m.sum += d;
    m.sumOfSquares += d * d;
  }
}

// The colour correction in 256-bit vectors, 8 pels a step: levels decode
// by gathering loads of the 32-bit table, and a segment's cubic is looked
// up in its two registers of 8 by permutes.
#include "colc/records/internal/correction_vectors.h"

#include <immintrin.h>

namespace {

using S = kcEncodingSegments;

constexpr long kPels = 8;

[[gnu::target("avx2"), gnu::always_inline]] inline __m256 segmentEntry(const float* table, __m256i segment) {
  const __m256 low = _mm256_permutevar8x32_ps(_mm256_loadu_ps(table), segment);
  const __m256 high = _mm256_permutevar8x32_ps(_mm256_loadu_ps(table + 8), segment);
  // Segments 8 to 15 have bit 3 set, which the shift makes the sign bit.
  return _mm256_blendv_ps(low, high, _mm256_castsi256_ps(_mm256_slli_epi32(segment, 28)));
}

// kcCorrectionArithmetic::level, 8 lanes at a time.
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i level(const kcCorrectionArithmetic& a,
                                                                 const std::array<float, 4>& row,
                                                                 const __m256 (&x)[3]) {
  __m256 sum = _mm256_mul_ps(_mm256_set1_ps(row[0]), x[0]);
  sum = _mm256_add_ps(sum, _mm256_mul_ps(_mm256_set1_ps(row[1]), x[1]));
  sum = _mm256_add_ps(sum, _mm256_mul_ps(_mm256_set1_ps(row[2]), x[2]));
  sum = _mm256_add_ps(sum, _mm256_set1_ps(row[3]));
  sum = _mm256_max_ps(sum, _mm256_setzero_ps());
  const __m256 half = _mm256_set1_ps(0.5f);
  if (!a.linear) return _mm256_cvttps_epi32(_mm256_add_ps(_mm256_min_ps(sum, _mm256_set1_ps(255.0f)), half));
  const __m256 s = _mm256_min_ps(sum, _mm256_set1_ps(S::kBelowOne));
  const __m256i segment =
      _mm256_subs_epu16(_mm256_srli_epi32(_mm256_castps_si256(s), S::kShift), _mm256_set1_epi32(S::kFirst));
  const auto& cubic = a.segments.cubic;
  __m256 p = _mm256_add_ps(_mm256_mul_ps(segmentEntry(cubic[3].data(), segment), s),
                           segmentEntry(cubic[2].data(), segment));
  p = _mm256_add_ps(_mm256_mul_ps(p, s), segmentEntry(cubic[1].data(), segment));
  p = _mm256_add_ps(_mm256_mul_ps(p, s), segmentEntry(cubic[0].data(), segment));
  const __m256 foot = _mm256_cmp_ps(s, _mm256_set1_ps(S::kFootEnd), _CMP_LE_OQ);
  return _mm256_cvttps_epi32(
      _mm256_add_ps(_mm256_blendv_ps(p, _mm256_mul_ps(s, _mm256_set1_ps(S::kFootSlope)), foot), half));
}

// The levels of 8 pels of a plane, pel i in byte i: loaded at once where
// they lie side by side, else gathered in a register (bytes stored one by
// one and loaded as 8 would stall the load).
[[gnu::target("avx2"), gnu::always_inline]] inline __m128i levels8(const unsigned char* plane, long step) {
  if (step == 1) return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(plane));
  unsigned long long bytes = 0;
  for (long i = 0; i < kPels; ++i) bytes |= static_cast<unsigned long long>(plane[i * step]) << (8 * i);
  return _mm_cvtsi64_si128(static_cast<long long>(bytes));
}

[[gnu::target("avx2"), gnu::always_inline]] inline void store8(unsigned char* plane, long step, __m128i levels) {
  if (step == 1) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(plane), levels);
    return;
  }
  const auto bytes = static_cast<unsigned long long>(_mm_cvtsi128_si64(levels));
  for (long i = 0; i < kPels; ++i) plane[i * step] = static_cast<unsigned char>(bytes >> (8 * i));
}

}  // namespace

[[gnu::target("avx2")]] long kfCorrectRun256(const kcCorrectionArithmetic& arithmetic,
                                             const kcPelRun<const unsigned char>& in,
                                             const kcPelRun<unsigned char>& out, long n) {
  long x = 0;
  for (; x + kPels <= n; x += kPels) {
    __m256 decoded[3];
#pragma GCC unroll 3
    for (std::size_t k = 0; k < 3; ++k) {
      const __m256i levels = _mm256_cvtepu8_epi32(levels8(in.plane[k] + x * in.step, in.step));
      decoded[k] = _mm256_cvtepi32_ps(_mm256_i32gather_epi32(arithmetic.decoding.value.data(), levels, 4));
    }
#pragma GCC unroll 3
    for (std::size_t k = 0; k < 3; ++k) {
      const __m256i levels = level(arithmetic, arithmetic.row[k], decoded);
      const __m128i words = _mm_packus_epi32(_mm256_castsi256_si128(levels), _mm256_extracti128_si256(levels, 1));
      store8(out.plane[k] + x * out.step, out.step, _mm_packus_epi16(words, words));
    }
  }
  return x;
}

#include "host/acq/sim/expose_row.h"

#include <algorithm>
#include <opencv2/core.hpp>
#include <opencv2/core/hal/intrin.hpp>

#include "host/acq/sim/sensor_model.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

using namespace kcSimModel;

constexpr float kHighestCode = static_cast<float>(kAdcMax);

#if defined(__x86_64__)
#define COLC_WIDE __attribute__((target("avx512f,avx512bw,avx512vl,avx512dq")))

COLC_WIDE inline __m256i lowerHalf(__m512i v) { return _mm512_maskz_extracti64x4_epi64(0xf, v, 0); }

// A gather costs about the same whatever its mask, so a block whose upper
// eight lanes are idle (the last pels of a stretch) gathers only the lower
// eight. Idle lanes read nothing and come back zero either way.
COLC_WIDE inline __m512 gatherFloats(__mmask16 lanes, __m512i index, const float* table) {
  if (lanes > 0xff) return _mm512_mask_i32gather_ps(_mm512_setzero_ps(), lanes, index, table, 4);
  return _mm512_maskz_broadcast_f32x8(
      0xff, _mm256_mmask_i32gather_ps(_mm256_setzero_ps(), __mmask8(lanes), lowerHalf(index), table, 4));
}

// Bytes at byte offsets, each in the low byte of its lane (whole words are
// read, the table is readable 3 bytes past its last entry).
COLC_WIDE inline __m512i gatherBytes(__mmask16 lanes, __m512i index, const unsigned char* table) {
  if (lanes > 0xff) return _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), lanes, index, table, 1);
  return _mm512_maskz_broadcast_i32x8(
      0xff, _mm256_mmask_i32gather_epi32(_mm256_setzero_si256(), __mmask8(lanes), lowerHalf(index), table, 1));
}

// Sixteen pels at a time; the noise and the output come from their tables
// by gathers, and a partial last block loads, gathers and stores under a
// mask, so nothing outside the row is touched.
COLC_WIDE void exposeRowWide(const std::uint16_t* levels, const std::int8_t* noise, const kcSimRowTransfer& t,
                             unsigned char* out, int n) {
  const __m512 scale = _mm512_set1_ps(t.scale), offset = _mm512_set1_ps(t.offset);
  const __m512 lowest = _mm512_setzero_ps(), highest = _mm512_set1_ps(kHighestCode);
  for (int i = 0; i < n; i += 16) {
    // Zero-masked forms throughout: GCC 12 warns falsely of uninitialised
    // values inside the unmasked ones.
    const __mmask16 lanes = n - i >= 16 ? __mmask16(0xffff) : __mmask16((1u << (n - i)) - 1);
    const __m512i level = _mm512_maskz_cvtepu16_epi32(lanes, _mm256_maskz_loadu_epi16(lanes, levels + i));
    const __m512 sample =
        _mm512_maskz_cvtepi32_ps(lanes, _mm512_maskz_cvtepi8_epi32(lanes, _mm_maskz_loadu_epi8(lanes, noise + i)));
    const __m512i bin = _mm512_maskz_srli_epi32(lanes, level, kSimLevelShift);
    const __m512 sigma = gatherFloats(lanes, bin, t.sigma);
    __m512 v = _mm512_add_ps(_mm512_mul_ps(scale, _mm512_maskz_cvtepi32_ps(lanes, level)), offset);
    v = _mm512_add_ps(_mm512_mul_ps(sigma, sample), v);
    v = _mm512_maskz_min_ps(lanes, _mm512_maskz_max_ps(lanes, v, lowest), highest);
    const __m512i code = _mm512_maskz_cvtps_epi32(lanes, v);
    _mm_mask_storeu_epi8(out + i, lanes, _mm512_maskz_cvtepi32_epi8(lanes, gatherBytes(lanes, code, t.output)));
  }
}
#endif

}  // namespace

kcSimRowExposer kfSimRowExposer() {
#if defined(__x86_64__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl") &&
      __builtin_cpu_supports("avx512dq"))
    return exposeRowWide;
#endif
  return kfSimExposeRowPortable;
}

// The pel value comes from a table, so only the arithmetic before it runs
// in SIMD lanes. Multiplies and adds stay separate (no fused multiply-add)
// and both paths round halves to even, as the wide path does.
void kfSimExposeRowPortable(const std::uint16_t* levels, const std::int8_t* noise, const kcSimRowTransfer& t,
                            unsigned char* out, int n) {
  int i = 0;
#if CV_SIMD128
  const cv::v_float32x4 scale = cv::v_setall_f32(t.scale), offset = cv::v_setall_f32(t.offset);
  const cv::v_float32x4 lowest = cv::v_setzero_f32(), highest = cv::v_setall_f32(kHighestCode);
  alignas(16) int codes[8];
  for (; i + 8 <= n; i += 8) {
    cv::v_uint32x4 level[2];
    cv::v_int32x4 sample[2];
    cv::v_expand(cv::v_load(levels + i), level[0], level[1]);
    cv::v_expand(cv::v_load_expand(noise + i), sample[0], sample[1]);
    for (int h = 0; h < 2; ++h) {
      const cv::v_int32x4 bin = cv::v_reinterpret_as_s32(level[h] >> kSimLevelShift);
      cv::v_float32x4 v = scale * cv::v_cvt_f32(cv::v_reinterpret_as_s32(level[h])) + offset;
      v = cv::v_lut(t.sigma, bin) * cv::v_cvt_f32(sample[h]) + v;
      cv::v_store(codes + 4 * h, cv::v_round(cv::v_min(cv::v_max(v, lowest), highest)));
    }
    for (int k = 0; k < 8; ++k) out[i + k] = t.output[codes[k]];
  }
#endif
  for (; i < n; ++i) {
    const float v = t.scale * levels[i] + t.offset + t.sigma[levels[i] >> kSimLevelShift] * noise[i];
    out[i] = t.output[cvRound(std::min(std::max(v, 0.0f), kHighestCode))];
  }
}

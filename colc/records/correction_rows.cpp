// The vectors: each pel's three levels are decoded through a table of 256
// doubles by gathering loads, the three sums are formed in double
// precision, clamped, and either rounded to the level (encoded domain) or
// looked up in the encoding table by a gathering load of bytes (linear
// domain). 512-bit vectors take 16 pels a step and read and write pels
// interleaved three bytes a pel by byte permutes; 256-bit vectors take 8
// pels a step, the pels of interleaved runs moved through a small block.
// Pels left over at a run's end are corrected one by one. This file is
// compiled without contraction of products and sums (CMakeLists.txt): a
// fused multiply-add would round differently from the per-pel computation.
#include "colc/records/internal/correction_rows.h"

// GCC 12 takes the lanes that the unmasked intrinsics leave undefined on
// purpose for variables used uninitialised. Clang has no such warning and
// would reject the unknown name.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "colc/records/srgb_levels.h"

namespace {

using Coefficients = kcColorCorrection::Coefficients;

constexpr int kSteps = kcCorrectionRows::kEncodingSteps;

// Entry v: the 8-bit level v on 0..1.
const double* scaledLevels() {
  static const std::array<double, 256> table = [] {
    std::array<double, 256> t{};
    for (std::size_t v = 0; v < t.size(); ++v) t[v] = static_cast<double>(v) / 255.0;
    return t;
  }();
  return table.data();
}

// Entry i: the 8-bit level of the linear light i / kSteps; then three more
// bytes, so that a vector may load four bytes at the last entry.
const unsigned char* encodingSteps() {
  static const std::vector<unsigned char> table = [] {
    std::vector<unsigned char> t(kSteps + 4, 0);
    for (int i = 0; i <= kSteps; ++i)
      t[static_cast<std::size_t>(i)] =
          static_cast<unsigned char>(std::lround(255.0 * kfLinearToSrgb(static_cast<double>(i) / kSteps)));
    return t;
  }();
  return table.data();
}

// For a run of three-byte pels whose planes lie within each pel: each
// plane's offset from the run's first byte.
template <class Pel>
std::optional<std::array<int, 3>> interleavedOffsets(const kcPelRun<Pel>& run) {
  if (run.step != 3) return std::nullopt;
  Pel* first = *std::min_element(run.plane.begin(), run.plane.end());
  std::array<int, 3> offsets{};
  for (std::size_t k = 0; k < 3; ++k) {
    offsets[k] = static_cast<int>(run.plane[k] - first);
    if (offsets[k] > 2) return std::nullopt;
  }
  return offsets;
}

bool isPermutation(const std::array<int, 3>& offsets) {
  return offsets[0] != offsets[1] && offsets[1] != offsets[2] && offsets[0] != offsets[2];
}

constexpr unsigned long long kBytesOf16Pels = (1ULL << 48) - 1;

// Pels 0..15 of each plane in the byte lanes of three 128-bit blocks.
struct Pels16 {
  __m128i plane[3];
};

[[gnu::target("avx512f,avx512bw,avx512vl,avx512vbmi"), gnu::always_inline]] inline __m128i correctedPlane(
    const std::array<double, 4>& row, const __m512d (&decoded)[3][2], bool linear, const unsigned char* encoded) {
  const __m512d zero = _mm512_setzero_pd(), one = _mm512_set1_pd(1.0), half = _mm512_set1_pd(0.5);
  __m256i levels[2];
  for (int h = 0; h < 2; ++h) {
    __m512d sum = _mm512_mul_pd(_mm512_set1_pd(row[0]), decoded[0][h]);
    sum = _mm512_add_pd(sum, _mm512_mul_pd(_mm512_set1_pd(row[1]), decoded[1][h]));
    sum = _mm512_add_pd(sum, _mm512_mul_pd(_mm512_set1_pd(row[2]), decoded[2][h]));
    sum = _mm512_add_pd(sum, _mm512_set1_pd(row[3]));
    const __m512d clamped = _mm512_min_pd(_mm512_max_pd(sum, zero), one);
    if (linear) {
      const __m256i step = _mm512_cvttpd_epi32(_mm512_add_pd(_mm512_mul_pd(clamped, _mm512_set1_pd(kSteps)), half));
      levels[h] = _mm256_and_si256(_mm256_i32gather_epi32(reinterpret_cast<const int*>(encoded), step, 1),
                                   _mm256_set1_epi32(0xff));
    } else {
      // Rounded half away from zero, as std::lround does.
      const __m512d scaled = _mm512_mul_pd(clamped, _mm512_set1_pd(255.0));
      const __m512d whole = _mm512_roundscale_pd(scaled, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
      const __mmask8 up = _mm512_cmp_pd_mask(_mm512_sub_pd(scaled, whole), half, _CMP_GE_OQ);
      levels[h] = _mm512_cvttpd_epi32(_mm512_mask_add_pd(whole, up, whole, one));
    }
  }
  return _mm512_cvtepi32_epi8(_mm512_inserti64x4(_mm512_castsi256_si512(levels[0]), levels[1], 1));
}

[[gnu::target("avx512f,avx512bw,avx512vl,avx512vbmi"), gnu::always_inline]] inline Pels16 corrected16(
    const Pels16& in, const Coefficients& m, bool linear, const double* decoding, const unsigned char* encoded) {
  __m512d decoded[3][2];
  for (int k = 0; k < 3; ++k) {
    const __m512i levels = _mm512_cvtepu8_epi32(in.plane[k]);
    decoded[k][0] = _mm512_i32gather_pd(_mm512_castsi512_si256(levels), decoding, 8);
    decoded[k][1] = _mm512_i32gather_pd(_mm512_extracti64x4_epi64(levels, 1), decoding, 8);
  }
  Pels16 out;
  for (std::size_t k = 0; k < 3; ++k) out.plane[k] = correctedPlane(m[k], decoded, linear, encoded);
  return out;
}

// The first pels of the run, 16 at a time; returns how many.
[[gnu::target("avx512f,avx512bw,avx512vl,avx512vbmi")]] long run512(const kcPelRun<const unsigned char>& in,
                                                                     const kcPelRun<unsigned char>& out, long n,
                                                                     const Coefficients& m, bool linear,
                                                                     const double* decoding,
                                                                     const unsigned char* encoded) {
  const std::optional<std::array<int, 3>> inOffsets = interleavedOffsets(in), outOffsets = interleavedOffsets(out);
  if ((in.step != 1 && !inOffsets) || (out.step != 1 && !(outOffsets && isPermutation(*outOffsets)))) return 0;
  // Byte 16 k + i of the permuted pels is plane k of pel i, and back.
  alignas(64) unsigned char toPlanes[64] = {}, toPels[64] = {};
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 16; ++i) {
      if (inOffsets) toPlanes[16 * k + i] = static_cast<unsigned char>(3 * i + (*inOffsets)[k]);
      if (outOffsets) toPels[3 * i + (*outOffsets)[k]] = static_cast<unsigned char>(16 * k + i);
    }
  const __m512i planesOrder = _mm512_load_si512(toPlanes), pelsOrder = _mm512_load_si512(toPels);
  const unsigned char* inFirst = *std::min_element(in.plane.begin(), in.plane.end());
  unsigned char* outFirst = *std::min_element(out.plane.begin(), out.plane.end());
  long x = 0;
  for (; x + 16 <= n; x += 16) {
    Pels16 pels;
    if (in.step == 1) {
      for (int k = 0; k < 3; ++k) pels.plane[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in.plane[k] + x));
    } else {
      const __m512i bytes = _mm512_maskz_loadu_epi8(kBytesOf16Pels, inFirst + 3 * x);
      const __m512i planes = _mm512_maskz_permutexvar_epi8(~0ULL, planesOrder, bytes);
      pels.plane[0] = _mm512_castsi512_si128(planes);
      pels.plane[1] = _mm512_extracti32x4_epi32(planes, 1);
      pels.plane[2] = _mm512_extracti32x4_epi32(planes, 2);
    }
    const Pels16 corrected = corrected16(pels, m, linear, decoding, encoded);
    if (out.step == 1) {
      for (int k = 0; k < 3; ++k) _mm_storeu_si128(reinterpret_cast<__m128i*>(out.plane[k] + x), corrected.plane[k]);
    } else {
      const __m512i planes = _mm512_inserti32x4(
          _mm512_inserti32x4(_mm512_castsi128_si512(corrected.plane[0]), corrected.plane[1], 1), corrected.plane[2], 2);
      _mm512_mask_storeu_epi8(outFirst + 3 * x, kBytesOf16Pels, _mm512_maskz_permutexvar_epi8(~0ULL, pelsOrder, planes));
    }
  }
  return x;
}

[[gnu::target("avx2"), gnu::always_inline]] inline __m128i correctedPlane8(const std::array<double, 4>& row,
                                                                          const __m256d (&decoded)[3][2], bool linear,
                                                                          const unsigned char* encoded) {
  const __m256d zero = _mm256_setzero_pd(), one = _mm256_set1_pd(1.0), half = _mm256_set1_pd(0.5);
  __m128i levels[2];
  for (int h = 0; h < 2; ++h) {
    __m256d sum = _mm256_mul_pd(_mm256_set1_pd(row[0]), decoded[0][h]);
    sum = _mm256_add_pd(sum, _mm256_mul_pd(_mm256_set1_pd(row[1]), decoded[1][h]));
    sum = _mm256_add_pd(sum, _mm256_mul_pd(_mm256_set1_pd(row[2]), decoded[2][h]));
    sum = _mm256_add_pd(sum, _mm256_set1_pd(row[3]));
    const __m256d clamped = _mm256_min_pd(_mm256_max_pd(sum, zero), one);
    if (linear) {
      const __m128i step = _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(clamped, _mm256_set1_pd(kSteps)), half));
      levels[h] =
          _mm_and_si128(_mm_i32gather_epi32(reinterpret_cast<const int*>(encoded), step, 1), _mm_set1_epi32(0xff));
    } else {
      const __m256d scaled = _mm256_mul_pd(clamped, _mm256_set1_pd(255.0));
      const __m256d whole = _mm256_round_pd(scaled, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
      const __m256d up = _mm256_and_pd(_mm256_cmp_pd(_mm256_sub_pd(scaled, whole), half, _CMP_GE_OQ), one);
      levels[h] = _mm256_cvttpd_epi32(_mm256_add_pd(whole, up));
    }
  }
  return _mm_packus_epi16(_mm_packus_epi32(levels[0], levels[1]), _mm_setzero_si128());
}

// The first pels of the run, 8 at a time; returns how many.
[[gnu::target("avx2")]] long run256(const kcPelRun<const unsigned char>& in, const kcPelRun<unsigned char>& out, long n,
                                    const Coefficients& m, bool linear, const double* decoding,
                                    const unsigned char* encoded) {
  long x = 0;
  for (; x + 8 <= n; x += 8) {
    unsigned char block[3][16] = {};
    __m256d decoded[3][2];
    for (std::size_t k = 0; k < 3; ++k) {
      const unsigned char* plane = in.plane[k] + x * in.step;
      if (in.step == 1)
        std::copy_n(plane, 8, block[k]);
      else
        for (long i = 0; i < 8; ++i) block[k][i] = plane[i * in.step];
      const __m256i levels = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(block[k])));
      decoded[k][0] = _mm256_i32gather_pd(decoding, _mm256_castsi256_si128(levels), 8);
      decoded[k][1] = _mm256_i32gather_pd(decoding, _mm256_extracti128_si256(levels, 1), 8);
    }
    for (std::size_t k = 0; k < 3; ++k) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(block[k]), correctedPlane8(m[k], decoded, linear, encoded));
      unsigned char* plane = out.plane[k] + x * out.step;
      for (long i = 0; i < 8; ++i) plane[i * out.step] = block[k][i];
    }
  }
  return x;
}

}  // namespace

kcCorrectionRows::kcCorrectionRows(const kcColorCorrection& correction, kcVectorWidth width)
    : coefficients_(correction.coefficients()),
      linear_(correction.domain() == kcColorCorrection::Domain::linear),
      decoded_(linear_ ? kfSrgbLevelsToLinear().data() : scaledLevels()),
      encoded_(encodingSteps()),
      width_(std::min(width, kfWidestVectors())) {}

void kcCorrectionRows::operator()(const kcPelRun<const unsigned char>& in, const kcPelRun<unsigned char>& out,
                                  long n) const {
  long i = width_ == kcVectorWidth::e512   ? run512(in, out, n, coefficients_, linear_, decoded_, encoded_)
           : width_ == kcVectorWidth::e256 ? run256(in, out, n, coefficients_, linear_, decoded_, encoded_)
                                           : 0;
  for (; i < n; ++i) pel(in, out, i);
}

void kcCorrectionRows::pel(const kcPelRun<const unsigned char>& in, const kcPelRun<unsigned char>& out, long i) const {
  double decoded[3];
  for (std::size_t k = 0; k < 3; ++k) decoded[k] = decoded_[in.plane[k][i * in.step]];
  unsigned char levels[3];
  for (std::size_t k = 0; k < 3; ++k) {
    const auto& row = coefficients_[k];
    const double v = row[0] * decoded[0] + row[1] * decoded[1] + row[2] * decoded[2] + row[3];
    const double clamped = std::clamp(v, 0.0, 1.0);
    levels[k] = linear_ ? encoded_[static_cast<int>(clamped * kSteps + 0.5)]
                        : static_cast<unsigned char>(std::lround(255.0 * clamped));
  }
  for (std::size_t k = 0; k < 3; ++k) out.plane[k][i * out.step] = levels[k];
}

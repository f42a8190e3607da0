// The colour correction in 512-bit vectors, 64 pels a step, the last step
// of a run masked to the pels left. A plane's 64 levels decode by byte
// permutes of the two byte tables (four registers each) into four vectors
// of 16 floats; the output levels pack back into bytes by saturating packs,
// which undo the unpacks' order within each 128-bit lane. Pels three bytes
// apart (interleaved) are read and written by two byte permutes a
// register; pels at other steps pass through a small block.
#include "colc/records/internal/correction_vectors.h"

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
#include <optional>

namespace {

using S = kcEncodingSegments;

constexpr long kPels = 64;

// Plane k of 64 pels, pel i in byte i.
struct Planes {
  __m512i plane[3];
};

// The arithmetic's tables and rows in registers.
struct Vectors {
  __m512i low[4], high[4];
  __m512 cubic[4];
  __m512 row[3][4];
  bool linear;
};

[[gnu::target("avx512f,avx512bw,avx512vl,avx512vbmi")]] Vectors vectorsOf(const kcCorrectionArithmetic& a) {
  Vectors v{};
  for (int r = 0; r < 4; ++r) {
    v.low[r] = _mm512_load_si512(a.decoding.low.data() + 64 * r);
    v.high[r] = _mm512_load_si512(a.decoding.high.data() + 64 * r);
    v.cubic[r] = _mm512_load_ps(a.segments.cubic[static_cast<std::size_t>(r)].data());
  }
  for (std::size_t k = 0; k < 3; ++k)
    for (std::size_t j = 0; j < 4; ++j) v.row[k][j] = _mm512_set1_ps(a.row[k][j]);
  v.linear = a.linear;
  return v;
}

// Entry i of a 256-byte table held in four registers, for each byte i of
// levels; upper marks the levels from 128.
[[gnu::target("avx512f,avx512bw,avx512vl,avx512vbmi"), gnu::always_inline]] inline __m512i lookUp(
    const __m512i (&table)[4], __m512i levels, __mmask64 upper) {
  return _mm512_mask_blend_epi8(upper, _mm512_permutex2var_epi8(table[0], levels, table[1]),
                                _mm512_permutex2var_epi8(table[2], levels, table[3]));
}

// The decoded numbers of 64 levels: vector q holds, in 128-bit lane L,
// those of levels 16 L + 4 q to 16 L + 4 q + 3.
[[gnu::target("avx512f,avx512bw,avx512vl,avx512vbmi"), gnu::always_inline]] inline void decode(const Vectors& v,
                                                                                               __m512i levels,
                                                                                               __m512 (&x)[4]) {
  const __mmask64 upper = _mm512_movepi8_mask(levels);
  const __m512i low = lookUp(v.low, levels, upper), high = lookUp(v.high, levels, upper);
  const __m512i zero = _mm512_setzero_si512();
  const __m512i words[2] = {_mm512_unpacklo_epi8(low, high), _mm512_unpackhi_epi8(low, high)};
#pragma GCC unroll 2
  for (int h = 0; h < 2; ++h) {
    x[2 * h] = _mm512_cvtepi32_ps(_mm512_unpacklo_epi16(words[h], zero));
    x[2 * h + 1] = _mm512_cvtepi32_ps(_mm512_unpackhi_epi16(words[h], zero));
  }
}

// kcCorrectionArithmetic::level, 16 lanes at a time.
[[gnu::target("avx512f,avx512bw,avx512vl,avx512vbmi"), gnu::always_inline]] inline __m512i level(
    const Vectors& v, const __m512 (&row)[4], __m512 x0, __m512 x1, __m512 x2) {
  __m512 sum = _mm512_mul_ps(row[0], x0);
  sum = _mm512_add_ps(sum, _mm512_mul_ps(row[1], x1));
  sum = _mm512_add_ps(sum, _mm512_mul_ps(row[2], x2));
  sum = _mm512_add_ps(sum, row[3]);
  sum = _mm512_max_ps(sum, _mm512_setzero_ps());
  const __m512 half = _mm512_set1_ps(0.5f);
  if (!v.linear) return _mm512_cvttps_epi32(_mm512_add_ps(_mm512_min_ps(sum, _mm512_set1_ps(255.0f)), half));
  const __m512 s = _mm512_min_ps(sum, _mm512_set1_ps(S::kBelowOne));
  // The segment: the bits' top, less kFirst, saturating at 0.
  const __m512i segment =
      _mm512_subs_epu16(_mm512_srli_epi32(_mm512_castps_si512(s), S::kShift), _mm512_set1_epi32(S::kFirst));
  __m512 p = _mm512_add_ps(_mm512_mul_ps(_mm512_permutexvar_ps(segment, v.cubic[3]), s),
                           _mm512_permutexvar_ps(segment, v.cubic[2]));
  p = _mm512_add_ps(_mm512_mul_ps(p, s), _mm512_permutexvar_ps(segment, v.cubic[1]));
  p = _mm512_add_ps(_mm512_mul_ps(p, s), _mm512_permutexvar_ps(segment, v.cubic[0]));
  const __mmask16 foot = _mm512_cmp_ps_mask(s, _mm512_set1_ps(S::kFootEnd), _CMP_LE_OQ);
  return _mm512_cvttps_epi32(_mm512_add_ps(_mm512_mask_mul_ps(p, foot, s, _mm512_set1_ps(S::kFootSlope)), half));
}

[[gnu::target("avx512f,avx512bw,avx512vl,avx512vbmi"), gnu::always_inline]] inline Planes corrected(const Vectors& v,
                                                                                                    const Planes& in) {
  __m512 x[3][4];
#pragma GCC unroll 3
  for (int k = 0; k < 3; ++k) decode(v, in.plane[k], x[k]);
  Planes out;
#pragma GCC unroll 3
  for (int k = 0; k < 3; ++k) {
    __m512i levels[4];
#pragma GCC unroll 4
    for (int q = 0; q < 4; ++q) levels[q] = level(v, v.row[k], x[0][q], x[1][q], x[2][q]);
    out.plane[k] = _mm512_packus_epi16(_mm512_packus_epi32(levels[0], levels[1]),
                                       _mm512_packus_epi32(levels[2], levels[3]));
  }
  return out;
}

// The first n bytes of 64 (none for n <= 0).
unsigned long long firstBytes(long n) { return n >= 64 ? ~0ULL : n <= 0 ? 0ULL : (1ULL << n) - 1; }

// 64 three-byte pels lie in three registers, byte g of the pels in byte
// g % 64 of register g / 64.
struct ByteOrders {
  // The plane at byte o of each pel: its byte i is byte 3 i + o of the
  // pels, from registers 0 and 1 by its low 7 bits, from register 2 by its
  // low 6 where its top bit is set.
  unsigned char fromPels[3][64];
  // Byte b of register r: byte offset[r][b] of pel pel[r][b].
  unsigned char pel[3][64];
  unsigned char offset[3][64];
};

constexpr ByteOrders byteOrders() {
  ByteOrders orders{};
  for (int o = 0; o < 3; ++o)
    for (int i = 0; i < 64; ++i) orders.fromPels[o][i] = static_cast<unsigned char>(3 * i + o);
  for (int r = 0; r < 3; ++r)
    for (int b = 0; b < 64; ++b) {
      orders.pel[r][b] = static_cast<unsigned char>((64 * r + b) / 3);
      orders.offset[r][b] = static_cast<unsigned char>((64 * r + b) % 3);
    }
  return orders;
}

alignas(64) constexpr ByteOrders kOrders = byteOrders();

// Each plane's byte within the pels of a run three bytes a pel, all within
// the first three bytes from the run's lowest plane; none otherwise.
template <class Pel>
std::optional<std::array<long, 3>> threeByteOffsets(const kcPelRun<Pel>& run) {
  if (run.step != 3) return std::nullopt;
  Pel* first = *std::min_element(run.plane.begin(), run.plane.end());
  std::array<long, 3> offsets{};
  for (std::size_t k = 0; k < 3; ++k) {
    offsets[k] = run.plane[k] - first;
    if (offsets[k] > 2) return std::nullopt;
  }
  return offsets;
}

// Reads 64 pels at a time from a run: from planes, from three-byte pels by
// byte permutes, or otherwise through a block.
class PelReader {
 public:
  [[gnu::target("avx512f,avx512bw,avx512vl,avx512vbmi")]] explicit PelReader(const kcPelRun<const unsigned char>& run)
      : run_(run), offsets_(threeByteOffsets(run)), first_(*std::min_element(run.plane.begin(), run.plane.end())) {
    if (!offsets_) return;
    for (std::size_t k = 0; k < 3; ++k) order_[k] = _mm512_load_si512(kOrders.fromPels[(*offsets_)[k]]);
    lastPelBytes_ = *std::max_element(offsets_->begin(), offsets_->end()) + 1;
  }

  // Pels x to x + count - 1 (count at most 64; the bytes beyond are 0).
  [[gnu::target("avx512f,avx512bw,avx512vl,avx512vbmi"), gnu::always_inline]] inline Planes read(long x,
                                                                                                 long count) const {
    Planes pels;
    if (run_.step == 1) {
#pragma GCC unroll 3
      for (std::size_t k = 0; k < 3; ++k)
        pels.plane[k] = _mm512_maskz_loadu_epi8(firstBytes(count), run_.plane[k] + x);
    } else if (offsets_) {
      // The bytes up to the last pel's last plane, and none beyond.
      const long span = 3 * (count - 1) + lastPelBytes_;
      __m512i bytes[3];
#pragma GCC unroll 3
      for (int r = 0; r < 3; ++r)
        bytes[r] = _mm512_maskz_loadu_epi8(firstBytes(span - 64 * r), first_ + 3 * x + 64 * r);
#pragma GCC unroll 3
      for (int k = 0; k < 3; ++k)
        pels.plane[k] = _mm512_mask_permutexvar_epi8(_mm512_permutex2var_epi8(bytes[0], order_[k], bytes[1]),
                                                     _mm512_movepi8_mask(order_[k]), order_[k], bytes[2]);
    } else {
      alignas(64) unsigned char block[3][64] = {};
      for (std::size_t k = 0; k < 3; ++k)
        for (long i = 0; i < count; ++i) block[k][i] = run_.plane[k][(x + i) * run_.step];
      for (std::size_t k = 0; k < 3; ++k) pels.plane[k] = _mm512_load_si512(block[k]);
    }
    return pels;
  }

 private:
  kcPelRun<const unsigned char> run_;
  std::optional<std::array<long, 3>> offsets_;
  const unsigned char* first_;
  // For three-byte pels: the permutes that gather each plane.
  __m512i order_[3] = {};
  long lastPelBytes_ = 0;
};

// Writes 64 pels at a time into a run, as PelReader reads them.
class PelWriter {
 public:
  [[gnu::target("avx512f,avx512bw,avx512vl,avx512vbmi")]] explicit PelWriter(const kcPelRun<unsigned char>& run)
      : run_(run), offsets_(threeByteOffsets(run)), first_(*std::min_element(run.plane.begin(), run.plane.end())) {
    if (!offsets_) return;
    // The output's planes lie on distinct bytes, 0, 1 and 2: byte o of the
    // planes' order names the plane at offset o.
    alignas(64) unsigned char planeAt[64] = {};
    for (std::size_t k = 0; k < 3; ++k) planeAt[(*offsets_)[k]] = static_cast<unsigned char>(k);
    const __m512i planes = _mm512_load_si512(planeAt);
    for (int r = 0; r < 3; ++r) {
      const __m512i pel = _mm512_load_si512(kOrders.pel[r]);
      const __m512i plane = _mm512_permutexvar_epi8(_mm512_load_si512(kOrders.offset[r]), planes);
      pel_[r] = pel;
      fromPlanes01_[r] = _mm512_mask_add_epi8(pel, _mm512_cmpeq_epi8_mask(plane, _mm512_set1_epi8(1)), pel,
                                              _mm512_set1_epi8(64));
      fromPlane2_[r] = _mm512_cmpeq_epi8_mask(plane, _mm512_set1_epi8(2));
    }
  }

  [[gnu::target("avx512f,avx512bw,avx512vl,avx512vbmi"), gnu::always_inline]] inline void write(
      long x, long count, const Planes& pels) const {
    if (run_.step == 1) {
#pragma GCC unroll 3
      for (std::size_t k = 0; k < 3; ++k)
        _mm512_mask_storeu_epi8(run_.plane[k] + x, firstBytes(count), pels.plane[k]);
    } else if (offsets_) {
#pragma GCC unroll 3
      for (int r = 0; r < 3; ++r) {
        const __m512i bytes = _mm512_mask_permutexvar_epi8(
            _mm512_permutex2var_epi8(pels.plane[0], fromPlanes01_[r], pels.plane[1]), fromPlane2_[r], pel_[r],
            pels.plane[2]);
        _mm512_mask_storeu_epi8(first_ + 3 * x + 64 * r, firstBytes(3 * count - 64 * r), bytes);
      }
    } else {
      alignas(64) unsigned char block[3][64];
      for (std::size_t k = 0; k < 3; ++k) _mm512_store_si512(block[k], pels.plane[k]);
      for (std::size_t k = 0; k < 3; ++k)
        for (long i = 0; i < count; ++i) run_.plane[k][(x + i) * run_.step] = block[k][i];
    }
  }

 private:
  kcPelRun<unsigned char> run_;
  std::optional<std::array<long, 3>> offsets_;
  unsigned char* first_;
  // For three-byte pels, register r: byte b from planes 0 and 1 (pel i of
  // plane 1 as 64 + i), unless fromPlane2 marks it, then pel pel_[r][b] of
  // plane 2.
  __m512i fromPlanes01_[3] = {}, pel_[3] = {};
  __mmask64 fromPlane2_[3] = {};
};

}  // namespace

[[gnu::target("avx512f,avx512bw,avx512vl,avx512vbmi")]] long kfCorrectRun512(const kcCorrectionArithmetic& arithmetic,
                                                                              const kcPelRun<const unsigned char>& in,
                                                                              const kcPelRun<unsigned char>& out,
                                                                              long n) {
  const Vectors v = vectorsOf(arithmetic);
  const PelReader reader(in);
  const PelWriter writer(out);
  for (long x = 0; x < n; x += kPels) {
    const long count = std::min(kPels, n - x);
    writer.write(x, count, corrected(v, reader.read(x, count)));
  }
  return n;
}

// cv::pyrDown's binomial kernel (1 4 6 4 1) / 16 one way, then the other,
// keeping every second pel, the plane extended past its edges by reflection
// without repeating the edge pel. Its sums are formed in the same order as
// cv::pyrDown forms them, so that the bits agree: in vectors of four from
// the second to the last column whose kernel stays within the row, one
// by one elsewhere, and the two orders differ.
#include "host/imaging/decoded_halving.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <immintrin.h>
#include <opencv2/core/hal/intrin.hpp>
#include <vector>

namespace {

// The order of 64 pels that interleaving the four bytes of their light
// (within 128-bit blocks, bytes, then pairs of bytes) undoes into the light
// of pels 0, 2, .. 30, then 1, 3, .. 31, then 32, 34, .. 62, then 33, .. 63:
// byte 16 L + 4 r + p of the arranged pels ends up as element 4 L + p of
// vector r.
alignas(64) constexpr std::array<unsigned char, 64> kInterleavedOrder = [] {
  std::array<unsigned char, 64> order{};
  for (int r = 0; r < 4; ++r)
    for (int e = 0; e < 16; ++e)
      order[16 * (e / 4) + 4 * r + e % 4] = static_cast<unsigned char>(r / 2 * 32 + r % 2 + 2 * e);
  return order;
}();

int reflected(int index, int length) { return cv::borderInterpolate(index, length, cv::BORDER_REFLECT_101); }

// One row of pels decoded and halved across: half[x] weighs the light of
// pels 2x - 2 .. 2x + 2.
class RowHalving {
 public:
  // Byte b of each of the table's floats, for each b.
  using TableBytes = std::array<std::array<unsigned char, 256>, 4>;

  RowHalving(int width, const float* table, kcVectorWidth vectors)
      : width_(width),
        halfWidth_((width + 1) / 2),
        // Past this column a kernel reaches beyond the row.
        vectorEnd_(std::min((width - 3) / 2 + 1, halfWidth_)),
        table_(table),
        vectors_(vectors),
        even_(static_cast<std::size_t>(halfWidth_) + 2),
        odd_(static_cast<std::size_t>(halfWidth_) + 2) {
    for (int v = 0; v < 256; ++v) {
      unsigned char light[4];
      std::memcpy(light, table + v, sizeof light);
      for (int b = 0; b < 4; ++b) bytes_[b][v] = light[b];
    }
  }

  void operator()(const unsigned char* pels, float* half) {
    decode(pels);
    const float* e = even_.data();
    const float* o = odd_.data();
    const auto one = [e, o](int x) { return ((e[x + 1] * 6 + (o[x] + o[x + 1]) * 4) + e[x]) + e[x + 2]; };
    half[0] = one(0);
    int x = vectors_ == kcVectorWidth::e512 ? halvedBy16(e, o, half, vectorEnd_) : 1;
    const cv::v_float32x4 four = cv::v_setall_f32(4.f), six = cv::v_setall_f32(6.f);
    for (; x <= vectorEnd_ - 4; x += 4) {
      const cv::v_float32x4 r0 = cv::v_load(e + x), r1 = cv::v_load(o + x), r2 = cv::v_load(e + x + 1),
                            r3 = cv::v_load(o + x + 1), r4 = cv::v_load(e + x + 2);
      cv::v_store(half + x, r2 * six + ((r1 + r3) * four + (r0 + r4)));
    }
    for (; x < halfWidth_; ++x) half[x] = one(x);
  }

 private:
  // The light of pels 2i - 2 into even_[i] and of 2i - 1 into odd_[i].
  void decode(const unsigned char* pels) {
    const float* t = table_;
    float* even = even_.data() + 1;
    float* odd = odd_.data() + 1;
    const int pairs = width_ / 2;
    int i = vectors_ == kcVectorWidth::e512   ? permutedPairs(pels, pairs, bytes_, even, odd)
            : vectors_ == kcVectorWidth::e256 ? gatheredPairs(pels, pairs, t, even, odd)
                                              : 0;
    for (; i + 4 <= pairs; i += 4) {
      std::uint64_t b;
      std::memcpy(&b, pels + 2 * i, sizeof b);
      cv::v_store(even + i, cv::v_float32x4(t[b & 255], t[b >> 16 & 255], t[b >> 32 & 255], t[b >> 48 & 255]));
      cv::v_store(odd + i, cv::v_float32x4(t[b >> 8 & 255], t[b >> 24 & 255], t[b >> 40 & 255], t[b >> 56]));
    }
    for (; i < pairs; ++i) {
      even[i] = t[pels[2 * i]];
      odd[i] = t[pels[2 * i + 1]];
    }
    for (const int edge : {0, pairs + 1, halfWidth_ + 1}) {
      even_[static_cast<std::size_t>(edge)] = t[pels[reflected(2 * edge - 2, width_)]];
      odd_[static_cast<std::size_t>(edge)] = t[pels[reflected(2 * edge - 1, width_)]];
    }
  }

  // The first pairs of pels decoded eight pairs at a time by AVX2's
  // gathering loads; returns how many pairs.
  [[gnu::target("avx2")]] static int gatheredPairs(const unsigned char* pels, int pairs, const float* table,
                                                   float* even, float* odd) {
    const __m128i evenFirst = _mm_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15);
    int i = 0;
    for (; i + 8 <= pairs; i += 8) {
      const __m128i bytes =
          _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pels + 2 * i)), evenFirst);
      _mm256_storeu_ps(even + i, _mm256_i32gather_ps(table, _mm256_cvtepu8_epi32(bytes), 4));
      _mm256_storeu_ps(odd + i, _mm256_i32gather_ps(table, _mm256_cvtepu8_epi32(_mm_srli_si128(bytes, 8)), 4));
    }
    return i;
  }

  // The halved row from column 1 on, sixteen columns at a time, in the
  // order of the vectors of four; returns where it stops.
  [[gnu::target("avx512f")]] static int halvedBy16(const float* e, const float* o, float* half, int end) {
    const __m512 four = _mm512_set1_ps(4.f), six = _mm512_set1_ps(6.f);
    int x = 1;
    for (; x <= end - 16; x += 16) {
      const __m512 r0 = _mm512_loadu_ps(e + x), r1 = _mm512_loadu_ps(o + x), r2 = _mm512_loadu_ps(e + x + 1),
                   r3 = _mm512_loadu_ps(o + x + 1), r4 = _mm512_loadu_ps(e + x + 2);
      _mm512_storeu_ps(half + x,
                       _mm512_add_ps(_mm512_mul_ps(r2, six),
                                     _mm512_add_ps(_mm512_mul_ps(_mm512_add_ps(r1, r3), four), _mm512_add_ps(r0, r4))));
    }
    return x;
  }

  // 64 bytes looked up in a table of 256 held in four vectors: each
  // index's top bit picks the half in which its low seven bits select.
  [[gnu::target("avx512f,avx512bw,avx512vbmi"), gnu::always_inline]] static __m512i lookup(__m512i index,
                                                                                           const __m512i (&table)[4]) {
    const __m512i low = _mm512_permutex2var_epi8(table[0], index, table[1]);
    const __m512i high = _mm512_permutex2var_epi8(table[2], index, table[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
  }

  // The first pairs of pels decoded 32 pairs at a time by byte permutes:
  // each byte of the table's floats is looked up for 64 pels at once
  // (two two-register permutes, each pel's top bit picking the half of the
  // table), and the four bytes are interleaved into floats. The pels are
  // first put in the order that makes the interleaving leave the even
  // pels' light in the first two vectors and the odd pels' in the last
  // two. Returns how many pairs.
  [[gnu::target("avx512f,avx512bw,avx512vbmi")]] static int permutedPairs(const unsigned char* pels, int pairs,
                                                                          const TableBytes& bytes, float* even,
                                                                          float* odd) {
    const __m512i arranged = _mm512_load_si512(kInterleavedOrder.data());
    __m512i table[4][4];
    for (int b = 0; b < 4; ++b)
      for (int q = 0; q < 4; ++q) table[b][q] = _mm512_loadu_si512(bytes[b].data() + 64 * q);
    int i = 0;
    for (; i + 32 <= pairs; i += 32) {
      // (The unmasked form leaves unused lanes undefined, of which GCC warns.)
      const __m512i index = _mm512_maskz_permutexvar_epi8(~0ULL, arranged, _mm512_loadu_si512(pels + 2 * i));
      const __m512i b0 = lookup(index, table[0]), b1 = lookup(index, table[1]), b2 = lookup(index, table[2]),
                    b3 = lookup(index, table[3]);
      const __m512i low01 = _mm512_unpacklo_epi8(b0, b1), high01 = _mm512_unpackhi_epi8(b0, b1);
      const __m512i low23 = _mm512_unpacklo_epi8(b2, b3), high23 = _mm512_unpackhi_epi8(b2, b3);
      _mm512_storeu_si512(even + i, _mm512_unpacklo_epi16(low01, low23));
      _mm512_storeu_si512(odd + i, _mm512_unpackhi_epi16(low01, low23));
      _mm512_storeu_si512(even + i + 16, _mm512_unpacklo_epi16(high01, high23));
      _mm512_storeu_si512(odd + i + 16, _mm512_unpackhi_epi16(high01, high23));
    }
    return i;
  }

  int width_;
  int halfWidth_;
  int vectorEnd_;
  const float* table_;
  TableBytes bytes_;
  kcVectorWidth vectors_;
  std::vector<float> even_;
  std::vector<float> odd_;
};

// The first columns of five rows halved across halved down, sixteen at a
// time, in the order of the vectors of four; returns how many columns.
[[gnu::target("avx512f")]] int halvedDownBy16(const float* r0, const float* r1, const float* r2, const float* r3,
                                              const float* r4, float* out, int width) {
  const __m512 four = _mm512_set1_ps(4.f), scale = _mm512_set1_ps(1.f / 256);
  int x = 0;
  for (; x <= width - 16; x += 16) {
    const __m512 v0 = _mm512_loadu_ps(r0 + x), v1 = _mm512_loadu_ps(r1 + x), v2 = _mm512_loadu_ps(r2 + x),
                 v3 = _mm512_loadu_ps(r3 + x), v4 = _mm512_loadu_ps(r4 + x);
    const __m512 inner = _mm512_mul_ps(_mm512_add_ps(_mm512_add_ps(v1, v3), v2), four);
    const __m512 outer = _mm512_add_ps(_mm512_add_ps(v0, v4), _mm512_add_ps(v2, v2));
    _mm512_storeu_ps(out + x, _mm512_mul_ps(_mm512_add_ps(inner, outer), scale));
  }
  return x;
}

}  // namespace

cv::Mat kfDecodedHalf(const cv::Mat& pels, const float* table, kcVectorWidth width) {
  CV_Assert(pels.type() == CV_8UC1 && !pels.empty());
  const int halfWidth = (pels.cols + 1) / 2, halfHeight = (pels.rows + 1) / 2;
  cv::Mat half(halfHeight, halfWidth, CV_32F);
  RowHalving across(pels.cols, table, width);
  // The last five rows halved across, row r at (r + 2) % 5.
  const int stride = halfWidth;
  std::vector<float> rows(5 * static_cast<std::size_t>(stride));
  const auto rowAt = [&](int r) { return &rows[static_cast<std::size_t>((r + 2) % 5 * stride)]; };
  const cv::v_float32x4 four = cv::v_setall_f32(4.f), scale = cv::v_setall_f32(1.f / 256);
  int next = -2;
  for (int y = 0; y < halfHeight; ++y) {
    for (; next <= 2 * y + 2; ++next) across(pels.ptr(reflected(next, pels.rows)), rowAt(next));
    const float *r0 = rowAt(2 * y - 2), *r1 = rowAt(2 * y - 1), *r2 = rowAt(2 * y), *r3 = rowAt(2 * y + 1),
                *r4 = rowAt(2 * y + 2);
    float* out = half.ptr<float>(y);
    int x = width == kcVectorWidth::e512 ? halvedDownBy16(r0, r1, r2, r3, r4, out, halfWidth) : 0;
    for (; x <= halfWidth - 4; x += 4) {
      const cv::v_float32x4 v0 = cv::v_load(r0 + x), v1 = cv::v_load(r1 + x), v2 = cv::v_load(r2 + x),
                            v3 = cv::v_load(r3 + x), v4 = cv::v_load(r4 + x);
      cv::v_store(out + x, (((v1 + v3) + v2) * four + ((v0 + v4) + (v2 + v2))) * scale);
    }
    for (; x < halfWidth; ++x)
      out[x] = (((r2[x] * 6 + (r1[x] + r3[x]) * 4) + r0[x]) + r4[x]) * static_cast<float>(1. / 256);
  }
  return half;
}

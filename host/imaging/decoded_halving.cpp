// cv::pyrDown's binomial kernel (1 4 6 4 1) / 16 one way, then the other,
// keeping every second pel, the plane extended past its edges by reflection
// without repeating the edge pel. Its sums are formed in the same order as
// cv::pyrDown forms them, so that the bits agree: in vectors of four from
// the second to the last column whose kernel stays within the row, one
// by one elsewhere, and the two orders differ.
#include "host/imaging/decoded_halving.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <immintrin.h>
#include <opencv2/core/hal/intrin.hpp>
#include <vector>

namespace {

int reflected(int index, int length) { return cv::borderInterpolate(index, length, cv::BORDER_REFLECT_101); }

// One row of pels decoded and halved across: half[x] weighs the light of
// pels 2x - 2 .. 2x + 2.
class RowHalving {
 public:
  RowHalving(int width, const float* table, kcVectorWidth vectors)
      : width_(width),
        halfWidth_((width + 1) / 2),
        // Past this column a kernel reaches beyond the row.
        vectorEnd_(std::min((width - 3) / 2 + 1, halfWidth_)),
        table_(table),
        vectors_(vectors),
        even_(static_cast<std::size_t>(halfWidth_) + 2),
        odd_(static_cast<std::size_t>(halfWidth_) + 2) {}

  void operator()(const unsigned char* pels, float* half) {
    decode(pels);
    const float* e = even_.data();
    const float* o = odd_.data();
    const auto one = [e, o](int x) { return ((e[x + 1] * 6 + (o[x] + o[x + 1]) * 4) + e[x]) + e[x + 2]; };
    half[0] = one(0);
    int x = 1;
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
    int i = vectors_ >= kcVectorWidth::e256 ? gatheredPairs(pels, pairs, t, even, odd) : 0;
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

  int width_;
  int halfWidth_;
  int vectorEnd_;
  const float* table_;
  kcVectorWidth vectors_;
  std::vector<float> even_;
  std::vector<float> odd_;
};

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
    int x = 0;
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

#include "host/imaging/footprint_sampling.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <immintrin.h>
#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "host/imaging/decoded_halving.h"
#include "host/imaging/footprint_plan.h"
#include "host/imaging/footprint_weights.h"
#include "host/imaging/srgb_tables.h"

namespace {

// The light the footprints read: the reached pels decoded and halved as
// the plan says, the first halving in the same pass as the decoding.
cv::Mat halvedLight(const cv::Mat& plane, const kcFootprintPlan& plan, kcVectorWidth width) {
  const cv::Mat pels = plane(plan.reached);
  cv::Mat light;
  if (plan.halvings == 0) {
    cv::LUT(pels, kfSrgbLightTable(), light);
    return light;
  }
  light = kfDecodedHalf(pels, kfSrgbLightTable().ptr<float>(), width);
  for (int h = 1; h < plan.halvings; ++h) {
    cv::Mat half;
    cv::pyrDown(light, half);
    light = half;
  }
  return light;
}

// Weighs out every sample of a grid whose footprint weights have Taps taps,
// over kWidth columns (Taps rounded up to whole vectors: the weights past
// the taps are 0). Per sample, the columns' weighted sums over the rows
// grow in vector registers, then their weighted sum is taken; rows that
// reach past the level's edges are first copied with the edge pels
// repeated. In 128-bit vectors two samples are weighed at a time; where the
// processor has AVX-512, four, each in the lanes of a 512-bit vector, their
// positions found side by side too. (In AVX2's vectors of eight columns the
// weighing once took a quarter less time, but the processor then lowered
// its clock and the camera's work after it took longer by more than that;
// measured on the calibration as a whole, the 512-bit weighing does not
// slow the camera.)
template <int Taps>
class GridWeighing {
 public:
  static constexpr int kWidth = (Taps + 3) / 4 * 4;
  static constexpr int kRadius = Taps / 2 - 1;

  GridWeighing(const cv::Mat& light, const kcFootprintWeights& weights)
      : light_(light), stride_(light.step1()), weights_(weights) {}

  // The means of the samples into means (CV_32F), sample (i, j) centred at
  // onLevel * (i, j, 1).
  void operator()(const cv::Matx23d& onLevel, cv::Mat& means, kcVectorWidth width) const {
    for (int j = 0; j < means.rows; ++j) {
      if (width == kcVectorWidth::e512)
        weighRowByFour(onLevel, j, means.ptr<float>(j), means.cols);
      else
        weighRow(onLevel, j, means.ptr<float>(j), means.cols);
    }
  }

 private:
  using EdgePels = std::array<float, Taps * kWidth>;

  // Where a sample's pels lie and how they weigh.
  struct Footing {
    const float* pels;  // the top left one
    std::size_t stride;
    const float* across;
    const float* down;
  };

  // The footing of the sample at (x, y) (pel centres at integers); edge
  // holds its pels if they reach past the level's edges.
  [[gnu::always_inline]] Footing footing(double x, double y, EdgePels& edge) const {
    const int column = below(x), row = below(y);
    const float* across = weights_.phase(x - column);
    const float* down = weights_.phase(y - row);
    const int left = column - kRadius, top = row - kRadius;
    if (left >= 0 && top >= 0 && left + kWidth <= light_.cols && top + Taps <= light_.rows)
      return {light_.ptr<float>(top) + left, stride_, across, down};
    copyEdge(left, top, edge);
    return {edge.data(), kWidth, across, down};
  }

  // The footing of sample (i, j).
  [[gnu::always_inline]] Footing footing(const cv::Matx23d& onLevel, int i, int j, EdgePels& edge) const {
    return footing(onLevel(0, 0) * i + onLevel(0, 1) * j + onLevel(0, 2),
                   onLevel(1, 0) * i + onLevel(1, 1) * j + onLevel(1, 2), edge);
  }

  // The pels from (left, top) on, those past the edges read as the nearest
  // edge pel.
  [[gnu::noinline]] void copyEdge(int left, int top, EdgePels& edge) const {
    for (int k = 0; k < Taps; ++k) {
      const float* pelRow = light_.ptr<float>(std::clamp(top + k, 0, light_.rows - 1));
      for (int m = 0; m < kWidth; ++m) edge[k * kWidth + m] = pelRow[std::clamp(left + m, 0, light_.cols - 1)];
    }
  }

  // The means of row j of samples, two at a time.
  void weighRow(const cv::Matx23d& onLevel, int j, float* means, int count) const {
    EdgePels edgeA, edgeB;
    for (int i = 0; i < count; i += 2) {
      const int second = std::min(i + 1, count - 1);
      weighTwo(footing(onLevel, i, j, edgeA), footing(onLevel, second, j, edgeB), means[i], means[second]);
    }
  }

  // The means of row j of samples, four at a time in 512-bit vectors; the
  // last ones of a row repeat its last sample.
  [[gnu::target("avx512f,avx512bw,avx512vl")]] void weighRowByFour(const cv::Matx23d& onLevel, int j, float* means,
                                                                   int count) const {
    std::array<EdgePels, 4> edges;
    for (int i = 0; i < count; i += 4) {
      const int b = std::min(i + 1, count - 1), c = std::min(i + 2, count - 1), d = std::min(i + 3, count - 1);
      std::array<Footing, 4> feet;
      footFour(onLevel, i, j, count, edges, feet);
      alignas(64) float sums[16];
      _mm512_store_ps(sums, weighFour(feet[0], feet[1], feet[2], feet[3]));
      means[i] = sums[0];
      means[b] = sums[4];
      means[c] = sums[8];
      means[d] = sums[12];
    }
  }

  // The footings of samples i to i + 3 of row j (those from count on
  // repeat the last sample), as footing() finds them but side by side: the
  // positions across and down in the lanes of one vector, taken to the
  // same bits by the same operations. (Here and below, masked forms of
  // intrinsics whose plain forms leave lanes undefined, of which GCC warns.)
  [[gnu::target("avx512f,avx512bw,avx512vl"), gnu::always_inline]] void footFour(const cv::Matx23d& onLevel, int i,
                                                                                 int j, int count,
                                                                                 std::array<EdgePels, 4>& edges,
                                                                                 std::array<Footing, 4>& feet) const {
    const __m256i sample =
        _mm256_min_epi32(_mm256_add_epi32(_mm256_set1_epi32(i), _mm256_setr_epi32(0, 1, 2, 3, 0, 1, 2, 3)),
                         _mm256_set1_epi32(count - 1));
    const __m512d step = _mm512_setr_pd(onLevel(0, 0), onLevel(0, 0), onLevel(0, 0), onLevel(0, 0),  //
                                        onLevel(1, 0), onLevel(1, 0), onLevel(1, 0), onLevel(1, 0));
    const double rowX = onLevel(0, 1) * j, rowY = onLevel(1, 1) * j;
    const __m512d row = _mm512_setr_pd(rowX, rowX, rowX, rowX, rowY, rowY, rowY, rowY);
    const __m512d origin = _mm512_setr_pd(onLevel(0, 2), onLevel(0, 2), onLevel(0, 2), onLevel(0, 2),  //
                                          onLevel(1, 2), onLevel(1, 2), onLevel(1, 2), onLevel(1, 2));
    const __m512d position =
        _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(step, _mm512_maskz_cvtepi32_pd(0xff, sample)), row), origin);
    const __m512d pel = _mm512_maskz_roundscale_pd(0xff, position, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    const __m256i phase = _mm256_min_epi32(
        _mm512_maskz_cvttpd_epi32(
            0xff, _mm512_mul_pd(_mm512_sub_pd(position, pel), _mm512_set1_pd(kcFootprintWeights::kPhases))),
        _mm256_set1_epi32(kcFootprintWeights::kPhases - 1));
    const __m256i corner = _mm256_sub_epi32(_mm512_maskz_cvttpd_epi32(0xff, pel), _mm256_set1_epi32(kRadius));
    const __m256i reach =
        _mm256_add_epi32(corner, _mm256_setr_epi32(kWidth, kWidth, kWidth, kWidth, Taps, Taps, Taps, Taps));
    const __m256i size = _mm256_setr_epi32(light_.cols, light_.cols, light_.cols, light_.cols,  //
                                           light_.rows, light_.rows, light_.rows, light_.rows);
    const unsigned inside =
        _mm256_cmpge_epi32_mask(corner, _mm256_setzero_si256()) & _mm256_cmple_epi32_mask(reach, size);
    alignas(32) int corners[8], phases[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(corners), corner);
    _mm256_store_si256(reinterpret_cast<__m256i*>(phases), phase);
    const float* weights = weights_.phases();
    for (int s = 0; s < 4; ++s) {
      feet[s].across = weights + phases[s] * kcFootprintWeights::kTaps;
      feet[s].down = weights + phases[4 + s] * kcFootprintWeights::kTaps;
      if ((inside >> s & inside >> (4 + s) & 1) != 0) {
        feet[s].pels = light_.ptr<float>(corners[4 + s]) + corners[s];
        feet[s].stride = stride_;
      } else {
        copyEdge(corners[s], corners[4 + s], edges[s]);
        feet[s].pels = edges[s].data();
        feet[s].stride = kWidth;
      }
    }
  }

  // The means of four samples in lanes 0, 4, 8 and 12. Each sample's
  // columns lie side by side in the lanes of one vector (two for more than
  // sixteen), those past kWidth zero, each lane summing its column as
  // weighTwo does. Then the 128-bit blocks of the four samples' weighted
  // columns are transposed, so that one vector holds the same block of
  // every sample, and summed across and within blocks in the order of
  // weighTwo and cv::v_reduce_sum.
  [[gnu::target("avx512f,avx512bw,avx512vl"), gnu::always_inline]] static __m512 weighFour(const Footing& a,
                                                                                           const Footing& b,
                                                                                           const Footing& c,
                                                                                           const Footing& d) {
    constexpr int kZmm = (kWidth + 15) / 16;
    constexpr unsigned kLast = (1u << (kWidth - 16 * (kZmm - 1))) - 1;
    const auto lanes = [](int z) { return static_cast<__mmask16>(z + 1 < kZmm ? 0xffff : kLast); };
    __m512 columnsA[kZmm], columnsB[kZmm], columnsC[kZmm], columnsD[kZmm];
    for (int z = 0; z < kZmm; ++z) columnsA[z] = columnsB[z] = columnsC[z] = columnsD[z] = _mm512_setzero_ps();
    const float *pelsA = a.pels, *pelsB = b.pels, *pelsC = c.pels, *pelsD = d.pels;
#pragma GCC unroll 1
    for (int k = 0; k < Taps; ++k) {
#pragma GCC unroll 2
      for (int z = 0; z < kZmm; ++z) {
        const __mmask16 m = lanes(z);
        columnsA[z] = _mm512_add_ps(columnsA[z],
                                    _mm512_mul_ps(_mm512_set1_ps(a.down[k]), _mm512_maskz_loadu_ps(m, pelsA + 16 * z)));
        columnsB[z] = _mm512_add_ps(columnsB[z],
                                    _mm512_mul_ps(_mm512_set1_ps(b.down[k]), _mm512_maskz_loadu_ps(m, pelsB + 16 * z)));
        columnsC[z] = _mm512_add_ps(columnsC[z],
                                    _mm512_mul_ps(_mm512_set1_ps(c.down[k]), _mm512_maskz_loadu_ps(m, pelsC + 16 * z)));
        columnsD[z] = _mm512_add_ps(columnsD[z],
                                    _mm512_mul_ps(_mm512_set1_ps(d.down[k]), _mm512_maskz_loadu_ps(m, pelsD + 16 * z)));
      }
      pelsA += a.stride, pelsB += b.stride, pelsC += c.stride, pelsD += d.stride;
    }
    __m512 sum = _mm512_setzero_ps();
#pragma GCC unroll 2
    for (int z = 0; z < kZmm; ++z) {
      const __mmask16 m = lanes(z);
      const __m512 weightedA = _mm512_mul_ps(columnsA[z], _mm512_maskz_loadu_ps(m, a.across + 16 * z));
      const __m512 weightedB = _mm512_mul_ps(columnsB[z], _mm512_maskz_loadu_ps(m, b.across + 16 * z));
      const __m512 weightedC = _mm512_mul_ps(columnsC[z], _mm512_maskz_loadu_ps(m, c.across + 16 * z));
      const __m512 weightedD = _mm512_mul_ps(columnsD[z], _mm512_maskz_loadu_ps(m, d.across + 16 * z));
      const __m512 lowAB = shuffleBlocks<0x44>(weightedA, weightedB),
                   highAB = shuffleBlocks<0xee>(weightedA, weightedB);
      const __m512 lowCD = shuffleBlocks<0x44>(weightedC, weightedD),
                   highCD = shuffleBlocks<0xee>(weightedC, weightedD);
      const __m512 blocks[4] = {shuffleBlocks<0x88>(lowAB, lowCD), shuffleBlocks<0xdd>(lowAB, lowCD),
                                shuffleBlocks<0x88>(highAB, highCD), shuffleBlocks<0xdd>(highAB, highCD)};
      for (int block = 0; block < 4 && 16 * z + 4 * block < kWidth; ++block) sum = _mm512_add_ps(sum, blocks[block]);
    }
    sum = _mm512_add_ps(sum, _mm512_castsi512_ps(_mm512_bsrli_epi128(_mm512_castps_si512(sum), 8)));
    return _mm512_add_ps(sum, _mm512_castsi512_ps(_mm512_bsrli_epi128(_mm512_castps_si512(sum), 4)));
  }

  // Two 128-bit blocks of a, then two of b, as Pick selects them.
  template <int Pick>
  [[gnu::target("avx512f"), gnu::always_inline]] static __m512 shuffleBlocks(__m512 a, __m512 b) {
    return _mm512_maskz_shuffle_f32x4(0xffff, a, b, Pick);
  }

  // std::floor of a position on the level, which lies within an int: a
  // conversion rather than a call, without SSE4.1's rounding instruction.
  static int below(double position) {
    const int truncated = static_cast<int>(position);
    return truncated > position ? truncated - 1 : truncated;
  }

  // The means of two samples, their sums interleaved; the loops unrolled
  // whole, so that the sums stay in registers.
  static void weighTwo(const Footing& a, const Footing& b, float& meanA, float& meanB) {
    constexpr int kVectors = kWidth / 4;
    std::array<cv::v_float32x4, kVectors> columnsA, columnsB;
    columnsA.fill(cv::v_setzero_f32());
    columnsB.fill(cv::v_setzero_f32());
    const float* pelsA = a.pels;
    const float* pelsB = b.pels;
#pragma GCC unroll 20
    for (int k = 0; k < Taps; ++k, pelsA += a.stride, pelsB += b.stride) {
      const cv::v_float32x4 weightA = cv::v_setall_f32(a.down[k]), weightB = cv::v_setall_f32(b.down[k]);
#pragma GCC unroll 8
      for (int c = 0; c < kVectors; ++c) {
        columnsA[c] = columnsA[c] + weightA * cv::v_load(pelsA + 4 * c);
        columnsB[c] = columnsB[c] + weightB * cv::v_load(pelsB + 4 * c);
      }
    }
    cv::v_float32x4 sumA = cv::v_setzero_f32(), sumB = cv::v_setzero_f32();
#pragma GCC unroll 8
    for (int c = 0; c < kVectors; ++c) {
      sumA = sumA + columnsA[c] * cv::v_load(a.across + 4 * c);
      sumB = sumB + columnsB[c] * cv::v_load(b.across + 4 * c);
    }
    meanA = cv::v_reduce_sum(sumA);
    meanB = cv::v_reduce_sum(sumB);
  }

  const cv::Mat& light_;
  std::size_t stride_;  // of the light's rows, in floats
  const kcFootprintWeights& weights_;
};

template <int Taps>
void weighGrid(const cv::Mat& light, const kcFootprintWeights& weights, const cv::Matx23d& onLevel, cv::Mat& means,
               kcVectorWidth width) {
  if constexpr (Taps < kcFootprintWeights::kTaps) {
    if (weights.taps() != Taps) return weighGrid<Taps + 2>(light, weights, onLevel, means, width);
  }
  GridWeighing<Taps>(light, weights)(onLevel, means, width);
}

}  // namespace

cv::Mat kfFootprintLight(const cv::Mat& plane, const cv::Matx23d& dstToSrc, cv::Size size, kcVectorWidth width) {
  const kcFootprintPlan plan = kfFootprintPlan(plane.size(), dstToSrc, size);
  cv::Mat means(size, CV_32F);
  // A footprint's weights have an even number of taps, 4 at the fewest.
  weighGrid<4>(halvedLight(plane, plan, width), kfFootprintWeights(plan.sigma), plan.onLevel, means, width);
  return means;
}

// All the means are weighed out before any is encoded: the encoding's
// branches, mispredicted now and then, would otherwise hold up the next
// samples' sums, each a long chain of dependent additions.
cv::Mat kfFootprintSamples(const cv::Mat& plane, const cv::Matx23d& dstToSrc, cv::Size size, kcVectorWidth width) {
  const cv::Mat light = kfFootprintLight(plane, dstToSrc, size, width);
  const kcSrgbEncoder& encode = kfSrgbEncoder();
  cv::Mat out(size, CV_8U);
  for (int j = 0; j < size.height; ++j) {
    const float* l = light.ptr<float>(j);
    unsigned char* o = out.ptr(j);
    for (int i = 0; i < size.width; ++i) o[i] = encode(l[i]);
  }
  return out;
}

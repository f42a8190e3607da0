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
// repeated. A row of samples is weighed out before any is encoded: the
// encoding's branches, mispredicted now and then, would otherwise hold up
// the next samples' sums, each a long chain of dependent additions.
template <int Taps>
class GridWeighing {
 public:
  static constexpr int kWidth = (Taps + 3) / 4 * 4;
  static constexpr int kRadius = Taps / 2 - 1;

  GridWeighing(const cv::Mat& light, const kcFootprintWeights& weights)
      : light_(light), stride_(light.step1()), weights_(weights) {}

  void operator()(const cv::Matx23d& onLevel, cv::Mat& out, kcVectorWidth width) const {
    const kcSrgbEncoder& encode = kfSrgbEncoder();
    std::vector<float> means(static_cast<std::size_t>(out.cols));
    for (int j = 0; j < out.rows; ++j) {
      if (width == kcVectorWidth::e256)
        weighRow<weighTwoWide>(onLevel, j, means);
      else
        weighRow<weighTwo>(onLevel, j, means);
      unsigned char* o = out.ptr(j);
      for (int i = 0; i < out.cols; ++i) o[i] = encode(means[static_cast<std::size_t>(i)]);
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

  // The pels from (left, top) on, those past the edges read as the nearest
  // edge pel.
  [[gnu::noinline]] void copyEdge(int left, int top, EdgePels& edge) const {
    for (int k = 0; k < Taps; ++k) {
      const float* pelRow = light_.ptr<float>(std::clamp(top + k, 0, light_.rows - 1));
      for (int m = 0; m < kWidth; ++m) edge[k * kWidth + m] = pelRow[std::clamp(left + m, 0, light_.cols - 1)];
    }
  }

  // The means of row j of samples, two at a time.
  template <void (*WeighTwo)(const Footing&, const Footing&, float&, float&)>
  void weighRow(const cv::Matx23d& onLevel, int j, std::vector<float>& means) const {
    const int count = static_cast<int>(means.size());
    EdgePels edgeA, edgeB;
    for (int i = 0; i < count; i += 2) {
      const int second = std::min(i + 1, count - 1);
      const Footing a = footing(onLevel(0, 0) * i + onLevel(0, 1) * j + onLevel(0, 2),
                                onLevel(1, 0) * i + onLevel(1, 1) * j + onLevel(1, 2), edgeA);
      const Footing b = footing(onLevel(0, 0) * second + onLevel(0, 1) * j + onLevel(0, 2),
                                onLevel(1, 0) * second + onLevel(1, 1) * j + onLevel(1, 2), edgeB);
      WeighTwo(a, b, means[static_cast<std::size_t>(i)], means[static_cast<std::size_t>(second)]);
    }
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
#pragma GCC unroll 20
    for (int k = 0; k < Taps; ++k) {
      const cv::v_float32x4 weightA = cv::v_setall_f32(a.down[k]), weightB = cv::v_setall_f32(b.down[k]);
      const float* pelsA = a.pels + k * a.stride;
      const float* pelsB = b.pels + k * b.stride;
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

  // The same as weighTwo in AVX2's vectors of eight columns as far as they
  // fill them, in SSE's four beyond; the column sums are then added up in
  // fours in weighTwo's order.
  [[gnu::target("avx2")]] static void weighTwoWide(const Footing& a, const Footing& b, float& meanA, float& meanB) {
    constexpr int kWide = kWidth / 8;
    constexpr bool kNarrow = kWidth % 8 != 0;
    // At least one, to be a C++ array; those past kWide stay unused.
    __m256 wideA[std::max(kWide, 1)], wideB[std::max(kWide, 1)];
    for (int q = 0; q < kWide; ++q) wideA[q] = wideB[q] = _mm256_setzero_ps();
    __m128 narrowA = _mm_setzero_ps(), narrowB = _mm_setzero_ps();
#pragma GCC unroll 20
    for (int k = 0; k < Taps; ++k) {
      const __m256 weightA = _mm256_broadcast_ss(a.down + k), weightB = _mm256_broadcast_ss(b.down + k);
      const float* pelsA = a.pels + k * a.stride;
      const float* pelsB = b.pels + k * b.stride;
#pragma GCC unroll 4
      for (int q = 0; q < kWide; ++q) {
        wideA[q] = _mm256_add_ps(wideA[q], _mm256_mul_ps(weightA, _mm256_loadu_ps(pelsA + 8 * q)));
        wideB[q] = _mm256_add_ps(wideB[q], _mm256_mul_ps(weightB, _mm256_loadu_ps(pelsB + 8 * q)));
      }
      if constexpr (kNarrow) {
        narrowA = _mm_add_ps(narrowA, _mm_mul_ps(_mm256_castps256_ps128(weightA), _mm_loadu_ps(pelsA + 8 * kWide)));
        narrowB = _mm_add_ps(narrowB, _mm_mul_ps(_mm256_castps256_ps128(weightB), _mm_loadu_ps(pelsB + 8 * kWide)));
      }
    }
    meanA = weighedColumns(wideA, narrowA, a.across);
    meanB = weighedColumns(wideB, narrowB, b.across);
  }

  // The column sums times their weights, added up as weighTwo adds them:
  // four lanes, then the lanes as (0 + 2) + (1 + 3).
  [[gnu::target("avx2")]] static float weighedColumns(const __m256* wide, __m128 narrow, const float* across) {
    __m128 sum = _mm_setzero_ps();
#pragma GCC unroll 4
    for (int q = 0; q < kWidth / 8; ++q) {
      sum = _mm_add_ps(sum, _mm_mul_ps(_mm256_castps256_ps128(wide[q]), _mm_loadu_ps(across + 8 * q)));
      sum = _mm_add_ps(sum, _mm_mul_ps(_mm256_extractf128_ps(wide[q], 1), _mm_loadu_ps(across + 8 * q + 4)));
    }
    if constexpr (kWidth % 8 != 0) sum = _mm_add_ps(sum, _mm_mul_ps(narrow, _mm_loadu_ps(across + kWidth - 4)));
    sum = _mm_add_ps(sum, _mm_castsi128_ps(_mm_srli_si128(_mm_castps_si128(sum), 8)));
    sum = _mm_add_ps(sum, _mm_castsi128_ps(_mm_srli_si128(_mm_castps_si128(sum), 4)));
    return _mm_cvtss_f32(sum);
  }

  const cv::Mat& light_;
  std::size_t stride_;  // of the light's rows, in floats
  const kcFootprintWeights& weights_;
};

template <int Taps>
void weighGrid(const cv::Mat& light, const kcFootprintWeights& weights, const cv::Matx23d& onLevel, cv::Mat& out,
               kcVectorWidth width) {
  if constexpr (Taps < kcFootprintWeights::kTaps) {
    if (weights.taps() != Taps) return weighGrid<Taps + 2>(light, weights, onLevel, out, width);
  }
  GridWeighing<Taps>(light, weights)(onLevel, out, width);
}

}  // namespace

cv::Mat kfFootprintSamples(const cv::Mat& plane, const cv::Matx23d& dstToSrc, cv::Size size, kcVectorWidth width) {
  const kcFootprintPlan plan = kfFootprintPlan(plane.size(), dstToSrc, size);
  const cv::Mat light = halvedLight(plane, plan, width);
  cv::Mat out(size, CV_8U);
  // A footprint's weights have an even number of taps, 4 at the fewest.
  weighGrid<4>(light, kfFootprintWeights(plan.sigma), plan.onLevel, out, width);
  return out;
}

#include "host/imaging/footprint_sampling.h"

#include <algorithm>
#include <array>
#include <cmath>
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
// In AVX2's vectors of eight columns the weighing took a quarter less
// time, but the processor then lowered its clock for the 256-bit
// arithmetic and the camera's work after it took longer by more than that.
template <int Taps>
class GridWeighing {
 public:
  static constexpr int kWidth = (Taps + 3) / 4 * 4;
  static constexpr int kRadius = Taps / 2 - 1;

  GridWeighing(const cv::Mat& light, const kcFootprintWeights& weights)
      : light_(light), stride_(light.step1()), weights_(weights) {}

  void operator()(const cv::Matx23d& onLevel, cv::Mat& out) const {
    const kcSrgbEncoder& encode = kfSrgbEncoder();
    std::vector<float> means(static_cast<std::size_t>(out.cols));
    for (int j = 0; j < out.rows; ++j) {
      weighRow(onLevel, j, means);
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
  void weighRow(const cv::Matx23d& onLevel, int j, std::vector<float>& means) const {
    const int count = static_cast<int>(means.size());
    EdgePels edgeA, edgeB;
    for (int i = 0; i < count; i += 2) {
      const int second = std::min(i + 1, count - 1);
      const Footing a = footing(onLevel(0, 0) * i + onLevel(0, 1) * j + onLevel(0, 2),
                                onLevel(1, 0) * i + onLevel(1, 1) * j + onLevel(1, 2), edgeA);
      const Footing b = footing(onLevel(0, 0) * second + onLevel(0, 1) * j + onLevel(0, 2),
                                onLevel(1, 0) * second + onLevel(1, 1) * j + onLevel(1, 2), edgeB);
      weighTwo(a, b, means[static_cast<std::size_t>(i)], means[static_cast<std::size_t>(second)]);
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
void weighGrid(const cv::Mat& light, const kcFootprintWeights& weights, const cv::Matx23d& onLevel, cv::Mat& out) {
  if constexpr (Taps < kcFootprintWeights::kTaps) {
    if (weights.taps() != Taps) return weighGrid<Taps + 2>(light, weights, onLevel, out);
  }
  GridWeighing<Taps>(light, weights)(onLevel, out);
}

}  // namespace

cv::Mat kfFootprintSamples(const cv::Mat& plane, const cv::Matx23d& dstToSrc, cv::Size size, kcVectorWidth width) {
  const kcFootprintPlan plan = kfFootprintPlan(plane.size(), dstToSrc, size);
  const cv::Mat light = halvedLight(plane, plan, width);
  cv::Mat out(size, CV_8U);
  // A footprint's weights have an even number of taps, 4 at the fewest.
  weighGrid<4>(light, kfFootprintWeights(plan.sigma), plan.onLevel, out);
  return out;
}

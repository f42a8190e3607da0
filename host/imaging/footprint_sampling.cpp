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
// the taps are 0). A sample's mean is the weighted sum across of its
// columns' weighted sums down. A column's sum down depends only on the
// column, the sample's top row and its phase down, so a run of samples in
// a row of the grid that share those two (the whole row of a grid square to
// the pels, shorter runs in a slightly turned one) share their columns'
// sums: they are formed once for the run, in vectors as wide as the
// processor has, before the samples' sums across. A sample alone in its run
// is weighed out with another such sample, the two sums interleaved in
// registers (each a chain of a dozen dependent additions; two chains keep
// the processor busy). Rows and columns past the level's edges read its
// nearest edge pels.
template <int Taps>
class GridWeighing {
 public:
  static constexpr int kWidth = (Taps + 3) / 4 * 4;
  static constexpr int kRadius = Taps / 2 - 1;

  GridWeighing(const cv::Mat& light, const kcFootprintWeights& weights, kcVectorWidth width)
      : light_(light), weights_(weights), width_(width), sums_(static_cast<std::size_t>(light.cols)) {}

  // The means of the samples into means (CV_32F), sample (i, j) centred at
  // onLevel * (i, j, 1).
  void operator()(const cv::Matx23d& onLevel, cv::Mat& means) {
    std::vector<Footing> feet(static_cast<std::size_t>(means.cols));
    for (int j = 0; j < means.rows; ++j) {
      for (int i = 0; i < means.cols; ++i)
        feet[static_cast<std::size_t>(i)] = footing(onLevel(0, 0) * i + onLevel(0, 1) * j + onLevel(0, 2),
                                                    onLevel(1, 0) * i + onLevel(1, 1) * j + onLevel(1, 2));
      weighRow(feet, means.ptr<float>(j));
    }
  }

 private:
  using EdgePels = std::array<float, Taps * kWidth>;

  // Where a sample's pels lie (the top left one) and how they weigh.
  struct Footing {
    int left, top;
    const float* across;
    const float* down;
  };

  // The footing of the sample at (x, y) (pel centres at integers).
  Footing footing(double x, double y) const {
    const int column = below(x), row = below(y);
    return {column - kRadius, row - kRadius, weights_.phase(x - column), weights_.phase(y - row)};
  }

  // The means of a row of samples, run by run.
  void weighRow(const std::vector<Footing>& feet, float* means) {
    const std::size_t none = feet.size();
    std::size_t alone = none;  // a sample alone in its run, waiting for another
    for (std::size_t run = 0, next = 0; run < feet.size(); run = next) {
      int from = feet[run].left, to = feet[run].left;
      for (next = run; next < feet.size() && feet[next].top == feet[run].top && feet[next].down == feet[run].down;
           ++next) {
        from = std::min(from, feet[next].left);
        to = std::max(to, feet[next].left + kWidth);
      }
      if (next - run == 1 && alone == none) {
        alone = run;
      } else if (next - run == 1) {
        weighTwo(feet[alone], feet[run], means[alone], means[run]);
        alone = none;
      } else {
        from = std::clamp(from, 0, light_.cols - 1);
        sumColumns(feet[run].top, feet[run].down, from, std::clamp(to, from + 1, light_.cols));
        for (std::size_t i = run; i < next; ++i) means[i] = weighAcross(feet[i]);
      }
    }
    if (alone != none) weighTwo(feet[alone], feet[alone], means[alone], means[alone]);
  }

  // The weighted sum across of a sample's columns, whose sums down sums_
  // holds.
  float weighAcross(const Footing& f) const {
    std::array<float, kWidth> edge;
    const float* columns = &sums_[static_cast<std::size_t>(std::max(f.left, 0))];
    if (f.left < 0 || f.left + kWidth > light_.cols) {
      for (int m = 0; m < kWidth; ++m)
        edge[m] = sums_[static_cast<std::size_t>(std::clamp(f.left + m, 0, light_.cols - 1))];
      columns = edge.data();
    }
    cv::v_float32x4 sum = cv::v_setzero_f32();
#pragma GCC unroll 5
    for (int c = 0; c < kWidth / 4; ++c) sum = sum + cv::v_load(columns + 4 * c) * cv::v_load(f.across + 4 * c);
    return cv::v_reduce_sum(sum);
  }

  // The sums down of columns [from, to) into sums_, over the rows from top
  // weighed by down: in whole vectors, and past to where the level reaches.
  void sumColumns(int top, const float* down, int from, int to) {
    std::array<const float*, Taps> rows;
    for (int k = 0; k < Taps; ++k) rows[k] = light_.ptr<float>(std::clamp(top + k, 0, light_.rows - 1));
    const int end = std::min(from + (to - from + 3) / 4 * 4, light_.cols);
    int c = width_ == kcVectorWidth::e512 ? sumColumnsBy16(rows, down, from, end) : from;
    for (; c + 4 <= end; c += 4) {
      cv::v_float32x4 sum = cv::v_setzero_f32();
#pragma GCC unroll 20
      for (int k = 0; k < Taps; ++k) sum = sum + cv::v_setall_f32(down[k]) * cv::v_load(rows[k] + c);
      cv::v_store(&sums_[static_cast<std::size_t>(c)], sum);
    }
    for (; c < end; ++c) {
      float sum = 0.0f;
      for (int k = 0; k < Taps; ++k) sum = sum + down[k] * rows[k][c];
      sums_[static_cast<std::size_t>(c)] = sum;
    }
  }

  // The first of those sums, sixteen at a time in AVX-512's vectors, the
  // last vector holding whole fours only; returns where they stop.
  [[gnu::target("avx512f")]] int sumColumnsBy16(const std::array<const float*, Taps>& rows, const float* down,
                                                int c, int end) {
    for (; c + 4 <= end; c += 16) {
      const int count = std::min(16, (end - c) / 4 * 4);
      const __mmask16 lanes = static_cast<__mmask16>((1u << count) - 1);
      __m512 sum = _mm512_setzero_ps();
#pragma GCC unroll 20
      for (int k = 0; k < Taps; ++k)
        sum = _mm512_add_ps(sum, _mm512_mul_ps(_mm512_set1_ps(down[k]), _mm512_maskz_loadu_ps(lanes, rows[k] + c)));
      _mm512_mask_storeu_ps(&sums_[static_cast<std::size_t>(c)], lanes, sum);
      if (count < 16) return c + count;
    }
    return c;
  }

  // A sample's pels, from its top left one on, with the stride of their
  // rows: in the level, or copied into edge, those past the edges read as
  // the nearest edge pel.
  std::pair<const float*, std::size_t> pelsOf(const Footing& f, EdgePels& edge) const {
    if (f.left >= 0 && f.top >= 0 && f.left + kWidth <= light_.cols && f.top + Taps <= light_.rows)
      return {light_.ptr<float>(f.top) + f.left, light_.step1()};
    for (int k = 0; k < Taps; ++k) {
      const float* pelRow = light_.ptr<float>(std::clamp(f.top + k, 0, light_.rows - 1));
      for (int m = 0; m < kWidth; ++m) edge[k * kWidth + m] = pelRow[std::clamp(f.left + m, 0, light_.cols - 1)];
    }
    return {edge.data(), kWidth};
  }

  // The means of two samples, each weighed down and across in the order
  // of sumColumns and weighAcross, their sums interleaved; the loops
  // unrolled whole, so that the sums stay in registers.
  void weighTwo(const Footing& a, const Footing& b, float& meanA, float& meanB) const {
    constexpr int kVectors = kWidth / 4;
    EdgePels edgeA, edgeB;
    auto [pelsA, strideA] = pelsOf(a, edgeA);
    auto [pelsB, strideB] = pelsOf(b, edgeB);
    std::array<cv::v_float32x4, kVectors> columnsA, columnsB;
    columnsA.fill(cv::v_setzero_f32());
    columnsB.fill(cv::v_setzero_f32());
#pragma GCC unroll 20
    for (int k = 0; k < Taps; ++k, pelsA += strideA, pelsB += strideB) {
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

  // std::floor of a position on the level, which lies within an int: a
  // conversion rather than a call, without SSE4.1's rounding instruction.
  static int below(double position) {
    const int truncated = static_cast<int>(position);
    return truncated > position ? truncated - 1 : truncated;
  }

  const cv::Mat& light_;
  const kcFootprintWeights& weights_;
  kcVectorWidth width_;
  // The sums down of the columns of the run of samples being weighed.
  std::vector<float> sums_;
};

template <int Taps>
void weighGrid(const cv::Mat& light, const kcFootprintWeights& weights, const cv::Matx23d& onLevel, cv::Mat& means,
               kcVectorWidth width) {
  if constexpr (Taps < kcFootprintWeights::kTaps) {
    if (weights.taps() != Taps) return weighGrid<Taps + 2>(light, weights, onLevel, means, width);
  }
  GridWeighing<Taps>(light, weights, width)(onLevel, means);
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
// branches, mispredicted now and then, would otherwise hold up the sums.
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

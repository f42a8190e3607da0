// The camera response model against views made by its own equations, and
// the light curve under it.
#include "colc/tool/internal/camera_response.h"

#include <gtest/gtest.h>

#include <cmath>

#include "colc/host/light.h"
#include "colc/tool/internal/model_optimum.h"
#include "support/test_planes.h"

namespace {

constexpr long kW = 60, kH = 40;

// A reference with every pel level in each plane, in a different order per plane.
kc3PlanePelBuffer reference() {
  const auto plane = [](int k) {
    return makePlane(kW, kH,
                     [k](long x, long y) { return static_cast<unsigned char>((x * 7 + y * 13 + k * 50) % 256); });
  };
  return {plane(0), plane(1), plane(2)};
}

// A chart of flat 10 x 10 blocks, each of its own colour, dark ones among them.
kc3PlanePelBuffer blockChart() {
  const auto plane = [](int k) {
    return makePlane(kW, kH, [k](long x, long y) {
      const long block = x / 10 + 6 * (y / 10);
      return static_cast<unsigned char>(12 + (block * (37 + 11 * k) + 29 * k) % 232);
    });
  };
  return {plane(0), plane(1), plane(2)};
}

// A camera that follows the model exactly: light = gain_k * level(e, c) * reference + black(b),
// where with cross-talk each plane's reference light takes in that share of the other two's.
struct ModelCamera {
  double gainSlope = 1.2;
  double blackSlope = 0.08;
  double blackZero = 0.4;
  double sensitivity[3] = {0.8, 1.0, 0.62};
  double crossTalk = 0.0;

  kc3PlanePelBuffer view(const kcColorCameraSettings& s, const kc3PlanePelBuffer& r = reference()) const {
    kcPelBuffer<unsigned char> planes[3] = {{kW, kH}, {kW, kH}, {kW, kH}};
    for (int k = 0; k < 3; ++k) {
      for (long y = 0; y < kH; ++y) {
        for (long x = 0; x < kW; ++x) {
          double mixed = 0.0;
          for (int j = 0; j < 3; ++j)
            mixed += (j == k ? 1.0 - crossTalk : crossTalk / 2) * kfPelLight(r.pelPlane(j).pointToRow(y)[x]);
          const double light = sensitivity[k] * s.exposure() * 40 * std::exp(gainSlope * (s.contrast() - 0.5)) *
                                   mixed +
                               blackSlope * (s.brightness() - blackZero);
          planes[k].pointToRow(y)[x] = kfLightPel(light);
        }
      }
    }
    return {planes[0], planes[1], planes[2]};
  }
};

int largestPelDifference(const kc3PlanePelBuffer& a, const kc3PlanePelBuffer& b) {
  int largest = 0;
  for (int k = 0; k < 3; ++k)
    for (long y = 0; y < kH; ++y)
      for (long x = 0; x < kW; ++x)
        largest = std::max(largest, std::abs(a.pelPlane(k).pointToRow(y)[x] - b.pelPlane(k).pointToRow(y)[x]));
  return largest;
}

}  // namespace

TEST(LightCurve, PelsSurviveTheRoundTripAndLightClipsAtBothEnds) {
  for (int p = 0; p < 256; ++p) {
    const auto pel = static_cast<unsigned char>(p);
    EXPECT_EQ(kfLightPel(kfPelLight(pel)), pel);
    const float light = static_cast<float>(kfPelLight(pel));
    unsigned char batch = 0;
    kfLightPels(&light, 1, &batch);
    EXPECT_EQ(batch, pel);
  }
  EXPECT_NEAR(kfPelLight(128), 0.2158605, 1e-6);  // the sRGB curve's mid grey
  EXPECT_EQ(kfLightPel(-0.5), 0);
  EXPECT_EQ(kfLightPel(1.5), 255);
  EXPECT_EQ(kfLightPel(std::nan("")), 0);
}

// Three views (base, another brightness, another contrast) teach the model
// enough to predict the view at settings far from all three.
TEST(CameraResponse, LearntFromThreeViewsPredictsTheViewAtOtherSettings) {
  const ModelCamera camera;
  const kcColorCameraSettings base(0.01, 0.5, 0.5), darker(0.01, 0.5, 0.4), higher(0.01, 0.65, 0.5);
  std::optional<kcCameraResponse> model = kcCameraResponse::learn(base, camera.view(base), reference());
  ASSERT_TRUE(model);
  EXPECT_FALSE(model->blackKnown());
  EXPECT_FALSE(model->gainKnown());
  model->learnBlack(darker, camera.view(darker));
  model->learnGain(higher, camera.view(higher));
  EXPECT_NEAR(model->meanBlackSlope(), camera.blackSlope, 0.002);
  EXPECT_NEAR(model->gainSlope(), camera.gainSlope, 0.02);
  EXPECT_NEAR(model->blackZeroBrightness(), camera.blackZero, 0.01);
  EXPECT_NEAR(model->level({0.02, 0.3, 0.0}), 2.0 * std::exp(-0.2 * camera.gainSlope), 0.01);

  const kcColorCameraSettings far(0.022, 0.55, 0.41);
  EXPECT_LE(largestPelDifference(model->predictedView(model->level(far), far.brightness()), camera.view(far)), 2);
  // Full scale: the brightest (green) plane's white just reaches 255.
  const double full = model->fullScaleLevel();
  EXPECT_NEAR(full * 0.01 * 40, 1.0, 0.05);
}

// The predicted optimum on such a camera lies at a black level near zero and
// a level that keeps the brightest plane from clipping much.
TEST(CameraResponse, PredictedOptimumHasNoBlackLiftAndLittleClipping) {
  const ModelCamera camera;
  const kcColorCameraSettings base(0.01, 0.5, 0.5);
  std::optional<kcCameraResponse> model = kcCameraResponse::learn(base, camera.view(base), reference());
  ASSERT_TRUE(model);
  model->learnBlack({0.01, 0.5, 0.4}, camera.view({0.01, 0.5, 0.4}));
  const kcModelBounds bounds{0.01, 100.0, 0.0, 1.0};
  const kcModelOptimum optimum = kfModelOptimum(*model, kcColorCalibrationParams(), reference(), bounds);
  EXPECT_NEAR(optimum.brightness, camera.blackZero, 0.03);
  EXPECT_GT(optimum.level, 0.4 * model->fullScaleLevel());
  EXPECT_LT(optimum.level, 1.3 * model->fullScaleLevel());
}

TEST(CameraResponse, LearnsNothingFromADarkOrClippedBase) {
  const ModelCamera camera;
  EXPECT_FALSE(kcCameraResponse::learn({0.0, 0.5, 0.5}, camera.view({0.0, 0.5, 0.5}), reference()));
  const kcPelBuffer<unsigned char> white = makePlane(kW, kH, 255);
  EXPECT_FALSE(kcCameraResponse::learn({1.0, 1.0, 1.0}, {white, white, white}, reference()));
}

// With cross-talk the unclipped brightness still finds the black
// level's zero from the flat areas, where a line through each plane's own
// light would put it well below, and the predictions take their black
// from there; a grey chart cannot tell the planes apart and gives none.
TEST(CameraResponse, FindsTheBrightnessOfZeroBlackUnderCrossTalkAndNoneOnAGreyChart) {
  ModelCamera camera;
  camera.crossTalk = 0.1;
  const kc3PlanePelBuffer chart = blockChart();
  const kcColorCameraSettings base(0.01, 0.5, 0.5), darker(0.01, 0.5, 0.4);
  std::optional<kcCameraResponse> model = kcCameraResponse::learn(base, camera.view(base, chart), chart);
  ASSERT_TRUE(model);
  EXPECT_FALSE(model->unclippedBrightness()) << "before the black's slope is known";
  model->learnBlack(darker, camera.view(darker, chart));
  ASSERT_TRUE(model->unclippedBrightness());
  EXPECT_NEAR(*model->unclippedBrightness(), camera.blackZero, 0.005);
  EXPECT_NEAR(model->blackZeroBrightness(), camera.blackZero, 0.005);

  const kcPelBuffer<unsigned char> level = kfPelCopy(chart.plane1());
  const kc3PlanePelBuffer grey(level, level, level);
  std::optional<kcCameraResponse> greyModel = kcCameraResponse::learn(base, camera.view(base, grey), grey);
  ASSERT_TRUE(greyModel);
  greyModel->learnBlack(darker, camera.view(darker, grey));
  EXPECT_FALSE(greyModel->unclippedBrightness());
}

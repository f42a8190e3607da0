// The cross-plane colour correction fit, on views made from references
// through planted transforms, and the flat-region mask it is fitted on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "colc/balance/color_correction_fit.h"
#include "colc/records/errors.h"

namespace {

using Domain = kcColorCorrection::Domain;

// Random colour patches of side 16 pels: flat areas with edges between them.
kc3PlanePelBuffer patchwork(long width, long height, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> level(40, 235);
  kcPelBuffer<unsigned char> planes[3] = {{width, height}, {width, height}, {width, height}};
  for (long py = 0; py < height; py += 16)
    for (long px = 0; px < width; px += 16)
      for (auto& plane : planes) {
        const auto v = static_cast<unsigned char>(level(random));
        for (long y = py; y < std::min(py + 16, height); ++y)
          for (long x = px; x < std::min(px + 16, width); ++x) plane.pointToRow(y)[x] = v;
      }
  return kc3PlanePelBuffer(planes[0], planes[1], planes[2]);
}

kcPelBuffer<unsigned char> everywhere(long width, long height) {
  kcPelBuffer<unsigned char> mask(width, height);
  for (long y = 0; y < height; ++y) std::fill_n(mask.pointToRow(y), width, 255);
  return mask;
}

void expectCoefficientsNear(const kcColorCorrection& fitted, const kcColorCorrection::Coefficients& planted,
                            double tolerance) {
  for (std::size_t k = 0; k < 3; ++k)
    for (std::size_t i = 0; i < 4; ++i)
      EXPECT_NEAR(fitted.coefficients()[k][i], planted[k][i], tolerance) << "row " << k << ", column " << i;
}

// A view made of the reference by leaking light between planes: the fit
// undoes the leak, to within the rounding of the view's levels.
class PlantedTransform : public testing::TestWithParam<Domain> {};

TEST_P(PlantedTransform, IsRecovered) {
  // Light leaking between planes, a lifted black and per-plane gains.
  const kcColorCorrection::Coefficients leak = {
      {{0.8, 0.1, 0.1, 0.03}, {0.05, 0.85, 0.1, 0.02}, {0.1, 0.15, 0.75, 0.04}}};
  const kcColorCorrection leaking(GetParam(), leak);
  const kc3PlanePelBuffer reference = patchwork(160, 96, 3);
  const kc3PlanePelBuffer view = leaking.apply(reference);
  const kcColorCorrection fitted = kfComputeColorCorrection(view, reference, everywhere(160, 96), GetParam());
  EXPECT_EQ(fitted.domain(), GetParam());
  // Applying the fit to the view gives the reference back to within the rounding of the view's levels.
  const kc3PlanePelBuffer restored = fitted.apply(view);
  for (int k = 0; k < 3; ++k)
    for (long y = 0; y < 96; ++y)
      for (long x = 0; x < 160; ++x)
        ASSERT_NEAR(restored.pelPlane(k).pointToRow(y)[x], reference.pelPlane(k).pointToRow(y)[x], 3)
            << "plane " << k << " at " << x << ", " << y;
}

TEST_P(PlantedTransform, IdentityWhenTheViewIsTheReference) {
  const kc3PlanePelBuffer reference = patchwork(160, 96, 5);
  const kcColorCorrection fitted = kfComputeColorCorrection(reference, reference, everywhere(160, 96), GetParam());
  expectCoefficientsNear(fitted, kcColorCorrection().coefficients(), 1e-9);
}

INSTANTIATE_TEST_SUITE_P(BothDomains, PlantedTransform, testing::Values(Domain::encoded, Domain::linear));

// In the encoded domain a planted transform on exact levels comes back to
// within the rounding of the levels it produced.
TEST(ColorCorrectionFit, RecoversAPlantedEncodedTransform) {
  const kcColorCorrection::Coefficients planted = {
      {{1.05, -0.03, -0.02, 0.01}, {-0.03, 1.08, -0.05, 0.0}, {-0.02, -0.04, 1.06, -0.01}}};
  const kc3PlanePelBuffer view = patchwork(320, 192, 7);
  const kc3PlanePelBuffer reference = kcColorCorrection(Domain::encoded, planted).apply(view);
  expectCoefficientsNear(kfComputeColorCorrection(view, reference, everywhere(320, 192), Domain::encoded), planted,
                         2e-3);
}

TEST(ColorCorrectionFit, IgnoresMaskedAndClippedSamples) {
  const kc3PlanePelBuffer reference = patchwork(160, 96, 9);
  kc3PlanePelBuffer view;
  kfPelCopy(reference, view);
  kcPelBuffer<unsigned char> mask = everywhere(160, 96);
  // Garbage in the view where the mask is 0, or where a plane of the view is clipped.
  for (long y = 0; y < 96; ++y)
    for (long x = 0; x < 16; ++x) {
      mask.pointToRow(y)[x] = 0;
      view.pelPlane(1).pointToRow(y)[x] = 3;
      view.pelPlane(0).pointToRow(y)[x + 16] = 255;
      view.pelPlane(1).pointToRow(y)[x + 16] = 100;
      view.pelPlane(2).pointToRow(y)[x + 32] = 0;
      view.pelPlane(0).pointToRow(y)[x + 32] = 7;
    }
  expectCoefficientsNear(kfComputeColorCorrection(view, reference, mask, Domain::linear),
                         kcColorCorrection().coefficients(), 1e-9);
}

TEST(ColorCorrectionFit, RefusesSamplesThatCannotDetermineIt) {
  const kc3PlanePelBuffer colours = patchwork(160, 96, 11);
  // Grey: all three planes alike, so no plane's share of another can be told.
  const kc3PlanePelBuffer grey(kfPelCopy(colours.plane0()), kfPelCopy(colours.plane0()), kfPelCopy(colours.plane0()));
  EXPECT_THROW(kfComputeColorCorrection(grey, grey, everywhere(160, 96), Domain::encoded),
               kcColorCalibrationDefs::BadImages);
  EXPECT_THROW(kfComputeColorCorrection(colours, colours, kcPelBuffer<unsigned char>(160, 96), Domain::encoded),
               kcColorCalibrationDefs::BadImages);
  EXPECT_THROW(kfComputeColorCorrection(colours, colours, everywhere(16, 96), Domain::encoded),
               kcColorCalibrationDefs::BadParams);
}

// The 16-pel patches of patchwork(width, height, ...) as masks, row by row.
std::vector<kcPelBuffer_const<unsigned char>> patchMasks(long width, long height) {
  std::vector<kcPelBuffer_const<unsigned char>> masks;
  for (long py = 0; py < height; py += 16)
    for (long px = 0; px < width; px += 16) {
      kcPelBuffer<unsigned char> mask(width, height);
      for (long y = py; y < py + 16; ++y) std::fill_n(mask.pointToRow(y) + px, 16, 255);
      masks.push_back(mask);
    }
  return masks;
}

// The masks but the i-th, in one.
kcPelBuffer<unsigned char> allBut(const std::vector<kcPelBuffer_const<unsigned char>>& masks, std::size_t i) {
  const long width = masks[0].width(), height = masks[0].height();
  kcPelBuffer<unsigned char> out(width, height);
  for (std::size_t j = 0; j < masks.size(); ++j)
    for (long y = 0; j != i && y < height; ++y)
      for (long x = 0; x < width; ++x) out.pointToRow(y)[x] |= masks[j].pointToRow(y)[x];
  return out;
}

// Each leave-one-out fit is the fit on the other regions alone: a view of
// planted leaking light with one patch far off, which only the fit
// without that patch does not see.
TEST(ColorCorrectionFit, LeavingOneOutFitsOnEveryRegionButOne) {
  const kcColorCorrection::Coefficients leak = {
      {{0.8, 0.1, 0.1, 0.03}, {0.05, 0.85, 0.1, 0.02}, {0.1, 0.15, 0.75, 0.04}}};
  const kc3PlanePelBuffer reference = patchwork(96, 64, 17);
  kc3PlanePelBuffer view = kcColorCorrection(Domain::linear, leak).apply(reference);
  constexpr std::size_t kOff = 9;  // patch (3, 1)
  for (long y = 16; y < 32; ++y)
    for (long x = 48; x < 64; ++x) view.pelPlane(1).pointToRow(y)[x] = 250;
  const std::vector<kcPelBuffer_const<unsigned char>> masks = patchMasks(96, 64);
  ASSERT_EQ(masks.size(), 24u);

  const std::vector<kcColorCorrection> fits =
      kfComputeColorCorrectionsLeavingOneOut(view, reference, masks, Domain::linear);
  ASSERT_EQ(fits.size(), masks.size());
  for (std::size_t i = 0; i < masks.size(); ++i) {
    SCOPED_TRACE("without region " + std::to_string(i));
    EXPECT_EQ(fits[i].domain(), Domain::linear);
    expectCoefficientsNear(fits[i],
                           kfComputeColorCorrection(view, reference, allBut(masks, i), Domain::linear).coefficients(),
                           1e-9);
  }
  // Only the fit that never saw the patch far off undoes the leak: its
  // corrected view of another patch is within rounding of the reference.
  const auto corrected = [&](std::size_t fit) { return fits[fit].apply(view).pelPlane(1).pointToRow(8)[8]; };
  EXPECT_NEAR(corrected(kOff), reference.pelPlane(1).pointToRow(8)[8], 2);
  EXPECT_GT(std::abs(corrected(0) - reference.pelPlane(1).pointToRow(8)[8]), 3);
}

// Patches whose blue is their green but one: without that one, the rest
// cannot tell the two planes apart, and the refusal names it.
TEST(ColorCorrectionFit, LeavingOneOutRefusesWhenTheOthersDoNotDetermineIt) {
  const kc3PlanePelBuffer colours = patchwork(96, 64, 19);
  const kc3PlanePelBuffer blueIsGreen(kfPelCopy(colours.plane0()), kfPelCopy(colours.plane1()),
                                   kfPelCopy(colours.plane1()));
  for (long y = 16; y < 32; ++y)
    for (long x = 32; x < 48; ++x) blueIsGreen.pelPlane(2).pointToRow(y)[x] = 30;  // patch 8's blue
  try {
    kfComputeColorCorrectionsLeavingOneOut(blueIsGreen, blueIsGreen, patchMasks(96, 64), Domain::encoded);
    FAIL() << "no refusal";
  } catch (const kcColorCalibrationDefs::BadImages& e) {
    EXPECT_NE(e.text().find("without region 8,"), std::string::npos) << e.text();
  }
}

TEST(FlatRegionMask, KeepsThePatchesInteriorsOnly) {
  const kc3PlanePelBuffer image = patchwork(64, 48, 13);
  const kcPelBuffer<unsigned char> mask = kfFlatRegionMask(image, 3, 8);
  // Patches of 16: pels 3 .. 12 of each patch's row see only their own patch.
  for (long x = 0; x < 64; ++x) {
    const bool interior = x % 16 >= 3 && x % 16 <= 12;
    EXPECT_EQ(mask.pointToRow(8)[x], interior ? 255 : 0) << x;
  }
  // Rows near a patch's top or bottom edge, and the image's border, are not flat.
  EXPECT_EQ(mask.pointToRow(2)[8], 0);
  EXPECT_EQ(mask.pointToRow(14)[8], 0);
  EXPECT_EQ(mask.pointToRow(20)[8], 255);
}

}  // namespace

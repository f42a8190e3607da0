// How colc calibrate chooses between the pel maps and a colour correction:
// by each region's error through fits made without it.
#include <gtest/gtest.h>

#include <random>

#include "colc/balance/color_correction_fit.h"
#include "app/colour_difference.h"
#include "app/colour_error.h"
#include "app/correction_stage.h"
#include "colc/balance/color_correction_refinement.h"

namespace {

using Domain = kcColorCorrection::Domain;

constexpr long kSide = 20, kWidth = 6 * kSide, kHeight = 4 * kSide;

// A chart of 6 x 4 flat patches of random colours.
kc3PlanePelBuffer chart(unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> level(30, 225);
  kcPelBuffer<unsigned char> planes[3] = {{kWidth, kHeight}, {kWidth, kHeight}, {kWidth, kHeight}};
  for (long py = 0; py < kHeight; py += kSide)
    for (long px = 0; px < kWidth; px += kSide)
      for (auto& plane : planes) {
        const auto v = static_cast<unsigned char>(level(random));
        for (long y = py; y < py + kSide; ++y) std::fill_n(plane.pointToRow(y) + px, kSide, v);
      }
  return {planes[0], planes[1], planes[2]};
}

// The image with every pel of patch (column, row) moved by shift, plane by plane.
kc3PlanePelBuffer shifted(const kc3PlanePelBuffer& image, long column, long row, const std::array<int, 3>& shift) {
  kc3PlanePelBuffer out;
  kfPelCopy(image, out);
  for (int k = 0; k < 3; ++k)
    for (long y = row * kSide; y < (row + 1) * kSide; ++y)
      for (long x = column * kSide; x < (column + 1) * kSide; ++x) {
        unsigned char& pel = out.pelPlane(k).pointToRow(y)[x];
        pel = static_cast<unsigned char>(std::clamp(pel + shift[static_cast<std::size_t>(k)], 0, 255));
      }
  return out;
}

// The image with every patch moved by up to spread levels per plane at
// random (noise, a printing error).
kc3PlanePelBuffer offAtRandom(kc3PlanePelBuffer image, int spread) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int> off(-spread, spread);
  for (long row = 0; row < 4; ++row)
    for (long column = 0; column < 6; ++column)
      image = shifted(image, column, row, {off(random), off(random), off(random)});
  return image;
}

// The flat region that holds the centre of patch (column, row).
int regionOf(const FlatRegions& regions, long column, long row) {
  const long centre = (row * kSide + kSide / 2) * kWidth + column * kSide + kSide / 2;
  for (int i = 0; i < regions.count(); ++i)
    if (std::find(regions.pels(i).begin(), regions.pels(i).end(), centre) != regions.pels(i).end()) return i;
  return -1;
}

// Light leaking between planes, a lifted black and per-plane gains, in linear light.
const kcColorCorrection kLeak(Domain::linear, {{{0.7, 0.15, 0.1, 0.02},
                                                {0.1, 0.75, 0.1, 0.02},
                                                {0.1, 0.2, 0.65, 0.03}}});

// The choice for a view whose pel maps would leave it as it is.
std::optional<kcColorCorrection> choose(const kcViewOnGrid& grid, const FlatRegions& regions, CorrectionChoice& choice) {
  return chooseColorCorrection(grid, regions, colourError(grid.view, grid.reference, regions), choice);
}

}  // namespace

// Light leaking between the planes, which no per-plane map undoes: the
// linear correction wins by far on regions it never saw, and is adopted.
// The same chart seen through per-plane transfers with every patch a
// little off at random (noise, a printing error): the correction's six
// extra coefficients can only fit the noise, and it is refused.
TEST(CorrectionChoice, AdoptsTheCorrectionWhereItHelpsAndRefusesItWhereItCannot) {
  const kc3PlanePelBuffer reference = chart(3);
  const FlatRegions regions(reference);
  ASSERT_EQ(regions.count(), 24);

  CorrectionChoice choice;
  const std::optional<kcColorCorrection> adopted =
      choose({kLeak.apply(reference), reference}, regions, choice);
  ASSERT_TRUE(adopted);
  EXPECT_EQ(choice.outcome, CorrectionOutcome::adopted);
  EXPECT_EQ(adopted->domain(), Domain::linear);
  EXPECT_EQ(choice.domain, Domain::linear);
  ASSERT_TRUE(choice.heldOutPelMaps && choice.heldOutCorrection);
  EXPECT_LT(choice.heldOutCorrection->mean, 0.5);
  EXPECT_GT(choice.heldOutPelMaps->mean, 4 * choice.heldOutCorrection->mean);

  const kcColorCorrection perPlane(Domain::encoded, {{{0.9, 0, 0, 0.05}, {0, 1.1, 0, -0.02}, {0, 0, 0.85, 0.04}}});
  const kc3PlanePelBuffer noisy = offAtRandom(perPlane.apply(reference), 5);
  EXPECT_FALSE(choose({noisy, reference}, regions, choice));
  EXPECT_EQ(choice.outcome, CorrectionOutcome::noLower);
  ASSERT_TRUE(choice.heldOutPelMaps && choice.heldOutCorrection);
  EXPECT_GE(choice.heldOutCorrection->mean, choice.heldOutPelMaps->mean);
}

// A region measured through a fit made without it: one patch off in a view
// where every patch is a little off keeps its whole error when held out,
// where a fit that saw it bends toward it and hides part of the error (the
// refined fit, which weighs each region's error and not its square, bends
// less than least squares would). Pel maps alike.
TEST(CorrectionChoice, TheHeldOutFiguresExcludeTheRegionTheyMeasure) {
  const kc3PlanePelBuffer reference = chart(11);
  const FlatRegions regions(reference);
  const int off = regionOf(regions, 2, 1);
  ASSERT_GE(off, 0);
  const auto at = [off](const ColourError& e) { return e.perRegion.at(static_cast<std::size_t>(off)); };
  CorrectionChoice choice;
  // The correction fitted on the regions keep accepts, and refined on them.
  const auto correctedBy = [&](const kc3PlanePelBuffer& view, auto keep) {
    std::vector<kcPelBuffer_const<unsigned char>> masks;
    for (int i = 0; i < regions.count(); ++i)
      if (keep(i)) masks.push_back(regions.mask([i](int j) { return j == i; }));
    std::vector<kcRegionColours> colours;
    for (const auto& c : kfRegionColours(view, reference, masks, choice.domain)) colours.push_back(c.value());
    const kcColorCorrection fit = kfRefineColorCorrection(
        kfComputeColorCorrection(view, reference, regions.mask(keep), choice.domain), colours, ciede2000);
    return colourError(fit.apply(view), reference, regions);
  };

  const kc3PlanePelBuffer leaking = shifted(offAtRandom(kLeak.apply(reference), 3), 2, 1, {10, -10, 10});
  choose({leaking, reference}, regions, choice);
  ASSERT_TRUE(choice.heldOutCorrection);
  const double heldOut = at(*choice.heldOutCorrection);
  EXPECT_NEAR(heldOut, at(correctedBy(leaking, [off](int i) { return i != off; })), 0.01);
  EXPECT_GT(heldOut, at(correctedBy(leaking, [](int) { return true; })) + 0.2);

  // The pel maps fitted without the patch (nor its edges) are the
  // identity, and leave it its whole shift (fitted on every pel, they
  // bend toward it and leave it 1 less).
  const kc3PlanePelBuffer plain = shifted(reference, 2, 1, {30, -20, 25});
  choose({plain, reference}, regions, choice);
  ASSERT_TRUE(choice.heldOutPelMaps);
  EXPECT_NEAR(at(*choice.heldOutPelMaps), at(colourError(plain, reference, regions)), 0.01);
}

// A correction that wins by little must keep the worst region no worse
// than the pel maps' worst; one that takes a fifth off their mean need not.
TEST(CorrectionChoice, AWorseWorstRegionIsAcceptedOnlyForAClearWin) {
  const kc3PlanePelBuffer reference = chart(3);
  const FlatRegions regions(reference);
  const kcViewOnGrid grid{kLeak.apply(reference), reference};
  CorrectionChoice choice;
  const std::optional<kcColorCorrection> correction = choose(grid, regions, choice);
  ASSERT_TRUE(correction);
  const ColourError adopted = colourError(correction->apply(grid.view), reference, regions);

  // Pel maps as good at the worst region, a little worse on the mean.
  ColourError pelMaps{{}, adopted.mean / 0.81, adopted.max - 0.01};
  EXPECT_FALSE(chooseColorCorrection(grid, regions, pelMaps, choice));
  EXPECT_EQ(choice.outcome, CorrectionOutcome::worseWorstRegion);
  pelMaps.max = adopted.max;
  EXPECT_TRUE(chooseColorCorrection(grid, regions, pelMaps, choice));
  pelMaps = {{}, adopted.mean / 0.79, adopted.max - 0.01};
  EXPECT_TRUE(chooseColorCorrection(grid, regions, pelMaps, choice));
  EXPECT_EQ(choice.outcome, CorrectionOutcome::adopted);
}

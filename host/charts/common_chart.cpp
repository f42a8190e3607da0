#include "host/charts/common_chart.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "colc/host/light.h"

namespace {

// The layout, in units of the patch pitch. McCamy, Marcus and Davidson, "A
// Color-Rendition Chart", J. Applied Photographic Engineering 2(3), 1976,
// put 24 patches in 4 rows of 6 on a black card; the card measures about
// 11 x 8.25 in (originally 13 x 9 in, with patches slightly under 2 in
// square). Those round figures do not fix the gaps, so the proportions
// below were measured on photographs of two editions of the chart from
// four cameras (tests/data/photos): each patch is 0.879 +- 0.005 of the
// pitch wide, and the card reaches 0.62-0.73 of a pitch beyond the outer
// patch centres. A patch drawn too large or too small against its pitch
// biases the scale at which the chart is found by several per cent.
constexpr int kColumns = 6;
constexpr int kRows = 4;
constexpr double kPatch = 0.88;
constexpr double kMargin = 0.69;
constexpr double kCardWidth = kColumns - 1 + 2 * kMargin;
constexpr double kCardHeight = kRows - 1 + 2 * kMargin;

// The patches' sRGB (D65) values as the chart's maker publishes them,
// tabulated with McCamy et al.'s notations in the English encyclopedia
// article on the chart; row by row, red, green, blue.
constexpr std::array<std::array<unsigned char, 3>, kRows * kColumns> kPatchColours{{
    {115, 82, 68},   {194, 150, 130}, {98, 122, 157},  {87, 108, 67},   {133, 128, 177}, {103, 189, 170},
    {214, 126, 44},  {80, 91, 166},   {193, 90, 99},   {94, 60, 108},   {157, 188, 64},  {224, 163, 46},
    {56, 61, 150},   {70, 148, 73},   {175, 54, 60},   {231, 199, 31},  {187, 86, 149},  {8, 133, 161},
    {243, 243, 242}, {200, 200, 200}, {160, 160, 160}, {122, 122, 121}, {85, 85, 85},    {52, 52, 52},
}};
// The matte black card, a little darker than the black patch.
constexpr unsigned char kCard = 40;

void checkWidth(long width) {
  if (width < 96) throw kcBadArgument("24-patch chart width " + std::to_string(width) + " below 96");
}

// The share of pel [p, p + 1) that [a, b) covers.
double coverage(long p, double a, double b) {
  return std::clamp(std::min(b, p + 1.0) - std::max(a, static_cast<double>(p)), 0.0, 1.0);
}

}  // namespace

long kfCommonChartHeight(long width) {
  checkWidth(width);
  return std::lround(static_cast<double>(width) * kCardHeight / kCardWidth);
}

std::vector<kcVector<2>> kfCommonChartPatchCentres(long width) {
  checkWidth(width);
  const double pitch = static_cast<double>(width) / kCardWidth;
  std::vector<kcVector<2>> centres;
  for (int row = 0; row < kRows; ++row)
    for (int col = 0; col < kColumns; ++col) centres.emplace_back((kMargin + col) * pitch, (kMargin + row) * pitch);
  return centres;
}

kc3PlanePelBuffer kfCommonChart(long width) {
  const long height = kfCommonChartHeight(width);
  kcPelBuffer<unsigned char> planes[3] = {{width, height}, {width, height}, {width, height}};
  for (const kcPelBuffer<unsigned char>& plane : planes)
    for (long y = 0; y < height; ++y) std::fill_n(plane.pointToRow(y), width, kCard);

  const double pitch = static_cast<double>(width) / kCardWidth;
  const double half = kPatch * pitch / 2;
  const std::vector<kcVector<2>> centres = kfCommonChartPatchCentres(width);
  for (std::size_t i = 0; i < centres.size(); ++i) {
    const double x0 = centres[i].x() - half, x1 = centres[i].x() + half;
    const double y0 = centres[i].y() - half, y1 = centres[i].y() + half;
    for (long y = static_cast<long>(std::floor(y0)); y < static_cast<long>(std::ceil(y1)); ++y)
      for (long x = static_cast<long>(std::floor(x0)); x < static_cast<long>(std::ceil(x1)); ++x) {
        const double share = coverage(x, x0, x1) * coverage(y, y0, y1);
        for (int c = 0; c < 3; ++c) {
          planes[c].pointToRow(y)[x] = kfLightPel(share * kfPelLight(kPatchColours[i][static_cast<std::size_t>(c)]) +
                           (1 - share) * kfPelLight(kCard));
        }
      }
  }
  return kc3PlanePelBuffer(planes[0], planes[1], planes[2]);
}

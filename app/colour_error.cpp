#include "app/colour_error.h"

#include <algorithm>
#include <array>
#include <opencv2/imgproc.hpp>

#include "colc/balance/color_correction_fit.h"
#include "app/colour_difference.h"

namespace {

// The mean colour of a whole image of one row: the sums scaled by the
// reciprocal of the count, as the means have always been taken.
std::array<double, 3> rowMeanColour(const kc3PlanePelBuffer& row) {
  std::array<double, 3> sum{};
  for (int k = 0; k < 3; ++k) {
    const unsigned char* pels = row.pelPlane(k).pointToRow(row.window().top);
    for (long x = 0; x < row.width(); ++x) sum[static_cast<std::size_t>(k)] += pels[x];
  }
  const double scale = 1.0 / static_cast<double>(row.width());
  for (double& s : sum) s *= scale;
  return sum;
}

ColourError summarized(std::vector<double> perRegion) {
  ColourError error;
  error.perRegion = std::move(perRegion);
  for (double deltaE : error.perRegion) {
    error.mean += deltaE;
    error.max = std::max(error.max, deltaE);
  }
  if (!error.perRegion.empty()) error.mean /= static_cast<double>(error.perRegion.size());
  return error;
}

}  // namespace

FlatRegions::FlatRegions(const kc3PlanePelBuffer& reference) : width_(reference.width()), height_(reference.height()) {
  const kcPelBuffer<unsigned char> flat = kfFlatRegionMask(reference, kFlatRegionRadius);
  cv::Mat mask(static_cast<int>(height_), static_cast<int>(width_), CV_8U);
  for (int y = 0; y < mask.rows; ++y) std::copy_n(flat.pointToRow(y), width_, mask.ptr<unsigned char>(y));
  cv::Mat labels;
  const int labelCount = cv::connectedComponents(mask, labels, 8, CV_32S);
  std::vector<std::vector<long>> byLabel(static_cast<std::size_t>(labelCount));
  for (int y = 0; y < labels.rows; ++y)
    for (int x = 0; x < labels.cols; ++x)
      if (const int label = labels.at<int>(y, x); label > 0)
        byLabel[static_cast<std::size_t>(label)].push_back(static_cast<long>(y) * width_ + x);
  for (std::vector<long>& pels : byLabel)
    if (pels.size() >= static_cast<std::size_t>(kSmallestFlatRegion)) pels_.push_back(std::move(pels));
}

kc3PlanePelBuffer FlatRegions::pelsOf(const kc3PlanePelBuffer& image, int i) const {
  const auto count = static_cast<long>(pels(i).size());
  kcPelBuffer<unsigned char> planes[3] = {{count, 1}, {count, 1}, {count, 1}};
  for (int k = 0; k < 3; ++k) {
    unsigned char* out = planes[k].pointToRow(0);
    for (long p : pels(i)) *out++ = image.pelPlane(k).pointToRow(image.window().top + p / width_)[p % width_];
  }
  return kc3PlanePelBuffer(planes[0], planes[1], planes[2]);
}

kcPelBuffer<unsigned char> FlatRegions::maskWithout(int i) const {
  kcPelBuffer<unsigned char> out(width_, height_);
  for (long y = 0; y < height_; ++y) std::fill_n(out.pointToRow(y), width_, 255);
  for (long p : pels(i)) {
    const long x = p % width_, y = p / width_;
    for (long dy = -kFlatRegionRadius; dy <= kFlatRegionRadius; ++dy)
      if (y + dy >= 0 && y + dy < height_)
        std::fill(out.pointToRow(y + dy) + std::max(0L, x - kFlatRegionRadius),
                  out.pointToRow(y + dy) + std::min(width_, x + kFlatRegionRadius + 1), 0);
  }
  return out;
}

std::array<double, 3> FlatRegions::meanColour(const kc3PlanePelBuffer& image, int i) const {
  return rowMeanColour(pelsOf(image, i));
}

ColourError colourError(const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference,
                        const FlatRegions& regions) {
  std::vector<double> perRegion;
  for (int i = 0; i < regions.count(); ++i)
    perRegion.push_back(ciede2000(regions.meanColour(view, i), regions.meanColour(reference, i)));
  return summarized(std::move(perRegion));
}

ColourError heldOutColourError(const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference,
                               const FlatRegions& regions, const HeldOutCorrection& correctedWithout) {
  std::vector<double> perRegion;
  for (int i = 0; i < regions.count(); ++i)
    perRegion.push_back(
        ciede2000(rowMeanColour(correctedWithout(i, regions.pelsOf(view, i))),
                         regions.meanColour(reference, i)));
  return summarized(std::move(perRegion));
}

ClippedRegions clippedRegions(const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference,
                              const FlatRegions& regions) {
  ClippedRegions clipped;
  for (int i = 0; i < regions.count(); ++i) {
    std::array<long, 3> dark{}, bright{};
    for (long p : regions.pels(i)) {
      const long y = p / regions.width(), x = p % regions.width();
      for (std::size_t k = 0; k < 3; ++k) {
        const int plane = static_cast<int>(k);
        const unsigned char meant = reference.pelPlane(plane).pointToRow(reference.window().top + y)[x];
        if (meant == 0 || meant == 255) continue;
        const unsigned char seen = view.pelPlane(plane).pointToRow(view.window().top + y)[x];
        dark[k] += seen == 0;
        bright[k] += seen == 255;
      }
    }
    const auto over = [&](const std::array<long, 3>& counts) {
      const double most = static_cast<double>(*std::max_element(counts.begin(), counts.end()));
      return most > kClippedRegionShare * static_cast<double>(regions.pels(i).size());
    };
    const bool isDark = over(dark), isBright = over(bright);
    clipped.dark += isDark;
    clipped.bright += isBright;
    clipped.total += isDark || isBright;
    clipped.perRegion.push_back(isDark || isBright);
  }
  return clipped;
}

std::string clippedRegionsText(const ClippedRegions& clipped, std::size_t regionCount) {
  if (clipped.total == 0) return "";
  const char* at = clipped.dark > 0 && clipped.bright > 0 ? "0 or 255" : clipped.dark > 0 ? "0" : "255";
  return std::to_string(clipped.total) + " of the " + std::to_string(regionCount) +
         " flat regions lose colour to clipping at the calibrated settings: over " +
         std::to_string(static_cast<int>(100.0 * kClippedRegionShare)) + " % of their samples at " + at +
         ", which no pel map or colour correction restores.";
}

namespace {

// Green below 1, yellow at 2.3, red from 5 on.
cv::Vec3b errorColour(double deltaE) {
  const auto blend = [](const cv::Vec3d& a, const cv::Vec3d& b, double t) {
    const cv::Vec3d c = a + (b - a) * std::clamp(t, 0.0, 1.0);
    return cv::Vec3b(cv::saturate_cast<unsigned char>(c[0]), cv::saturate_cast<unsigned char>(c[1]),
                     cv::saturate_cast<unsigned char>(c[2]));
  };
  const cv::Vec3d green(40, 170, 60), yellow(240, 210, 40), red(220, 40, 30);
  if (deltaE < 1.0) return blend(green, green, 0.0);
  if (deltaE < 2.3) return blend(green, yellow, (deltaE - 1.0) / 1.3);
  return blend(yellow, red, (deltaE - 2.3) / 2.7);
}

}  // namespace

kc3PlanePelBuffer colourErrorPicture(const kc3PlanePelBuffer& reference, const FlatRegions& regions,
                                     const ColourError& error, const ClippedRegions& clipped) {
  const long width = regions.width(), height = regions.height();
  kcPelBuffer<unsigned char> planes[3] = {{width, height}, {width, height}, {width, height}};
  // The reference as a faint grey, so that the regions can be placed on it.
  for (long y = 0; y < height; ++y)
    for (long x = 0; x < width; ++x) {
      int sum = 0;
      for (int k = 0; k < 3; ++k) sum += reference.pelPlane(k).pointToRow(reference.window().top + y)[x];
      for (auto& plane : planes) plane.pointToRow(y)[x] = static_cast<unsigned char>(160 + sum / 3 * 80 / 255);
    }
  for (int i = 0; i < regions.count(); ++i) {
    const cv::Vec3b colour = errorColour(error.perRegion[static_cast<std::size_t>(i)]);
    const bool hatched = clipped.perRegion.at(static_cast<std::size_t>(i));
    for (long p : regions.pels(i)) {
      // Diagonal stripes two grid points wide, every sixth point.
      const bool stripe = hatched && (p / width + p % width) % 6 < 2;
      for (int k = 0; k < 3; ++k) planes[k].pointToRow(p / width)[p % width] = stripe ? 0 : colour[k];
    }
  }
  return kc3PlanePelBuffer(planes[0], planes[1], planes[2]);
}

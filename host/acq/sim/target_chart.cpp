#include "host/acq/sim/target_chart.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "host/imaging/cv_bridge.h"

namespace {

// Layout on a 960 x 640 card; other sizes scale it.
constexpr double kCardWidth = 960.0;
constexpr int kColumns = 6;
constexpr int kRows = 4;
constexpr double kPatch = 120.0;
constexpr double kGap = 16.0;
constexpr double kLeft = 80.0;
constexpr double kTop = 56.0;
const cv::Scalar kCard(40, 40, 40);
const cv::Scalar kWhite(245, 245, 245);

// The patch colours, row by row, in RGB: a neutral ramp, then colours of
// six hues each at a fixed saturation and value. Like printed inks, no
// colour is quite free of any primary: every channel is at least 11.
std::vector<cv::Vec3b> patchColours() {
  std::vector<cv::Vec3b> colours;
  for (int grey : {18, 58, 100, 145, 195, 243}) colours.emplace_back(grey, grey, grey);
  struct HueRow {
    float firstHue, saturation, value;
  };
  for (HueRow row : {HueRow{0.f, 0.95f, 0.9f}, HueRow{30.f, 0.55f, 0.85f}, HueRow{15.f, 0.9f, 0.5f}}) {
    cv::Mat hsv(1, kColumns, CV_32FC3), rgb;
    for (int i = 0; i < kColumns; ++i) hsv.at<cv::Vec3f>(0, i) = {row.firstHue + 60.f * i, row.saturation, row.value};
    cv::cvtColor(hsv, rgb, cv::COLOR_HSV2RGB);
    rgb.convertTo(rgb, CV_8UC3, 255.0);
    for (int i = 0; i < kColumns; ++i) colours.push_back(rgb.at<cv::Vec3b>(0, i));
  }
  return colours;
}

void checkWidth(long width) {
  if (width < 96) throw kcBadArgument("target chart width " + std::to_string(width) + " below 96");
}

// A point of the 960-pel layout on a chart of the given width.
cv::Point chartPoint(long width, double x, double y) {
  const double u = static_cast<double>(width) / kCardWidth;
  return cv::Point(cvRound(x * u), cvRound(y * u));
}

}  // namespace

std::vector<kcSimChartPatch> kfSimTargetChartPatches(long width) {
  checkWidth(width);
  const std::vector<cv::Vec3b> colours = patchColours();
  std::vector<kcSimChartPatch> patches;
  for (int row = 0; row < kRows; ++row)
    for (int col = 0; col < kColumns; ++col) {
      const double x = kLeft + col * (kPatch + kGap), y = kTop + row * (kPatch + kGap);
      const cv::Rect r(chartPoint(width, x, y), chartPoint(width, x + kPatch, y + kPatch));
      const cv::Vec3b c = colours[static_cast<std::size_t>(row * kColumns + col)];
      patches.push_back({r.x, r.y, r.width, r.height, c[0], c[1], c[2]});
    }
  return patches;
}

kc3PlanePelBuffer kfSimTargetChart(long width) {
  checkWidth(width);
  const double u = static_cast<double>(width) / kCardWidth;
  const auto at = [width](double x, double y) { return chartPoint(width, x, y); };
  cv::Mat card(static_cast<int>(kfSimTargetChartHeight(width)), static_cast<int>(width), CV_8UC3, kCard);
  for (const kcSimChartPatch& p : kfSimTargetChartPatches(width))
    cv::rectangle(card, cv::Rect(static_cast<int>(p.x), static_cast<int>(p.y), static_cast<int>(p.width),
                                 static_cast<int>(p.height)),
                  cv::Scalar(p.red, p.green, p.blue), cv::FILLED);

  const double right = kCardWidth, bottom = kCardWidth * 2 / 3;
  cv::rectangle(card, cv::Rect(at(12, 12), at(right - 12, bottom - 12)), kWhite, std::max(1, cvRound(6 * u)));
  // Corner marks: a disc top left, a square top right, a triangle bottom
  // left and nothing bottom right, so no rotation maps the card onto itself.
  cv::circle(card, at(48, 36), std::max(1, cvRound(14 * u)), kWhite, cv::FILLED, cv::LINE_AA);
  cv::rectangle(card, cv::Rect(at(right - 62, 22), at(right - 34, 50)), kWhite, cv::FILLED);
  const std::vector<cv::Point> triangle = {at(34, bottom - 22), at(62, bottom - 22), at(48, bottom - 50)};
  cv::fillConvexPoly(card, triangle, kWhite, cv::LINE_AA);

  std::vector<cv::Mat> planes;
  cv::split(card, planes);
  return kf3PlanePelBufferFromMats(planes[0], planes[1], planes[2]);
}

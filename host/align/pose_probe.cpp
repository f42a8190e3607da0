#include "host/align/pose_probe.h"

#include <cmath>

#include <opencv2/imgproc.hpp>

PoseProbe::PoseProbe(const cv::Mat& pattern, int edge, const cv::Point2d& centre)
    : centre_(centre - cv::Point2d(edge, edge)) {
  pattern(cv::Rect(edge, edge, pattern.cols - 2 * edge, pattern.rows - 2 * edge)).convertTo(zeroMean_, CV_32F);
  zeroMean_ -= cv::mean(zeroMean_);
  norm_ = std::sqrt(zeroMean_.dot(zeroMean_));
}

PoseProbe::Result PoseProbe::probe(const cv::Mat& image, const cv::Matx22d& linear, const cv::Point2d& at,
                                   int margin) const {
  // Patch pel v shows the image at linear * (v - margin - centre) + at.
  const cv::Point2d toPatch = centre_ + cv::Point2d(margin, margin);
  const cv::Point2d origin = at - cv::Point2d(linear(0, 0) * toPatch.x + linear(0, 1) * toPatch.y,
                                               linear(1, 0) * toPatch.x + linear(1, 1) * toPatch.y);
  const cv::Matx23d warp(linear(0, 0), linear(0, 1), origin.x, linear(1, 0), linear(1, 1), origin.y);
  cv::Mat patch;
  cv::warpAffine(image, patch, warp, zeroMean_.size() + cv::Size(2 * margin, 2 * margin),
                 cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_REPLICATE);
  patch.convertTo(patch, CV_32F);
  cv::Mat sum, squares;
  cv::integral(patch, sum, squares, CV_64F, CV_64F);

  const int side = 2 * margin + 1;
  const double n = static_cast<double>(zeroMean_.total());
  cv::Mat_<double> scores(side, side);
  for (int dy = 0; dy < side; ++dy) {
    for (int dx = 0; dx < side; ++dx) {
      const cv::Rect window(dx, dy, zeroMean_.cols, zeroMean_.rows);
      const auto boxSum = [&](const cv::Mat& table) {
        return table.at<double>(window.y, window.x) - table.at<double>(window.y, window.br().x) -
               table.at<double>(window.br().y, window.x) + table.at<double>(window.br().y, window.br().x);
      };
      const double s = boxSum(sum);
      const double variance = boxSum(squares) - s * s / n;
      // Below about a hundredth of a grey level per pel the window is flat.
      scores(dy, dx) = variance > 1e-4 * n && norm_ > 0.0
                           ? patch(window).dot(zeroMean_) / (std::sqrt(variance) * norm_)
                           : 0.0;
    }
  }
  double best = 0.0;
  cv::Point peak;
  cv::minMaxLoc(scores, nullptr, &best, nullptr, &peak);
  cv::Point2d shift(peak.x - margin, peak.y - margin);
  if (peak.x > 0 && peak.x + 1 < side) shift.x += alignParabolaPeak(scores(peak.y, peak.x - 1), best, scores(peak.y, peak.x + 1));
  if (peak.y > 0 && peak.y + 1 < side) shift.y += alignParabolaPeak(scores(peak.y - 1, peak.x), best, scores(peak.y + 1, peak.x));
  return {best, at + cv::Point2d(linear(0, 0) * shift.x + linear(0, 1) * shift.y,
                                 linear(1, 0) * shift.x + linear(1, 1) * shift.y)};
}

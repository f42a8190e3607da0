#include "app/target_outline.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "colc/host/perspective.h"
#include "host/imaging/cv_bridge.h"

kc3PlanePelBuffer outlinedView(const kc3PlanePelBuffer& view, const kcTargetMatch& match, long w, long h) {
  std::vector<cv::Mat> planes = {kfMatView(view.plane0()).clone(), kfMatView(view.plane1()).clone(),
                                  kfMatView(view.plane2()).clone()};
  if (match.finding != keTargetFinding::eNotFound) {
    // A homography keeps lines straight: the four corners carry the
    // outline. Points in 1/16 pel (cv::polylines's shift of 4), lines thick
    // enough to see on a page-size view.
    const kcPelRect window = view.plane0().window();
    std::vector<cv::Point> outline;
    const double sx = static_cast<double>(w), sy = static_cast<double>(h);
    const kcVector<2> corners[] = {{0, 0}, {sx, 0}, {sx, sy}, {0, sy}};
    for (const kcVector<2>& corner : corners) {
      const kcVector<2> p = match.pose.mapPoint(corner) - kcVector<2>(window.left, window.top);
      outline.emplace_back(cvRound(p.x() * 16.0), cvRound(p.y() * 16.0));
    }
    const int thickness = std::max(2, static_cast<int>(std::max(planes[0].cols, planes[0].rows) / 300));
    // Planes in the order red, green, blue.
    const double colour[3] = {match.found() ? 40.0 : 240.0, match.found() ? 220.0 : 30.0, 40.0};
    for (int k = 0; k < 3; ++k)
      cv::polylines(planes[k], std::vector<std::vector<cv::Point>>{outline}, true, cv::Scalar(colour[k]), thickness,
                    cv::LINE_AA, 4);
  }
  kc3PlanePelBuffer outlined(kfPelBufferFromMat(planes[0]), kfPelBufferFromMat(planes[1]),
                             kfPelBufferFromMat(planes[2]));
  return outlined;
}

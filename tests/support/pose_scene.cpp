#include "support/pose_scene.h"

#include <cmath>
#include <memory>
#include <numbers>

#include <opencv2/imgproc.hpp>

#include "host/imaging/cv_bridge.h"

namespace colc_test {
namespace {

// Patches in a grid on a card: a rim of rimFraction of the shorter side,
// patch gaps of a quarter of a patch.
cv::Mat drawPatchChart(cv::Size size, int columns, int rows, const std::vector<cv::Vec3b>& colours,
                       cv::Scalar card) {
  cv::Mat chart(size, CV_8UC3, cv::Scalar(30, 30, 30));
  const int rim = std::max(1, std::min(size.width, size.height) / 25);
  cv::rectangle(chart, cv::Rect(rim, rim, size.width - 2 * rim, size.height - 2 * rim), card, cv::FILLED);
  const double cellW = (size.width - 2.0 * rim) / columns, cellH = (size.height - 2.0 * rim) / rows;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      const cv::Vec3b colour = colours[static_cast<std::size_t>(r * columns + c) % colours.size()];
      const cv::Point tl(static_cast<int>(rim + (c + 0.125) * cellW), static_cast<int>(rim + (r + 0.125) * cellH));
      const cv::Point br(static_cast<int>(rim + (c + 0.875) * cellW), static_cast<int>(rim + (r + 0.875) * cellH));
      cv::rectangle(chart, cv::Rect(tl, br), cv::Scalar(colour[0], colour[1], colour[2]), cv::FILLED);
    }
  }
  return chart;
}

}  // namespace

kcXform<2> TargetPose::xform() const {
  const double a = rotationDegrees * std::numbers::pi / 180.0;
  const double c = scale * std::cos(a), s = scale * std::sin(a);
  return {kcMatrix<2>(c, -s, s, c), kcVector<2>(centre.x, centre.y)};
}

cv::Mat makeTargetChart(cv::Size size) {
  // Hues round the wheel at three lightnesses, then a grey ramp.
  std::vector<cv::Vec3b> colours;
  const cv::Vec3b hues[6] = {{200, 40, 40}, {220, 200, 30}, {40, 170, 50}, {30, 180, 200}, {40, 60, 190}, {190, 50, 170}};
  for (const double light : {1.0, 0.55, 0.3}) {
    for (const cv::Vec3b& h : hues)
      colours.push_back(cv::Vec3b(cv::saturate_cast<uchar>(h[0] * light + (1 - light) * 20),
                                  cv::saturate_cast<uchar>(h[1] * light + (1 - light) * 20),
                                  cv::saturate_cast<uchar>(h[2] * light + (1 - light) * 20)));
    std::rotate(colours.end() - 6, colours.end() - 6 + (light < 0.5 ? 2 : light < 1.0 ? 4 : 0), colours.end());
  }
  for (const int g : {245, 200, 160, 115, 70, 25}) colours.push_back(cv::Vec3b(g, g, g));
  return drawPatchChart(size, 6, 4, colours, cv::Scalar(128, 128, 128));
}

cv::Mat makeOtherChart(cv::Size size) {
  cv::RNG rng(77);
  std::vector<cv::Vec3b> colours;
  for (int i = 0; i < 40; ++i) colours.push_back(cv::Vec3b(rng.uniform(20, 240), rng.uniform(20, 240), rng.uniform(20, 240)));
  return drawPatchChart(size, 8, 5, colours, cv::Scalar(100, 110, 120));
}

cv::Mat makeBackground(cv::Size size, cv::RNG& rng) {
  cv::Mat coarse(std::max(2, size.height / 64), std::max(2, size.width / 64), CV_8UC3);
  rng.fill(coarse, cv::RNG::UNIFORM, 40, 160);
  cv::Mat background;
  cv::resize(coarse, background, size, 0, 0, cv::INTER_CUBIC);
  for (int i = 0; i < 40; ++i) {
    const cv::Point p(rng.uniform(0, size.width), rng.uniform(0, size.height));
    const cv::Scalar colour(rng.uniform(0, 255), rng.uniform(0, 255), rng.uniform(0, 255));
    if (i % 2)
      cv::circle(background, p, rng.uniform(3, std::max(4, size.width / 12)), colour, cv::FILLED, cv::LINE_AA);
    else
      cv::line(background, p, cv::Point(rng.uniform(0, size.width), rng.uniform(0, size.height)), colour,
               rng.uniform(1, 6), cv::LINE_AA);
  }
  return background;
}

cv::Mat renderScene(const cv::Mat& chart, const cv::Mat& background, const TargetPose& pose, const CameraLook& look,
                    cv::RNG& rng) {
  // Scene image coordinates x map to the doubled image's x' = 2 x; matrix
  // coordinates sit half a pel below image coordinates at both sizes. The
  // chart is padded so that its edge blends with the background over one
  // chart pel, centred on the edge.
  constexpr int pad = 2;
  const kcXform<2> half(kcMatrix<2>(), kcVector<2>(0.5, 0.5));
  const kcXform<2> unpad(kcMatrix<2>(), kcVector<2>(-pad, -pad));
  const kcXform<2> centred(kcMatrix<2>(), kcVector<2>(-chart.cols * 0.5, -chart.rows * 0.5));
  const kcXform<2> doubled(kcMatrix<2>(2.0, 0.0, 0.0, 2.0), kcVector<2>());
  const kcXform<2> m = half.inverse() * doubled * pose.xform() * centred * half * unpad;
  const cv::Matx23d warp(m.matrix().element(0, 0), m.matrix().element(0, 1), m.trans().x(), m.matrix().element(1, 0),
                         m.matrix().element(1, 1), m.trans().y());
  cv::Mat padded, cover = cv::Mat::zeros(chart.rows + 2 * pad, chart.cols + 2 * pad, CV_32FC3);
  cv::copyMakeBorder(chart, padded, pad, pad, pad, pad, cv::BORDER_REPLICATE);
  cover(cv::Rect(pad, pad, chart.cols, chart.rows)).setTo(cv::Scalar::all(1.0));
  const cv::Size bigSize = background.size() * 2;
  cv::Mat big, paste, alpha;
  cv::resize(background, big, bigSize, 0, 0, cv::INTER_LINEAR);
  big.convertTo(big, CV_32FC3);
  padded.convertTo(padded, CV_32FC3);
  cv::warpAffine(padded, paste, warp, bigSize, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
  cv::warpAffine(cover, alpha, warp, bigSize, cv::INTER_LINEAR, cv::BORDER_CONSTANT);
  big = paste.mul(alpha) + big.mul(cv::Scalar::all(1.0) - alpha);
  cv::Mat scene;
  cv::resize(big, scene, background.size(), 0, 0, cv::INTER_AREA);

  cv::Mat seen = scene;
  if (look.blurSigma > 0.0) cv::GaussianBlur(seen, seen, cv::Size(), look.blurSigma);
  seen = seen.mul(cv::Scalar(look.gain[0], look.gain[1], look.gain[2])) +
         cv::Scalar(look.offset[0], look.offset[1], look.offset[2]);
  cv::Mat noise(seen.size(), CV_32FC3);
  rng.fill(noise, cv::RNG::NORMAL, 0.0, look.noiseSigma);
  cv::Mat out;
  cv::Mat(seen + noise).convertTo(out, CV_8UC3);
  return out;
}

TargetPose randomPose(cv::Size chart, cv::Size scene, cv::RNG& rng, double maxRotation, double minScale,
                      double maxScale, double margin) {
  TargetPose pose;
  pose.rotationDegrees = rng.uniform(-maxRotation, maxRotation);
  pose.scale = rng.uniform(minScale, maxScale);
  const double a = pose.rotationDegrees * std::numbers::pi / 180.0;
  const double halfW = 0.5 * pose.scale * (chart.width * std::abs(std::cos(a)) + chart.height * std::abs(std::sin(a)));
  const double halfH = 0.5 * pose.scale * (chart.width * std::abs(std::sin(a)) + chart.height * std::abs(std::cos(a)));
  pose.centre = {rng.uniform(halfW + margin, scene.width - halfW - margin),
                 rng.uniform(halfH + margin, scene.height - halfH - margin)};
  return pose;
}

double cornerError(const kcXform<2>& found, const kcXform<2>& truth, double halfWidth, double halfHeight) {
  double worst = 0.0;
  for (const double x : {-halfWidth, halfWidth}) {
    for (const double y : {-halfHeight, halfHeight}) {
      const kcVector<2> corner(x, y);
      worst = std::max(worst, (found.mapPoint(corner) - truth.mapPoint(corner)).length());
    }
  }
  return worst;
}

cv::Mat toGrey(const cv::Mat& rgb) {
  cv::Mat grey;
  cv::cvtColor(rgb, grey, cv::COLOR_RGB2GRAY);
  return grey;
}

kcPelBuffer<unsigned char> bufferOf(const cv::Mat& grey) { return kfPelBufferFromMat(grey); }

}  // namespace colc_test

#include "colc/tool/pose.h"

#include <cmath>
#include <cstdint>

#include "colc/host/align.h"
#include "colc/host/corr.h"
#include "colc/host/improc.h"
#include "colc/records/errors.h"

namespace {

// Pels left out on every side of the calibration image: its rim, where
// resampling and the target's outline blur into the surroundings.
constexpr long kMargin = 3;
// The reference grid is capped at about this many samples.
constexpr int kMaxGridSamples = 22500;
constexpr double kMaxGridSide = 150.0;
// The pattern learns its finest search level at a quarter of full
// resolution; the correlation takes the pose from there to full resolution.
constexpr unsigned long kTrainFineLevel = 2;

const kcXform<2> kIdentity(kcMatrix<2>(), kcVector<2>(0.0, 0.0));

}  // namespace

kc3PlanePelBuffer kfNormalisedCalibrationImage(const kc3PlanePelBuffer& image) {
  kcPelBuffer<unsigned char> planes[3] = {kfPelCopy(image.plane0()), kfPelCopy(image.plane1()),
                                          kfPelCopy(image.plane2())};
  for (kcPelBuffer<unsigned char>& plane : planes) {
    plane.clientFromImageXform(kIdentity);
    plane.offset(0, 0);
  }
  kc3PlanePelBuffer copy(planes[0], planes[1], planes[2]);
  copy.offset(0, 0);
  copy.clientFromImageXform(kIdentity);
  return copy;
}

kcAffineSamplingParams kfReferenceSampling(long w, long h) {
  const kcAffineRectangle rect(kcVector<2>(w * 0.5, h * 0.5), static_cast<double>(w - 2 * kMargin),
                               static_cast<double>(h - 2 * kMargin), kcRadian(0), kcRadian(0));
  kcAffineSamplingParams sampling(rect, w - 2 * kMargin, h - 2 * kMargin, kcAffineSamplingParams::eBilinear);
  const kcReferenceGridSize grid = kfReferenceGridSize(sampling.xLength(), sampling.yLength());
  if (grid.capped) {
    sampling.xNumSamples(grid.xSamples);
    sampling.yNumSamples(grid.ySamples);
  }
  return sampling;
}

kcReferenceGridSize kfReferenceGridSize(double xLength, double yLength) {
  std::int16_t nx = static_cast<std::int16_t>(static_cast<long>(xLength));
  std::int16_t ny = static_cast<std::int16_t>(static_cast<long>(yLength));
  kcReferenceGridSize grid{nx, ny, false};
  if (nx * ny > kMaxGridSamples) {
    const double f = kMaxGridSide / std::sqrt(yLength * xLength);
    nx = static_cast<std::int16_t>(static_cast<long>(nx * f));
    ny = static_cast<std::int16_t>(static_cast<long>(ny * f));
    // A grid one sample thin keeps its full counts instead.
    if (nx >= 2 && ny >= 2) grid = {nx, ny, true};
  }
  return grid;
}

kc3PlanePelBuffer kfAffineTransformColorImage(const kc3PlanePelBuffer& image, const kcAffineSamplingParams& sampling) {
  return kc3PlanePelBuffer(kfAffineTransformImage(image.plane0(), sampling),
                           kfAffineTransformImage(image.plane1(), sampling),
                           kfAffineTransformImage(image.plane2(), sampling));
}

kcSXAlignRunParams kfCalibrationPoseSearch() {
  kcSXAlignRunParams params;
  params.algorithm(kc_SXDefs::eCoarseToFine);
  params.zoneEnable(3);
  params.zone(kc_SXDefs::eRotation, -21.0, 21.0);
  params.zone(kc_SXDefs::eScale, 0.8, 1.2);
  return params;
}

kcPelBuffer<unsigned char> kfIntensityImage(const kc3PlanePelBuffer& image) {
  kcPelBuffer<unsigned char> grey;
  kfPelRGBToI(image, grey);
  return grey;
}

void kfFindCalibrationPose(const kc3PlanePelBuffer& acquired, const kc3PlanePelBuffer& calibrationImage,
                           kc3PlanePelBuffer& referenceImage, kcAffineSamplingParams& sampling, kcDiagObject* diag,
                           unsigned long diagFlags) {
  const kc3PlanePelBuffer calib = kfNormalisedCalibrationImage(calibrationImage);

  // The training image, with its client origin at its centre: poses then
  // turn and scale the target about its centre.
  kcPelBuffer_const<unsigned char> trainImage = kfIntensityImage(calib);
  trainImage.offset(0, 0);
  const long w = trainImage.width(), h = trainImage.height();
  // Without the margins nothing would be left of a smaller image; rather
  // than hand the geometry an empty or inverted rectangle, refuse it.
  if (w < 2 * kMargin + 1 || h < 2 * kMargin + 1)
    throw kcColorCalibrationDefs::BadImages("The calibration image must be at least 7 x 7 pels");
  trainImage.clientFromImageXform(kcXform<2>(kcMatrix<2>(), kcVector<2>(w * -0.5, h * -0.5)));

  kcSXAlignPattern pattern;
  pattern.train(trainImage, kTrainFineLevel, nullptr, 0);
  kcSXAlignResultSet found;
  pattern.run(kfIntensityImage(acquired), kfCalibrationPoseSearch(), found, diag, diagFlags);
  if (found.numFound() == 0) throw kcColorCalibrationDefs::BadImages("No pattern found");
  const kcXform<2> startPose = found.result(0).pose();

  kcNormalizedCorrelationAffineResult refined;
  kfNormalizedCorrelationAffinePose(trainImage, kfIntensityImage(acquired), startPose, refined, diag, diagFlags);
  const kcXform<2> pose = refined.pose();

  // The inner rectangle in the calibration image, on the reference grid.
  const kcAffineSamplingParams sampling1 = kfReferenceSampling(w, h);
  const kcReferenceGridSize grid = kfReferenceGridSize(sampling1.xLength(), sampling1.yLength());

  // The same rectangle in the training image's centred client coordinates,
  // carried into the acquired image by the pose.
  const kcAffineRectangle rect2(kcVector<2>(0.0, 0.0), static_cast<double>(w - 2 * kMargin),
                                static_cast<double>(h - 2 * kMargin), kcRadian(0), kcRadian(0));
  kcAffineSamplingParams sampling2(rect2.map(pose), w - 2 * kMargin, h - 2 * kMargin,
                                   kcAffineSamplingParams::eBilinear);
  if (grid.capped) {
    sampling2.xNumSamples(grid.xSamples);
    sampling2.yNumSamples(grid.ySamples);
  }

  const kc3PlanePelBuffer reference = kfAffineTransformColorImage(calib, sampling1);
  referenceImage = reference;
  sampling = sampling2;
}

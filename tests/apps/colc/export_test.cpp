// colc export's .cube tables, read by a tool we did not write: FFmpeg's
// lut3d filter must correct an image as colc apply does.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "colc/balance/color_correction_fit.h"
#include "colc/driver/acquisition.h"
#include "colc/tool/view_difference.h"
#include "export_command.h"
#include "host/imaging/image_file.h"
#include "support/calibration_cameras.h"
#include "support/scratch_folder.h"

namespace {

kcColorCalibrationResult pelMapsResult() {
  kcColorCalibrationResult result;
  std::vector<kcColorCalibrationChannelResult> channels(3);
  channels[0].init(1.2, -10.0, 1.0);
  channels[1].init(0.9, 12.0, 1.0);
  channels[2].init(1.05, -3.0, 1.0);
  result.channelResults(channels);
  return result;
}

// Smooth ramps of every plane over most of the image, noise of random colours in the last rows.
kc3PlanePelBuffer testImage() {
  const long width = 256, height = 160;
  kcPelBuffer<unsigned char> planes[3] = {{width, height}, {width, height}, {width, height}};
  std::mt19937 random(17);
  std::uniform_int_distribution<int> level(0, 255);
  for (long y = 0; y < height; ++y)
    for (long x = 0; x < width; ++x) {
      const bool noise = y >= 128;
      planes[0].pointToRow(y)[x] = static_cast<unsigned char>(noise ? level(random) : x);
      planes[1].pointToRow(y)[x] = static_cast<unsigned char>(noise ? level(random) : y * 2);
      planes[2].pointToRow(y)[x] = static_cast<unsigned char>(noise ? level(random) : (x + 3 * y) % 256);
    }
  return kc3PlanePelBuffer(planes[0], planes[1], planes[2]);
}

struct Agreement {
  double mean = 0.0;
  int max = 0;
};

Agreement compare(const kc3PlanePelBuffer& a, const kc3PlanePelBuffer& b) {
  Agreement agreement;
  long count = 0;
  for (int k = 0; k < 3; ++k)
    for (long y = 0; y < a.height(); ++y)
      for (long x = 0; x < a.width(); ++x) {
        const int d = std::abs(a.pelPlane(k).pointToRow(y)[x] - b.pelPlane(k).pointToRow(y)[x]);
        agreement.mean += d;
        agreement.max = std::max(agreement.max, d);
        ++count;
      }
  agreement.mean /= static_cast<double>(count);
  return agreement;
}

// A camera's view of the chart with light leaking between its planes.
kc3PlanePelBuffer leakingView() {
  const kcPtrHandle<kcInstrumentedAcqFifo> camera = kfOpenViewCamera("crosstalk=0.1");
  kfSwitchToManualTrigger(camera);
  kcAcquireInfo info;
  bool failed = false;
  const kcPtrHandle<kcAcqImage> image =
      kfAcquireImage(camera, kcColorCameraSettings(0.02, 0.5, 0.4), info, failed);
  return image->get3PlanePelBuffer();
}

class CubeExport : public testing::TestWithParam<int> {
 protected:
  // FFmpeg's correction of image through the table of calibration.
  kc3PlanePelBuffer throughFfmpeg(const StoredCalibration& calibration, int size, const kc3PlanePelBuffer& image) {
    {
      std::ofstream cube(dir_ / "table.cube");
      writeCube(cube, calibration, size);
    }
    kfWriteImageFile(dir_ / "in.png", image);
    const std::string command = "ffmpeg -v error -y -i " + (dir_ / "in.png") + " -vf format=rgb24,lut3d=file=" +
                                (dir_ / "table.cube") + " -frames:v 1 -pix_fmt rgb24 " + (dir_ / "out.png");
    if (std::system(command.c_str()) != 0) ADD_FAILURE() << command;
    return kfReadColorImageFile(dir_ / "out.png");
  }

  void SetUp() override {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is not installed";
  }

  ScratchFolder dir_;
};

// 0: pel maps only; 1: a colour correction of light leaking between
// planes, on encoded values.
StoredCalibration calibrationOf(int kind) {
  const kcColorCorrection::Coefficients unmix = {
      {{1.25, -0.15, -0.08, -0.02}, {-0.1, 1.3, -0.15, -0.01}, {-0.05, -0.2, 1.22, 0.0}}};
  if (kind == 0) return {pelMapsResult(), std::nullopt};
  return {pelMapsResult(), kcColorCorrection(kcColorCorrection::Domain::encoded, unmix)};
}

TEST_P(CubeExport, FfmpegAgreesWithColcApply) {
  const StoredCalibration calibration = calibrationOf(GetParam());
  const kc3PlanePelBuffer applied = kfCorrectImage(calibration.result, calibration.correctionOrNull(), testImage());
  const Agreement agreement = compare(throughFfmpeg(calibration, 65, testImage()), applied);
  EXPECT_LE(agreement.mean, 0.5) << agreement.mean << " " << agreement.max;
  EXPECT_LE(agreement.max, 1);
}

// Ramps over every level of every plane: the pel maps and an encoded correction.
INSTANTIATE_TEST_SUITE_P(PelMapsAndEncoded, CubeExport, testing::Values(0, 1));

// A linear-light correction bends most in the dark, where the sRGB curve is
// steep; checked on what it is made for, a view of a camera whose planes
// leak, corrected through the correction fitted to it.
TEST_F(CubeExport, FfmpegAgreesWithColcApplyOnALinearCorrectionOfACameraView) {
  const kc3PlanePelBuffer view = leakingView();
  const kcViewOnGrid grid = kfViewOnGrid(view, kfViewChart());
  const StoredCalibration calibration{
      pelMapsResult(), kfComputeColorCorrection(grid.view, grid.reference, kfFlatRegionMask(grid.reference),
                                                kcColorCorrection::Domain::linear)};
  const Agreement agreement =
      compare(throughFfmpeg(calibration, 65, view), kfCorrectImage(calibration.result, &*calibration.correction, view));
  EXPECT_LE(agreement.mean, 0.6) << agreement.mean << " " << agreement.max;
  EXPECT_LE(agreement.max, 3);
}

// The view of a camera whose planes leak, at its start settings, through
// the correction fitted to it: dark, with gains of 3 to 4.5 in linear
// light and offsets below 0, so that the correction clips at 0 across much
// of the view and rises steeply beside the clip. FFmpeg truncates where
// colc rounds, which alone costs half a level on average.
TEST_F(CubeExport, FfmpegAgreesWithColcApplyWhereTheCorrectionClipsAtBlack) {
  kcSimCameraConfig config = kfParseSimCameraOptions("width=320,height=240,crosstalk=0.1,seed=6");
  config.target = kfTestChart();
  const kcPtrHandle<kcInstrumentedAcqFifo> camera = kfOpenSimCamera(config);
  kfSwitchToManualTrigger(camera);
  kcAcquireInfo info;
  bool failed = false;
  const kc3PlanePelBuffer view =
      kfAcquireImage(camera, kfCurrentCameraSettings(camera), info, failed)->get3PlanePelBuffer();
  const kcViewOnGrid grid = kfViewOnGrid(view, kfTestChart());
  const StoredCalibration calibration{
      pelMapsResult(), kfComputeColorCorrection(grid.view, grid.reference, kfFlatRegionMask(grid.reference),
                                                kcColorCorrection::Domain::linear)};
  const Agreement agreement =
      compare(throughFfmpeg(calibration, 65, view), kfCorrectImage(calibration.result, &*calibration.correction, view));
  EXPECT_LE(agreement.mean, 0.7) << agreement.mean << " " << agreement.max;
  EXPECT_LE(agreement.max, 3);
}

TEST(CubeFile, HeaderAndOrderOfEntries) {
  std::ostringstream out;
  writeCube(out, {pelMapsResult(), kcColorCorrection()}, 2);
  std::istringstream in(out.str());
  std::string line;
  std::vector<std::string> lines;
  while (std::getline(in, line)) lines.push_back(line);
  ASSERT_EQ(lines.size(), 4u + 8u);
  EXPECT_EQ(lines[1], "LUT_3D_SIZE 2");
  // The identity: red changes fastest, blue slowest.
  EXPECT_EQ(lines[4], "0.000000 0.000000 0.000000");
  EXPECT_EQ(lines[5], "1.000000 0.000000 0.000000");
  EXPECT_EQ(lines[6], "0.000000 1.000000 0.000000");
  EXPECT_EQ(lines[8], "0.000000 0.000000 1.000000");
}

}  // namespace

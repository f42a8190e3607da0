#include "demo.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "colc/balance/balance.h"
#include "app/files.h"
#include "app/presentation.h"

namespace {

constexpr long kWidth = 480, kHeight = 320;
constexpr long kPatch = 80;  // a 6 x 4 chart of patches

// What the camera does to the true colour of each channel: value = gain * true + offset.
struct CameraError {
  const char* channel;
  double gain;
  double offset;
};
constexpr CameraError kCameraErrors[3] = {{"red", 1.18, -14.0}, {"green", 0.88, 9.0}, {"blue", 1.06, 17.0}};
constexpr double kNoiseSigma = 2.0;

unsigned char toPel(double value) { return static_cast<unsigned char>(std::lround(std::clamp(value, 0.0, 255.0))); }

// The reference: each patch has a base colour and a gentle gradient across it,
// so each plane holds a spread of values rather than 24 single levels.
double referenceValue(int plane, long x, long y) {
  const long patch = (y / kPatch) * (kWidth / kPatch) + x / kPatch;
  const double base = static_cast<double>((patch * (37 + 22 * plane) + 40 * plane) % 236) + 10.0;
  const double gradient = static_cast<double>(x % kPatch + y % kPatch) / (2.0 * kPatch) * 24.0 - 12.0;
  return base + gradient;
}

struct Images {
  kc3PlanePelBuffer reference;
  kc3PlanePelBuffer camera;
};

Images makeImages() {
  std::mt19937 rng(2718);
  std::normal_distribution<double> noise(0.0, kNoiseSigma);
  kcPelBuffer<unsigned char> reference[3], camera[3];
  for (int k = 0; k < 3; ++k) {
    reference[k] = kcPelBuffer<unsigned char>(kWidth, kHeight);
    camera[k] = kcPelBuffer<unsigned char>(kWidth, kHeight);
    for (long y = 0; y < kHeight; ++y)
      for (long x = 0; x < kWidth; ++x) {
        const double truth = referenceValue(k, x, y);
        reference[k].pointToRow(y)[x] = toPel(truth);
        camera[k].pointToRow(y)[x] = toPel(kCameraErrors[k].gain * truth + kCameraErrors[k].offset + noise(rng));
      }
  }
  return {kc3PlanePelBuffer(reference[0], reference[1], reference[2]),
          kc3PlanePelBuffer(camera[0], camera[1], camera[2])};
}

void writeImages(const Images& images, const std::string& folder) {
  const std::string reference = folder + "/reference.png", camera = folder + "/camera.png",
                    mask = folder + "/mask.png";
  makeFolder(folder);  // as --report does: a folder that does not exist yet is made
  // All three or none.
  for (const std::string& path : {reference, camera, mask}) checkOutputFile(path, "image file");
  writeImage(reference, images.reference);
  writeImage(camera, images.camera);
  kcPelBuffer<unsigned char> maskImage(kWidth, kHeight);
  for (long y = 0; y < kHeight; ++y) std::fill_n(maskImage.pointToRow(y), kWidth, y < kPatch ? 0 : 255);
  writeImage(mask, maskImage);
}

}  // namespace

int runDemo(std::ostream& out, const std::string& imageFolder) {
  const Images images = makeImages();
  if (!imageFolder.empty()) writeImages(images, imageFolder);
  kcColorCalibrationResultInternal result;
  kfComputeColorCalibration(images.camera, images.reference, result, nullptr, 0);

  out << formatted(
      "colc demo: a simulated camera image of a %ld x %ld colour chart (noise sigma %.1f, clipped to 0..255)\n"
      "is fitted onto the reference. The correction undoing the camera's error is\n"
      "gain = 1 / camera gain, offset = -camera offset / camera gain.\n\n",
      kWidth, kHeight, kNoiseSigma);
  out << formatted("%-7s %12s %12s %12s %12s %10s\n", "channel", "true gain", "true offset", "fitted gain",
                   "fitted offs.", "rmsError");
  const auto channels = result.results();
  for (int k = 0; k < 3; ++k) {
    const CameraError& e = kCameraErrors[k];
    out << formatted("%-7s %12.4f %12.3f %12.4f %12.3f %10.3f\n", e.channel, 1.0 / e.gain, -e.offset / e.gain,
                     channels[k].gain(), channels[k].offset(), channels[k].rmsError());
  }
  if (!imageFolder.empty()) out << "\nThe images are in " << imageFolder << ": try colc fit camera.png reference.png\n";
  return 0;
}

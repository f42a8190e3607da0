// Fingerprints of results that work on speed must not change: footprint
// samples, the simulated camera's frames, and a whole defined search. The
// constants come from the forms the faster code replaced (the statistics
// through difference images and histograms, the sensor's scalar table
// look-ups, the weighing of samples through memory); any changed bit fails
// here. A change meant to alter these results updates the constants and
// says why in its commit.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>

#include "colc/driver/calibrate.h"
#include "colc/host/imaging.h"
#include "support/calibration_cameras.h"
#include "support/image_random.h"

namespace {

// FNV-1a over bytes.
class Fingerprint {
 public:
  void add(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) hash_ = (hash_ ^ bytes[i]) * 0x100000001b3ULL;
  }
  void add(double value) { add(&value, sizeof value); }
  void add(const kcPelBuffer_const<unsigned char>& plane) {
    for (long y = plane.window().top; y < plane.window().bottom; ++y)
      add(plane.pointToRow(y), static_cast<std::size_t>(plane.width()));
  }
  std::uint64_t value() const { return hash_; }

 private:
  std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

}  // namespace

// Grids spaced 1.05 to 12 pels, turned either way, partly off the plane:
// every halving depth, width of weights and edge case of the weighing.
TEST(UnchangedBits, FootprintSamples) {
  std::mt19937 rng(2024);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  Fingerprint print;
  for (int n = 0; n < 60; ++n) {
    const long width = 40 + static_cast<long>(unit(rng) * 260), height = 40 + static_cast<long>(unit(rng) * 200);
    const kcPelBuffer<unsigned char> plane = colc_test::randomBuffer(rng, width, height);
    const double spacing = 1.05 + unit(rng) * 11.0, turn = (unit(rng) - 0.5) * 0.8;
    const long nx = 3 + static_cast<long>(unit(rng) * 37), ny = 3 + static_cast<long>(unit(rng) * 37);
    const kcVector<2> centre(unit(rng) * width, unit(rng) * height);
    const kcAffineSamplingParams sampling(
        kcAffineRectangle(centre, spacing * nx, spacing * ny, kcRadian(turn), kcRadian(turn)), nx, ny,
        kcAffineSamplingParams::eBilinear);
    print.add(kfAffineTransformImage(plane, sampling));
  }
  EXPECT_EQ(print.value(), 0x1cab8fc8e9d78ab8ULL);
}

// Noisy frames of one and of three taps (whose stripes end off the
// vectors' steps) over the settings' range, clipped at both ends too.
TEST(UnchangedBits, SimulatedFrames) {
  Fingerprint print;
  for (const char* options : {"width=203,height=61,seed=4", "width=203,height=61,seed=9,taps=3"}) {
    const kcPtrHandle<kcInstrumentedAcqFifo> fifo = kfOpenSimCamera(options);
    fifo->triggerModel(kfManualTrigger());
    for (const double exposure : {0.002, 0.01, 0.03, 0.3})
      for (const double setting : {0.0, 0.45, 1.0}) {
        fifo->properties().exposureProp().exposure(exposure);
        fifo->properties().contrastBrightnessProp().setContrastEx(setting, kcContrastBrightnessProp::kAllTaps);
        fifo->properties().contrastBrightnessProp().setBrightnessEx(1.0 - setting, kcContrastBrightnessProp::kAllTaps);
        fifo->start(0);
        const kc3PlanePelBuffer frame = fifo->completeAcq({})->get3PlanePelBuffer();
        print.add(frame.plane0());
        print.add(frame.plane1());
        print.add(frame.plane2());
      }
  }
  EXPECT_EQ(print.value(), 0xa88b07fc10a01216ULL);
}

// The search's path shows in the number of acquisitions, its end in the
// result's settings and fits. Exposure only, to keep it short; the view
// camera's grid is spaced about two pels, so the footprint samples decide.
TEST(UnchangedBits, DefinedSearch) {
  kcColorCalibrationParams params = kfQuickParams();
  params.allowPelMapping(true);
  kcColorCalibrationResult result;
  kfColorCalibrate(kfOpenViewCamera(), kfViewChart(), params, result, nullptr, 0);
  Fingerprint print;
  print.add(static_cast<double>(result.acqInfo().sequence()));
  print.add(result.exposure());
  print.add(result.contrast());
  print.add(result.brightness());
  for (const kcColorCalibrationChannelResult& channel : result.channelResults()) {
    print.add(channel.gain());
    print.add(channel.offset());
    print.add(channel.rmsError());
  }
  EXPECT_EQ(print.value(), 0x610829eee879fb33ULL) << result.acqInfo().sequence() << " acquisitions";
}

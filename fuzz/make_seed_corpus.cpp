// Writes the seed corpus of the fuzz targets: real archives of the records
// and error objects as colc writes them, and for the image targets those
// archives followed by bytes that describe images.
//   colc_fuzz_seed_corpus <folder>   (the repository keeps them in fuzz/corpus)
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "colc/colorcal.h"
#include "colc/records/errors.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

template <class Record>
Bytes archived(Record record) {
  kcMemoryArchive out;
  out || record;
  return out.data();
}

// The record as a file archive holds it, written through a file beside the corpus.
template <class Record>
Bytes filed(Record record, const fs::path& scratch) {
  {
    kcFileArchive out(scratch, kcArchive::write);
    out || record;
  }
  std::ifstream in(scratch, std::ios::binary);
  Bytes bytes{std::istreambuf_iterator<char>(in), {}};
  fs::remove(scratch);
  return bytes;
}

Bytes written(kcPersistent&& object) {
  kcMemoryArchive out;
  out.writeObject(object);
  return out.data();
}

// Image descriptions for the image targets: deterministic noise, which the
// targets read as sizes, windows, offsets and pels.
Bytes noise(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(n);
  for (unsigned char& b : bytes) b = static_cast<unsigned char>(random());
  return bytes;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

void save(const fs::path& folder, const std::string& name, const Bytes& bytes) {
  fs::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                       static_cast<std::streamsize>(bytes.size()));
}

kcColorCalibrationChannelResult channel(double gain, double offset, double rmsError) {
  kcColorCalibrationChannelResult result;
  result.init(gain, offset, rmsError);
  return result;
}

kcColorCalibrationResult calibrated(std::vector<kcColorCalibrationChannelResult> channels, bool failed) {
  kcColorCalibrationResult result;
  result.exposure(0.0125);
  result.contrast(0.42);
  result.brightness(0.51);
  result.positive8BitLut(true);
  kcAcquireInfo info;
  if (failed) info.failure(kcAcqFailure(kcAcqFailure::eTimedOut, "no image within 5 s"));
  info.sequence(37);
  result.acqInfo(info);
  result.channelResults(channels);
  return result;
}

// Plane fit inputs, in the order the target reads them (fuzz/plane_fit_target.h):
// a mode byte (1 sampled, 2 masked, 4 diagnostics), then each plane as its
// width and height and then fuzzPlane's margins, offset and pels
// (fuzz/fuzz_images.h), then the sampling. These planes have no margins and
// offset 0 (the byte 4 of around(4)).
template <class PelAt>
Bytes plane(unsigned width, unsigned height, PelAt pelAt) {
  Bytes bytes = {static_cast<unsigned char>(width), static_cast<unsigned char>(height), 0, 0, 0, 0, 4, 4};
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x) bytes.push_back(static_cast<unsigned char>(pelAt(x, y)));
  return bytes;
}

// A chart-like source: patches of different grey levels, a few saturated.
unsigned chart(unsigned x, unsigned y) {
  static const unsigned levels[] = {0, 18, 40, 66, 90, 121, 150, 177, 203, 231, 250, 255};
  return levels[(x / 2 + 3 * (y / 3)) % 12];
}

// The chart as a camera with gain and offset sees it, clipped to 0..255.
unsigned seen(unsigned x, unsigned y, double gain, double offset) {
  const double v = gain * chart(x, y) + offset;
  return static_cast<unsigned>(std::clamp(v, 0.0, 255.0) + 0.5);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " <corpus folder>\n";
    return 2;
  }
  const fs::path root = argv[1];

  kcColorCalibrationParams narrow;
  narrow.isContrastEnabled(false);
  narrow.isBrightnessEnabled(false);
  narrow.minExposureStepSize(0.0005);
  narrow.exposureRange({0.001, 0.05});
  narrow.usePositive8BitLut(false);
  save(root / "params", "default", archived(kcColorCalibrationParams()));
  save(root / "params", "exposure-only", archived(narrow));

  const kcColorCalibrationChannelResult identity = channel(1.0, 0.0, 0.0);
  const kcColorCalibrationChannelResult red = channel(1.1875, -6.25, 3.4);
  const kcColorCalibrationChannelResult green = channel(0.96, 2.5, 2.1);
  const kcColorCalibrationChannelResult inverse = channel(-1.0, 255.0, 0.0);
  save(root / "channel_result", "identity", archived(identity));
  save(root / "channel_result", "fitted", archived(red));
  save(root / "channel_result", "inverse", archived(inverse));

  const kcColorCalibrationResult three = calibrated({red, green, identity}, false);
  const kcColorCalibrationResult firstIdentity = calibrated({identity, green, inverse}, false);
  const kcColorCalibrationResult timedOut = calibrated({red, green}, true);
  save(root / "result", "default", archived(kcColorCalibrationResult()));
  save(root / "result", "three-channels", archived(three));
  save(root / "result", "two-channels-timed-out", archived(timedOut));
  // A file as written now, and one as written before files had a mark and a checksum.
  save(root / "archive_file", "three-channels", filed(three, root / "archive_file.tmp"));
  save(root / "archive_file", "three-channels-bare", archived(three));

  using Defs = kcColorCalibrationDefs;
  save(root / "error_object", "bad-params", written(Defs::BadParams("exposureRange == kcRange::EmptyRange()")));
  save(root / "error_object", "bad-images-empty", written(Defs::BadImages()));
  save(root / "error_object", "bad-images-pose",
       written(Defs::BadImages("Can not find pose of the calibration image in the acquired Image.")));

  save(root / "pel_map_image", "three-channels", archived(three) + noise(400, 1));
  save(root / "pel_map_image", "identity-first", archived(firstIdentity) + noise(400, 2));
  save(root / "pel_map_image", "default", archived(kcColorCalibrationResult()) + noise(100, 3));

  const auto camera = [](unsigned x, unsigned y) { return seen(x, y, 0.8, 21.0); };
  const auto maskLeftHalf = [](unsigned x, unsigned) { return x < 6 ? 0 : 255; };
  const Bytes src = plane(12, 12, chart);
  save(root / "plane_fit", "plain", Bytes{0} + src + plane(12, 12, camera));
  save(root / "plane_fit", "identical", Bytes{0} + src + src);
  save(root / "plane_fit", "masked-with-diagnostics", Bytes{6} + src + plane(12, 12, camera) + plane(12, 12, maskLeftHalf));
  // Sampling: centre (5, 5) and sides of 10 (bytes 7, 0 and 10, 0: whole
  // part and no fraction), no rotation, the x angle for y too, 12 x 12
  // bilinear samples; then the same reaching past the destination.
  const Bytes inside = {7, 0, 7, 0, 10, 0, 10, 0, 0, 1, 12, 12, 1};
  const Bytes beyond = {11, 3, 9, 0, 14, 0, 12, 4, 6, 0, 5, 12, 11, 0};
  save(root / "plane_fit", "sampled", Bytes{1} + src + plane(12, 12, camera) + inside);
  save(root / "plane_fit", "sampled-clipped-masked",
       Bytes{3} + src + plane(12, 12, camera) + plane(12, 12, maskLeftHalf) + beyond);
  return 0;
}

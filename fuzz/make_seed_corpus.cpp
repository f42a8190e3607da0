// Writes the seed corpus of the fuzz targets: real archives of the records
// and error objects as colc writes them, and for the image targets those
// archives followed by bytes that describe images.
//   colc_fuzz_seed_corpus <folder>   (the repository keeps them in fuzz/corpus)
#include <filesystem>
#include <fstream>
#include <iostream>
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

  using Defs = kcColorCalibrationDefs;
  save(root / "error_object", "bad-params", written(Defs::BadParams("exposureRange == kcRange::EmptyRange()")));
  save(root / "error_object", "bad-images-empty", written(Defs::BadImages()));
  save(root / "error_object", "bad-images-pose",
       written(Defs::BadImages("Can not find pose of the calibration image in the acquired Image.")));

  save(root / "pel_map_image", "three-channels", archived(three) + noise(400, 1));
  save(root / "pel_map_image", "identity-first", archived(firstIdentity) + noise(400, 2));
  save(root / "pel_map_image", "default", archived(kcColorCalibrationResult()) + noise(100, 3));
  return 0;
}

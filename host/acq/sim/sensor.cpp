#include "host/acq/sim/sensor.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <random>
#include <string>

#include "host/acq/sim/noise_spread.h"
#include "host/imaging/cv_bridge.h"

namespace {

using namespace kcSimModel;

// The bank holds normal numbers of standard deviation kBankSigma, clipped
// to the int8 range (4 sigma). Frames read it at offsets below kBankSlack
// rows and columns.
constexpr double kBankSigma = 32.0;
constexpr int kBankSlack = 256;
constexpr std::size_t kPoolSize = 4;

// splitmix64: decorrelates the offsets of neighbouring frames and seeds.
std::uint64_t mix(std::uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

}  // namespace

kcSimSensor::kcSimSensor(int width, int height, int taps, double noise, unsigned long seed, double sensitivity)
    : width_(width),
      height_(height),
      taps_(taps),
      noise_(noise),
      seed_(seed),
      sensitivity_(sensitivity),
      encode_(kAdcMax + 1) {
  for (int code = 0; code <= kAdcMax; ++code)
    encode_[static_cast<std::size_t>(code)] =
        static_cast<unsigned char>(std::lround(255.0 * kfSrgbEncode(static_cast<double>(code) / kAdcMax)));
  bank_.create(height + kBankSlack, width + kBankSlack, CV_8S);
  if (noise > 0.0) {
    cv::RNG rng(mix(seed));
    rng.fill(bank_, cv::RNG::NORMAL, 0.0, kBankSigma);  // saturates to the int8 range
  } else {
    bank_ = 0;
  }
}

kcSimSensor::TapTransfer kcSimSensor::tapTransfer(const kcSimExposure& settings, int tap) const {
  const double g = gain(settings.contrast[static_cast<std::size_t>(tap)]);
  const double perLevel = settings.exposure * kPhotonRate * sensitivity_ / 65535.0;  // p per scene level
  TapTransfer t;
  t.scale = static_cast<float>(kAdcMax * g * perLevel);
  t.offset = static_cast<float>(kAdcMax * black(settings.brightness[static_cast<std::size_t>(tap)]));
  t.sigma = kfSimNoiseSpreads(noise_, g, perLevel, kBankSigma);
  return t;
}

std::vector<unsigned char> kcSimSensor::planeOutput(const kcSimExposure& settings, int plane) const {
  std::vector<unsigned char> output(encode_.size() + 3);  // whole words can be read from the last code
  lookup_(encode_.data(), settings.tables[static_cast<std::size_t>(plane)].data(), output.data(), encode_.size());
  return output;
}

cv::Mat& kcSimSensor::frameBuffer() {
  // A buffer only the pool still references is free for the next frame.
  for (cv::Mat& m : pool_)
    if (m.u && std::atomic_ref<int>(m.u->refcount).load(std::memory_order_acquire) == 1) return m;
  if (pool_.size() == kPoolSize) pool_.erase(pool_.begin());
  pool_.emplace_back(3 * height_, width_, CV_8U);
  return pool_.back();
}

std::vector<std::uint8_t> kcSimSensor::flatTables(const kcSimFlatRuns& runs, const std::vector<TapTransfer>& taps,
                                                  const std::vector<std::vector<unsigned char>>& outputs) const {
  // Every noise sample once, in the order of its byte; a row exposer treats
  // each pel on its own, so a row of one level gives the table.
  std::array<std::int8_t, 256> samples{};
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int8_t>(i);
  std::array<std::uint16_t, 256> level{};
  std::vector<std::uint8_t> tables(runs.levels().size() * taps.size() * 256);
  std::uint8_t* table = tables.data();
  for (const kcSimFlatRuns::Level& flat : runs.levels()) {
    level.fill(flat.level);
    for (const TapTransfer& t : taps) {
      const unsigned char* output = outputs[static_cast<std::size_t>(flat.plane)].data();
      exposeRow_(level.data(), samples.data(), {t.scale, t.offset, t.sigma.data(), output}, table, 256);
      table += 256;
    }
  }
  return tables;
}

kc3PlanePelBuffer kcSimSensor::expose(const cv::Mat& levels, const kcSimFlatRuns& runs, const kcSimExposure& settings,
                                      unsigned long frame) {
  if (runs.taps() != 0 && runs.taps() != taps_)
    throw kcBadArgument("simulated sensor: flat runs split for " + std::to_string(runs.taps()) + " taps, not " +
                        std::to_string(taps_));
  std::vector<TapTransfer> taps;
  for (int tap = 0; tap < taps_; ++tap) taps.push_back(tapTransfer(settings, tap));
  std::vector<std::vector<unsigned char>> outputs;
  for (int plane = 0; plane < 3; ++plane) outputs.push_back(planeOutput(settings, plane));
  const std::vector<std::uint8_t> tables = flatTables(runs, taps, outputs);
  std::vector<int> tapEnds;  // the end of each tap's stripe
  for (int tap = 0; tap < taps_; ++tap) tapEnds.push_back(width_ * (tap + 1) / taps_);
  cv::Mat& out = frameBuffer();
  std::mt19937_64 offsets(mix(seed_ ^ mix(frame)));
  for (int plane = 0; plane < 3; ++plane) {
    const unsigned char* output = outputs[static_cast<std::size_t>(plane)].data();
    const int dy = static_cast<int>(offsets() % kBankSlack), dx = static_cast<int>(offsets() % kBankSlack);
    for (int y = 0; y < height_; ++y) {
      const int row = plane * height_ + y;
      const std::uint16_t* outside = runs.outside(row);
      // The next pel's level outside the runs.
      const std::uint16_t* level = outside ? outside : levels.ptr<std::uint16_t>(row);
      const std::int8_t* noise = bank_.ptr<std::int8_t>(y + dy) + dx;
      unsigned char* pels = out.ptr(row);
      // Pels [x0, x1) of the row one by one, each tap with its own transfer.
      const auto compute = [&](int x0, int x1) {
        for (int tap = 0; x0 < x1; ++tap) {
          const int end = std::min(x1, tapEnds[static_cast<std::size_t>(tap)]);
          if (end <= x0) continue;
          const TapTransfer& t = taps[static_cast<std::size_t>(tap)];
          exposeRow_(level, noise + x0, {t.scale, t.offset, t.sigma.data(), output}, pels + x0, end - x0);
          level += end - x0;
          x0 = end;
        }
      };
      int x = 0;
      for (const kcSimFlatRuns::Run& run : runs.row(row)) {
        compute(x, run.x0);
        lookup_(reinterpret_cast<const std::uint8_t*>(noise + run.x0), &tables[256 * std::size_t{run.table}],
                pels + run.x0, run.x1 - run.x0);
        x = run.x1;
      }
      compute(x, width_);
    }
  }
  return kf3PlanePelBufferFromMats(out.rowRange(0, height_), out.rowRange(height_, 2 * height_),
                                   out.rowRange(2 * height_, 3 * height_));
}

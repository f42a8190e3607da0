#include "colc/records/channel_result.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "colc/host/imaging.h"

namespace {

// Truncates toward zero to a 32-bit signed integer. A value outside that
// range (only an extreme gain or offset gets there) saturates to the
// nearest end, so a huge positive transfer still maps to 255 and a huge
// negative one to 0; a not-a-number maps to 0. A plain cast would be
// undefined for all of these.
std::int32_t truncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483648.0) return std::numeric_limits<std::int32_t>::max();
  if (value <= -2147483649.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::vector<unsigned char> kfBuildPelMap(double gain, double offset) {
  std::vector<unsigned char> map(256);
  for (int i = 0; i < 256; ++i) {
    const double x = static_cast<double>(i) * gain + offset;
    const double halfAway = x >= 0.0 ? x + 0.5 : x - 0.5;
    map[i] = static_cast<unsigned char>(kfILimit(truncateToInt32(halfAway), 0, 255));
  }
  return map;
}

void kcColorCalibrationChannelResult::init(double gain, double offset, double rmsError) {
  gain_ = gain;
  offset_ = offset;
  rmsError_ = rmsError;
  // The identity transfer keeps no table: an empty map means "no re-mapping".
  if (gain == 1.0 && offset == 0.0)
    pelmap_.clear();
  else
    pelmap_ = kfBuildPelMap(gain, offset);
}

bool kcColorCalibrationChannelResult::operator==(const kcColorCalibrationChannelResult& other) const {
  return gain_ == other.gain_ && offset_ == other.offset_ && rmsError_ == other.rmsError_ &&
         pelmap_ == other.pelmap_;
}

void kcColorCalibrationChannelResultInternal::init(double gain, double offset, double proportionActiveSrcPels,
                                                   double proportionActiveDstPels, double proportionActivePels,
                                                   double rmsError) {
  gain_ = gain;
  offset_ = offset;
  proportionActiveSrcPels_ = proportionActiveSrcPels;
  proportionActiveDstPels_ = proportionActiveDstPels;
  proportionActivePels_ = proportionActivePels;
  rmsError_ = rmsError;
  pelmap_ = kfBuildPelMap(gain, offset);
}

// How colc's camera settings become a GenICam camera's features. This is
// the one place that says so; the Aravis FIFO only follows it.
//
//   colc                  feature (the first the camera has)   conversion
//   exposure, seconds     ExposureTime, ExposureTimeAbs        microseconds = seconds * 1e6 to a
//                                                              millionth, held to the feature's
//                                                              bounds; read back as the camera has it
//   contrast, 0..1        Gain, GainRaw                        min + contrast * (max - min)
//   brightness, 0..1      BlackLevel, BlackLevelRaw            min + brightness * (max - min)
//   8-bit input table     LUTSelector, LUTEnable, LUTIndex,    entry i is LUTValue at LUTIndex i, per
//                         LUTValue (8-bit tables only)         plane under the selector Red, Green,
//                                                              Blue, else one table for all planes
//   manual trigger        TriggerSelector FrameStart, TriggerMode On, TriggerSource Software;
//                         start() executes TriggerSoftware
//   free-running trigger  TriggerMode Off
//   pels                  PixelFormat RGB8, BGR8, BayerRG8, BayerGR8, BayerGB8, BayerBG8, Mono8
//
// Every write takes the nearest value on the feature's own increment (a
// whole number for an integer feature), so contrast and brightness read
// back on the feature's steps. A setting whose feature the camera
// lacks is only kept by the FIFO: it reads back as written, so the
// records round-trip, and it changes nothing in the image. An input table
// the camera cannot hold (no lookup-table features, tables of more than 8
// bits, or different tables per plane on a camera with one table) maps each
// image in colc instead.
//
// While colc drives the camera, the automatic functions that would fight
// the search are off (ExposureAuto, GainAuto, BlackLevelAuto,
// BalanceWhiteAuto), and GainSelector and BlackLevelSelector select All.
#pragma once

#include <string>
#include <vector>

class kcGenicamDevice;

// The automatic functions colc switches off while it drives the camera.
inline constexpr const char* kAutomaticFeatures[] = {"ExposureAuto", "GainAuto", "BlackLevelAuto", "BalanceWhiteAuto"};

// A numeric feature scaled onto a setting.
struct kcScaledFeature {
  std::string name;  // empty: the camera has none
  bool integer = false;
  double min = 0.0;
  double max = 0.0;
  double increment = 0.0;  // 0: any value between the bounds

  bool present() const { return !name.empty(); }
  // The feature's value, and a write held to its bounds and its increment.
  double read(kcGenicamDevice& device) const;
  void write(kcGenicamDevice& device, double value) const;
  // The value a write of value sends: held to the bounds, on the increment.
  double held(double value) const;
  // Between the feature's value and the 0..1 scale of a setting.
  double toUnit(double value) const;
  double fromUnit(double unit) const;
};

// The camera's lookup-table features, when they can hold colc's 8-bit tables.
struct kcLutFeatures {
  bool present = false;
  // The LUTSelector entry of planes 0, 1, 2 (Red, Green, Blue); one entry,
  // or none without a selector, when one table serves all planes.
  std::vector<std::string> selectors;
  bool perPlane() const { return selectors.size() == 3; }
};

struct kcCameraFeatureMap {
  kcScaledFeature exposure;  // in microseconds
  kcScaledFeature gain;
  kcScaledFeature blackLevel;
  kcLutFeatures lut;
  bool softwareTrigger = false;
  // The pel formats the camera offers that colc decodes, best first.
  std::vector<std::string> pixelFormats;
};

// Seconds as microseconds, to a millionth of a microsecond: 15e-6 s is
// exactly 15 us, where seconds * 1e6 gives 14.999999999999998, which a
// feature over an integer register cuts to 14.
double kfMicroseconds(double seconds);

// The pel format colc reads when none is asked for: the camera's own when
// it is a colour one colc decodes (the user may have chosen that Bayer
// phase or that byte order on purpose), else the best the camera offers.
// The map must offer at least one.
std::string kfDefaultPixelFormat(const kcCameraFeatureMap& map, const std::string& current);

// Finds the features of the table above on the camera.
kcCameraFeatureMap kfMapCameraFeatures(kcGenicamDevice& device);

// One line per setting: which feature serves it and over which bounds,
// or what colc does without one ("brightness: no black level feature ...").
std::vector<std::string> kfDescribeFeatureMap(const kcCameraFeatureMap& map);

// The simulated colour camera: a FIFO that images a calibration target
// through a model of a colour sensor (host/acq/sim/sensor_model.h). It is
// opened from a configuration record or from an option string such as
// "seed=3,rotation=10,scale=0.9" and always comes wrapped in a
// kcInstrumentedAcqFifo, which logs its operations and injects the
// configured faults. Options and use: docs/simulated-camera.md.
#pragma once

#include <optional>
#include <string>

#include "colc/host/acq.h"
#include "host/acq/instrumented_fifo.h"

// Where the target lies in the camera's view.
struct kcSimPose {
  // The target's centre in the sensor's image coordinates (pel (x, y)
  // covers [x, x + 1) x [y, y + 1)); unset: kcSimModel::kCentreOffset pels
  // from the sensor's centre, so that target pels do not fall on sensor pels.
  std::optional<double> x;
  std::optional<double> y;
  // Degrees, counter-clockwise as displayed. A real camera is never quite
  // square to its target.
  double rotation = 1.3;
  // Sensor pels per target pel, at the target's centre (along the tilt's
  // axis when the target is tilted).
  double scale = 1.0;
  // Degrees (0..60) the target is turned out of the sensor's plane, about
  // an axis in its own plane through its centre: a chart seen at a slant.
  // 0: square to the camera's axis.
  double tilt = 0.0;
  // The direction of that axis in the target's plane, degrees
  // counter-clockwise as displayed from the target's x axis: 0 about its
  // horizontal axis, 90 about its vertical axis. A positive tilt brings the
  // side 90 degrees counter-clockwise from the axis nearer (the top edge at
  // 0, the left edge at 90), which then comes out longer than the far side.
  double tiltAxis = 0.0;
};

struct kcSimCameraConfig {
  // Sensor size in pels.
  long width = 1280;
  long height = 1024;
  // Seeds the noise: equal seeds and settings give equal images.
  unsigned long seed = 1;
  kcSimPose pose;
  // The noise level: 1 is the sensor's own, 0 none.
  double noise = 1.0;
  // The share of light that leaks from each plane into the other two (0..0.5).
  double crossTalk = 0.01;
  // The sensor's sensitivity against its own, on every plane (0..4): the
  // same camera under dimmer (below 1) or brighter light.
  double sensitivity = 1.0;
  // The lens's blur: the standard deviation of its Gaussian point-spread
  // function in sensor pels (0..8; 0: a perfectly sharp lens).
  double blur = 0.5;
  // Each pel the mean of the light over its area (true) or the light at
  // its centre (false).
  bool integrate = true;
  // The share of light lost at the sensor's corners against its centre
  // (0..0.9): the lens's vignetting and uneven lighting together, falling
  // off with the square of the distance from the centre. 0: even light.
  double shading = 0.0;
  // The lens's focal length in sensor pels (above 0); unset: the sensor's
  // diagonal, a normal lens (host/acq/sim/target_projection.h). It
  // matters only for tilted targets.
  std::optional<double> focal;
  // Radial lens distortion (-0.3..0.3): a sensor point at radius r from the
  // sensor's centre, in units of its half diagonal, sees what a lens
  // without distortion shows at radius r / (1 + distortion r^2). Negative:
  // barrel, positive: pincushion.
  double distortion = 0.0;
  // Read-out taps (1..4), vertical stripes with an analog chain each.
  int taps = 1;
  // Frames per second the sensor's read-out allows; unset: that of a common
  // 1.3-megapixel camera for this sensor size (kfDefaultReadoutFps). Each
  // frame takes its exposure plus one read-out.
  std::optional<double> readoutFps;
  // Wait through each frame's time (true) or only count it (false), see
  // kfSimCameraTime.
  bool sleep = false;
  // The settings the camera opens with, on every tap: a real camera opens
  // with whatever its last user left.
  double exposure = 0.01;  // seconds
  double contrast = 0.5;
  double brightness = 0.5;
  // The calibration target, an sRGB colour image; unbound: kfSimTargetChart().
  kc3PlanePelBuffer target;
  kcAcqFaults faults;
};

// The configuration that an option string describes: comma-separated
// key=value pairs over the defaults of kcSimCameraConfig. Keys: width,
// height, seed, x, y, rotation, scale, tilt, tilt-axis, focal, distortion,
// noise, crosstalk, sensitivity, blur, integrate
// (0 or 1), shading, taps, fps (the read-out frame rate), sleep (0 or 1), the
// opening settings exposure, contrast, brightness, and the faults fail-at,
// unbound-at, timeout-at, cancel-at, write-fail-at (acquisition or write
// indices counted from 1). kcBadArgument naming the key for an unknown or
// repeated key or a bad value.
kcSimCameraConfig kfParseSimCameraOptions(const std::string& options);

// kcBadArgument for a configuration out of range (a sensor below 16 x 16
// or above 8192 x 8192 pels, a scale not above 0, a tilt outside 0..60
// degrees, a focal length not above 0, distortion outside -0.3..0.3, a
// negative noise level, cross-talk outside 0..0.5, a sensitivity not
// above 0 or above 4, blur outside 0..8,
// shading outside 0..0.9, taps outside 1..4, a read-out frame rate not
// above 0, an opening exposure not above 0 or above 10 s, an opening
// contrast or brightness outside 0..1, values that are not finite).
kcPtrHandle<kcInstrumentedAcqFifo> kfOpenSimCamera(const kcSimCameraConfig& config = {});
kcPtrHandle<kcInstrumentedAcqFifo> kfOpenSimCamera(const std::string& options);

// The time a simulated camera's frames took so far: what a real camera
// would have needed for them (exposure plus read-out each), how much of it
// the camera actually waited (all of it with sleep, else none), and the
// processor time the simulation spent making them, which a real camera
// spends in its own hardware.
struct kcSimCameraTime {
  double camera = 0.0;
  double slept = 0.0;
  double imaging = 0.0;
};

// The time of a simulated camera, given itself or its instrumented wrapper;
// nothing for any other FIFO.
std::optional<kcSimCameraTime> kfSimCameraTime(const kcPtrHandle<kcAcqFifo>& fifo);

// The simulated colour camera's model of light, lens, sensor and
// electronics. This block is its one description; scene.cpp and sensor.cpp
// implement it.
//
// 1. Scene. The calibration target is an sRGB image. Its pels are decoded
//    to linear light (the sRGB transfer curve, white = 1.0), and the target
//    is placed at its pose (centre, rotation, uniform scale) on a uniform
//    neutral background of linear grey kBackground. Between the centres of
//    its pels the light is interpolated bilinearly (a target shrunk below
//    the spacing of the samples of step 2 is first averaged over areas).
//    By default the pose is that of a camera set up by hand: the target's
//    centre kCentreOffset pels from the sensor's centre and turned by
//    1.3 degrees, so that its pels fall across the sensor's pels.
//    A tilted target (its plane turned about an axis in it through its
//    centre) is seen through a pinhole lens on the sensor's centre, of
//    focal length `focal` (the sensor's diagonal by default), which shows
//    it through a homography: its centre and its scale along the axis stay
//    those of the pose, its near side comes out longer than its far side.
//    A lens with radial distortion k then bends the view about the
//    sensor's centre: a point at radius r (in half diagonals) sees what an
//    undistorted lens shows at r / (1 + k r^2), a one-parameter division
//    model (k < 0 barrel, k > 0 pincushion; to first order the k1 of the
//    polynomial model). host/acq/sim/target_projection.h is this mapping.
// 2. Lens and pels. The lens blurs the light with a Gaussian point-spread
//    function of standard deviation `blur` sensor pels (0.5 by default:
//    its width at half height, 1.2 pels, is that of a lens matched to its
//    sensor, which resolves about what the pels can). Each pel collects
//    the light falling on its unit square: its value is the mean over the
//    square, taken over kSupersampling x kSupersampling sample points
//    spread evenly over it (with integration off, the light at its
//    centre). Where tilt or distortion shrink parts of the target more
//    than others, the samples grow denser (up to kMaxSupersampling a side)
//    until they lie no further apart than the target's pels everywhere.
//    Blurring and integrating commute; the blur runs on the pels' means,
//    its kernel sampled at whole pels. Both keep the light of a large flat
//    region as it is. With `shading` s the light then falls off
//    as 1 - s (d / D)^2, d a pel centre's distance from the sensor's
//    centre and D that of its corners: the lens's vignetting and uneven
//    lighting together (0 by default: even light).
// 3. Plane response. Plane k (red, green, blue) of the sensor sees
//        r_k = kSensitivity[k] * ((1 - x) L_k + x / 2 * sum of the other planes' L)
//    where x is the camera's cross-talk between planes (0.01 by default:
//    the sRGB toe turns even such a leak into a visible lift of the zero
//    channels of saturated colours, which no per-plane transfer can
//    remove; already at the default 0.01 the settings search prefers to
//    clip the dark end, where that lift lies, and crushes the dark
//    patches). The sensitivities differ between planes: white does not
//    come out white, an error that only a per-plane transfer can correct.
// 4. Exposure. The signal, in units of the ADC's full scale, is
//        p_k = exposure * kPhotonRate * sensitivity * r_k    (exposure in seconds)
//    sensitivity being the camera's own against this model's (1 by
//    default): the same camera under brighter or dimmer light.
// 5. Analog chain, one per tap (taps split the sensor into equal vertical
//    stripes, left to right):
//        v = gain(contrast) * p + black(brightness)
//        gain(c)  = kGainSpan ^ (2c - 1)       0.25 .. 4, 1 at c = 0.5
//        black(b) = kBlackSlope * (b - kBlackZero)
//    Both rise monotonically over 0..1.
// 6. Noise. Gaussian, zero mean, with variance
//        noise^2 * (gain^2 * p / kFullWell + kReadNoise^2)
//    (shot noise of the collected charge, amplified by the analog gain, and
//    read noise after it). noise is the camera's noise level (0: none). The
//    samples come from a bank of seeded normal numbers drawn once; each
//    frame takes its own offsets into the bank, derived from the seed and
//    the frame's sequence number, so a seed always gives the same images.
// 7. ADC. code = round((2^kAdcBits - 1) * v), clipped to 0 .. 2^kAdcBits - 1.
// 8. Output encoding. The camera encodes code / (2^kAdcBits - 1) with the
//    sRGB transfer curve to 8 bits, rounded, so that a camera set right
//    reproduces an sRGB reference: with exposure * kPhotonRate * gain = 1
//    and black 0, a plane of sensitivity 1 gives back the target's pels.
// 9. The FIFO's 8-bit input table of the plane maps the result.
//
// Steps 1 to 3 depend only on the target and the pose and are kept; each
// frame runs steps 4 to 9. With blur 0, integration off, cross-talk 0 and
// a pose that puts target pels on sensor pels (rotation 0, scale 1, the
// target's corner on a pel corner), each sensor pel sees one target pel.
//
// With the defaults on opening (exposure 0.01 s, contrast and brightness
// 0.5) the image is too dark (p is 0.4 of the target's light), its blacks
// are lifted and its colours are tinted: a calibration has work to do. The
// settings exposure 0.025 s, contrast 0.5, brightness 0.4 reproduce the
// green plane; the per-plane transfer then corrects the other two.
#pragma once

#include <array>
#include <cmath>
#include <vector>

#include "host/imaging/srgb.h"

namespace kcSimModel {

constexpr double kBackground = 0.18;
// The default target centre's offset from the sensor's centre, in pels.
constexpr std::array<double, 2> kCentreOffset = {0.37, -0.29};
// Sample points per pel along each axis when pels integrate. The bilinear
// light has kinks only on the lines through the target pels' centres, and
// the mean of 2 x 2 points is exact wherever the light is linear across the
// pel; 4 x 4 points would cost four times as much for small changes near
// edges.
constexpr int kSupersampling = 2;
// Sample points per pel along each axis, at most, under tilt or distortion:
// a target shrunk to a quarter has each of its pels sampled at least once.
constexpr int kMaxSupersampling = 4;
// Samples rendered at a time, a few sensor rows: about 24 MB of memory for
// the samples, whatever the sensor's size.
constexpr int kStripSamples = 1 << 21;
constexpr std::array<double, 3> kSensitivity = {0.8, 1.0, 0.62};
constexpr double kPhotonRate = 40.0;  // per second
constexpr double kGainSpan = 4.0;
constexpr double kBlackSlope = 0.08;
constexpr double kBlackZero = 0.4;
constexpr double kFullWell = 20000.0;
constexpr double kReadNoise = 0.0005;
constexpr int kAdcBits = 12;
constexpr int kAdcMax = (1 << kAdcBits) - 1;

inline double gain(double contrast) { return std::pow(kGainSpan, 2.0 * contrast - 1.0); }
inline double black(double brightness) { return kBlackSlope * (brightness - kBlackZero); }

}  // namespace kcSimModel

// The camera's settings as one acquisition uses them: exposure in seconds,
// contrast and brightness per tap, and the three planes' input tables.
struct kcSimExposure {
  double exposure = 0.01;
  std::vector<double> contrast;
  std::vector<double> brightness;
  std::array<std::array<unsigned char, 256>, 3> tables{};
};

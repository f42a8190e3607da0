// What a deployment is asked for beyond the result itself: colc deploy's
// and colc calibrate --deploy's options, and Python's.
#pragma once

// The user sets colc saves to, UserSet1 .. UserSet99, and the offset
// scales it takes.
constexpr int kMaxUserSet = 99;
constexpr double kMinOffsetFullScale = 0.001;
constexpr double kMaxOffsetFullScale = 65536.0;

struct DeploymentRequest {
  int userSet = 0;           // save to UserSet<N>; 0: no user set
  bool makeDefault = false;  // that set loaded at power-up
  // The ColorTransformationValue of an offset that shifts a plane by its
  // full scale. Cameras differ and the features do not say: 1 where
  // offsets are fractions of full scale, 255 or 4095 where they are levels.
  double offsetFullScale = 1.0;
};

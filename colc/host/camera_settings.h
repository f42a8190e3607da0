// Host camera settings: the exposure, contrast and brightness of a camera.
#pragma once

class kcColorCameraSettings {
 public:
  kcColorCameraSettings() = default;
  kcColorCameraSettings(double exposure, double contrast, double brightness)
      : exposure_(exposure), contrast_(contrast), brightness_(brightness) {}
  double exposure() const { return exposure_; }
  double contrast() const { return contrast_; }
  double brightness() const { return brightness_; }
  void exposure(double value) { exposure_ = value; }
  void contrast(double value) { contrast_ = value; }
  void brightness(double value) { brightness_ = value; }
  bool operator==(const kcColorCameraSettings& o) const {
    return exposure_ == o.exposure_ && contrast_ == o.contrast_ && brightness_ == o.brightness_;
  }

 private:
  double exposure_ = 0.0;
  double contrast_ = 0.0;
  double brightness_ = 0.0;
};

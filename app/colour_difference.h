// The CIEDE2000 colour difference of two sRGB colours, through Little CMS:
// both converted to CIELAB (D50) by the sRGB profile, relative colorimetric.
#pragma once

#include <array>

class ColourDifference {
 public:
  ColourDifference();
  ~ColourDifference();
  ColourDifference(const ColourDifference&) = delete;
  ColourDifference& operator=(const ColourDifference&) = delete;

  // a, b: red, green, blue on the 8-bit scale, fractions allowed.
  double ciede2000(const std::array<double, 3>& a, const std::array<double, 3>& b) const;

 private:
  void* transform_;  // a cmsHTRANSFORM, kept out of this header
};

// The CIEDE2000 of a and b through one conversion shared by the whole
// program (Little CMS's transforms may be used from several threads).
double ciede2000(const std::array<double, 3>& a, const std::array<double, 3>& b);

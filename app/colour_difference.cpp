#include "app/colour_difference.h"

#include <lcms2.h>

#include <stdexcept>

namespace {

cmsCIELab lab(cmsHTRANSFORM transform, const std::array<double, 3>& rgb) {
  const double unit[3] = {rgb[0] / 255.0, rgb[1] / 255.0, rgb[2] / 255.0};
  cmsCIELab out;
  cmsDoTransform(transform, unit, &out, 1);
  return out;
}

}  // namespace

ColourDifference::ColourDifference() {
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  cmsHPROFILE labProfile = cmsCreateLab4Profile(nullptr);
  transform_ = srgb && labProfile ? cmsCreateTransform(srgb, TYPE_RGB_DBL, labProfile, TYPE_Lab_DBL,
                                                       INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE)
                                  : nullptr;
  if (srgb) cmsCloseProfile(srgb);
  if (labProfile) cmsCloseProfile(labProfile);
  if (!transform_) throw std::runtime_error("Little CMS: no transform from sRGB to CIELAB");
}

ColourDifference::~ColourDifference() { cmsDeleteTransform(static_cast<cmsHTRANSFORM>(transform_)); }

double ColourDifference::ciede2000(const std::array<double, 3>& a, const std::array<double, 3>& b) const {
  const auto transform = static_cast<cmsHTRANSFORM>(transform_);
  const cmsCIELab labA = lab(transform, a), labB = lab(transform, b);
  return cmsCIE2000DeltaE(&labA, &labB, 1.0, 1.0, 1.0);
}

double ciede2000(const std::array<double, 3>& a, const std::array<double, 3>& b) {
  static const ColourDifference difference;
  return difference.ciede2000(a, b);
}

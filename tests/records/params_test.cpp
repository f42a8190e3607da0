#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "colc/records/errors.h"
#include "colc/records/params.h"

TEST(CalibrationParams, DefaultsAndValidatingSetters) {
  kcColorCalibrationParams p;
  EXPECT_TRUE(p.isExposureEnabled() && p.isContrastEnabled() && p.isBrightnessEnabled());
  EXPECT_TRUE(p.usePositive8BitLut() && p.allowPelMapping());
  EXPECT_EQ(p.minExposureStepSize(), 0.0);
  EXPECT_TRUE(p.exposureRange() == kcRange(1e-6, 0.3));

  p.minExposureStepSize(0.0);
  p.exposureRange(kcRange(0.0, 0.1));
  EXPECT_TRUE(p.exposureRange() == kcRange(0.0, 0.1));
  for (double bad : {-1e-12, -std::numeric_limits<double>::infinity(), std::nan("")}) {
    try {
      p.minExposureStepSize(bad);
      ADD_FAILURE() << bad << " was accepted";
    } catch (const kcColorCalibrationDefs::BadParams& e) {
      EXPECT_EQ(e.text(), "minExposureStepSize < 0");
    }
    EXPECT_EQ(p.minExposureStepSize(), 0.0);
  }
  try {
    p.exposureRange(kcRange::EmptyRange());
    ADD_FAILURE() << "the empty range was accepted";
  } catch (const kcColorCalibrationDefs::BadParams& e) {
    EXPECT_EQ(e.text(), "exposureRange == kcRange::EmptyRange()");
  }
  EXPECT_TRUE(p.exposureRange() == kcRange(0.0, 0.1));
}

TEST(CalibrationParams, EqualityComparesEveryField) {
  using Change = std::function<void(kcColorCalibrationParams&)>;
  const Change changes[] = {
      [](auto& p) { p.isExposureEnabled(false); },   [](auto& p) { p.isContrastEnabled(false); },
      [](auto& p) { p.isBrightnessEnabled(false); }, [](auto& p) { p.minExposureStepSize(1e-300); },
      [](auto& p) { p.exposureRange({1e-6, 0.31}); }, [](auto& p) { p.usePositive8BitLut(false); },
      [](auto& p) { p.allowPelMapping(false); }};
  for (const Change& change : changes) {
    kcColorCalibrationParams changed;
    change(changed);
    EXPECT_FALSE(changed == kcColorCalibrationParams());
    kcColorCalibrationParams assigned;
    EXPECT_TRUE((assigned = changed) == changed);
  }
}

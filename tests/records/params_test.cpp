#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "colc/records/errors.h"
#include "colc/records/params.h"

TEST(CalibrationParams, SettersRefuseBadValuesAndEqualityComparesEveryField) {
  kcColorCalibrationParams p;
  p.exposureRange(kcRange(0.0, 0.1));
  const std::pair<std::function<void()>, std::string> refused[] = {
      {[&] { p.minExposureStepSize(-1e-12); }, "minExposureStepSize < 0"},
      {[&] { p.minExposureStepSize(std::nan("")); }, "minExposureStepSize < 0"},
      {[&] { p.exposureRange(kcRange::EmptyRange()); }, "exposureRange == kcRange::EmptyRange()"}};
  for (const auto& [set, message] : refused) {
    try {
      set();
      ADD_FAILURE() << message;
    } catch (const kcColorCalibrationDefs::BadParams& e) {
      EXPECT_EQ(e.text(), message);
    }
  }
  EXPECT_EQ(p.minExposureStepSize(), 0.0);
  EXPECT_TRUE(p.exposureRange() == kcRange(0.0, 0.1));

  const std::function<void(kcColorCalibrationParams&)> changes[] = {
      [](auto& p) { p.isExposureEnabled(false); },   [](auto& p) { p.isContrastEnabled(false); },
      [](auto& p) { p.isBrightnessEnabled(false); }, [](auto& p) { p.minExposureStepSize(1e-300); },
      [](auto& p) { p.exposureRange({1e-6, 0.31}); }, [](auto& p) { p.usePositive8BitLut(false); },
      [](auto& p) { p.allowPelMapping(false); }};
  for (const auto& change : changes) {
    kcColorCalibrationParams changed;
    change(changed);
    EXPECT_FALSE(changed == kcColorCalibrationParams());
  }
}

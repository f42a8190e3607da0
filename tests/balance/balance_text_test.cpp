#include <gtest/gtest.h>

#include <tuple>

#include "colc/balance/balance.h"

namespace {

kcColorCalibrationChannelResultInternal channel(double gain, double offset) {
  kcColorCalibrationChannelResultInternal result;
  result.init(gain, offset, 0.5, 0.5, 0.75, 2.0);
  return result;
}

}  // namespace

TEST(BalanceText, DrawsTheFittedNumbersOnTheLastRecordOrANewOne) {
  kcDiagObject diag;
  kfSketchBalanceText(channel(1.0, 0.0), &diag, 0);
  kfSketchBalanceText(channel(1.0, 0.0), nullptr, kColorCalibrationDiagResults);
  EXPECT_EQ(diag.numRecords(), 0);
  kfSketchBalanceText(channel(1.25, -3.5), &diag, kColorCalibrationDiagResults);  // nowhere to go: a record of its own
  diag.newDiagRecord();
  kfSketchBalanceText(channel(1e300, -123.456789), &diag, kColorCalibrationDiagResults);
  ASSERT_EQ(diag.numRecords(), 2);
  const kcDiagRecord::Sketch& sketch = diag.diagRecord(0).sketches().at(0);
  const kcUIText& text = sketch.sketch.texts().at(0);
  EXPECT_EQ(text.text, "gain: 1.250000 offset: -3.500000 rmsError: 2.000000 propActive: 0.750000");
  EXPECT_EQ(std::make_tuple(text.point, text.foreground, text.background, text.format, text.layer),
            std::make_tuple(kcVector<2>(10.0, 50.0), kcColor::red, kcColor::pass, kcUIFormat{-1, 0}, 0));
  EXPECT_EQ(std::make_tuple(sketch.name, sketch.coordinateSystem), std::make_tuple("Color Balance Result Text", 0));
  // Wide numbers widen their fields instead of being cut.
  const std::string& wide = diag.diagRecord(1).sketches().at(0).sketch.texts().at(0).text;
  EXPECT_EQ(wide.substr(0, 8), "gain: 10");
  EXPECT_EQ(wide.substr(307), ".000000 offset: -123.456789 rmsError: 2.000000 propActive: 0.750000");
}

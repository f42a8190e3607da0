#include <gtest/gtest.h>

#include "colc/balance/balance.h"

namespace {

kcColorCalibrationChannelResultInternal channel(double gain, double offset) {
  kcColorCalibrationChannelResultInternal result;
  result.init(gain, offset, 0.5, 0.5, 0.75, 2.0);
  return result;
}

const kcUIText& textOf(const kcDiagRecord& record, std::size_t sketch = 0) {
  return record.sketches().at(sketch).sketch.texts().at(0);
}

}  // namespace

TEST(BalanceText, DrawsTheFittedNumbersOnTheLastRecord) {
  kcDiagObject diag;
  diag.newDiagRecord();
  diag.newDiagRecord();
  kfSketchBalanceText(channel(1.25, -3.5), &diag, kColorCalibrationDiagResults);
  kfSketchBalanceText(channel(1e300, -123.456789), &diag, kColorCalibrationDiagResults);
  EXPECT_TRUE(diag.diagRecord(0).sketches().empty());
  ASSERT_EQ(diag.diagRecord(1).sketches().size(), 2u);
  const kcUIText& text = textOf(diag.diagRecord(1));
  EXPECT_EQ(text.text, "gain: 1.250000 offset: -3.500000 rmsError: 2.000000 propActive: 0.750000");
  EXPECT_EQ(std::make_tuple(text.point, text.foreground, text.background, text.format, text.layer),
            std::make_tuple(kcVector<2>(10.0, 50.0), kcColor::red, kcColor::pass, kcUIFormat{-1, 0}, 0));
  EXPECT_EQ(diag.diagRecord(1).sketches()[0].name, "Color Balance Result Text");
  EXPECT_EQ(diag.diagRecord(1).sketches()[0].coordinateSystem, 0);
  // Wide numbers widen their fields instead of being cut.
  const std::string& wide = textOf(diag.diagRecord(1), 1).text;
  EXPECT_EQ(wide.substr(0, 8), "gain: 10");
  EXPECT_EQ(wide.substr(307), ".000000 offset: -123.456789 rmsError: 2.000000 propActive: 0.750000");
}

TEST(BalanceText, NeedsFlagsAndADiagnosticsObjectAndMakesARecordWhenThereIsNone) {
  kcDiagObject diag;
  kfSketchBalanceText(channel(1.0, 0.0), &diag, 0);
  kfSketchBalanceText(channel(1.0, 0.0), nullptr, kColorCalibrationDiagResults);
  EXPECT_EQ(diag.numRecords(), 0);
  kfSketchBalanceText(channel(1.0, 0.0), &diag, kColorCalibrationDiagResults);
  ASSERT_EQ(diag.numRecords(), 1);
  EXPECT_EQ(textOf(diag.diagRecord(0)).text, "gain: 1.000000 offset: 0.000000 rmsError: 2.000000 propActive: 0.750000");
}

#include "colc/driver/acquisition.h"

#include <gtest/gtest.h>

#include <tuple>

#include "colc/host/improc.h"
#include "colc/host/runtime.h"
#include "colc/records/result.h"
#include "host/runtime/cancellation.h"
#include "support/calibration_cameras.h"

namespace {

using Log = std::vector<std::string>;
using Table = std::vector<unsigned char>;

const Table kInverse = [] {
  Table t(256);
  for (int i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(255 - i);
  return t;
}();

// A two-tap camera far from its defaults: trigger disabled, taps set apart,
// plane 1's table differing from plane 0's.
kcPtrHandle<kcInstrumentedAcqFifo> preparedCamera() {
  auto fifo = kfOpenSmallSimCamera("taps=2");
  kcAcqFifo& raw = *fifo->inner();
  raw.triggerEnable(false);
  raw.properties().exposureProp().exposure(0.07);
  raw.properties().contrastBrightnessProp().setContrastEx(0.6, 0b10);
  raw.properties().contrastBrightnessProp().setContrastEx(0.3, 0b01);
  raw.properties().contrastBrightnessProp().setBrightnessEx(0.2, 0b01);
  raw.properties().inputLutProp().inputLut(kInverse.data());
  raw.properties().inputLutProp().inputLut(Table(256, 0).data(), kc8BitInputLutProp::ePlane1);
  return fifo;
}

// What a saver leaves: tap 0's values and plane 0's table everywhere.
const FifoState kRestored{false, &kfFreeRunTrigger(), 0.07, {0.3, 0.3}, {0.2, 0.2}, {kInverse, kInverse, kInverse}};

TEST(Acquisition, SaverRestoresInItsOrderAndAFailedWriteEndsTheRestore) {
  auto fifo = preparedCamera();
  {
    kcFifoStateSaver saver(fifo);
    fifo->clearLog();
  }
  EXPECT_EQ(fifo->log(),
            (Log{"triggerEnable(false)", "inputLut(table)", "triggerModel(free-run)", "setContrastEx(0.3,all)",
                 "setBrightnessEx(0.2,all)", "exposure(0.07)", "triggerEnable(false)"}));
  EXPECT_EQ(kfFifoStateOf(*fifo->inner()), kRestored);

  // A write failing in the restore ends it there, without an exception.
  fifo = preparedCamera();
  {
    kcFifoStateSaver saver(fifo);
    fifo->triggerModel(kfManualTrigger());
    fifo->faults().writeFailAt = 1 + 3;  // the restore's trigger-model write
  }
  EXPECT_EQ(kfFifoStateOf(*fifo->inner()).tables, kRestored.tables);
  EXPECT_EQ(&fifo->inner()->triggerModel(), &kfManualTrigger());
}

TEST(Acquisition, AcquireAppliesStartsCompletesAndFlagsFailures) {
  auto fifo = kfOpenSmallSimCamera("fail-at=2,unbound-at=3,taps=2");
  fifo->triggerModel(kfManualTrigger());
  fifo->triggerEnable(false);
  kcAcquireInfo info;
  bool failed = true;
  EXPECT_TRUE(kfAcquireImage(fifo, kcColorCameraSettings(0.02, 0.6, 0.25), info, failed)->isBound());
  EXPECT_FALSE(failed);
  const FifoState applied = kfFifoStateOf(*fifo->inner());
  EXPECT_TRUE(applied.enabled);
  EXPECT_EQ(applied.exposure, 0.02);
  EXPECT_EQ(applied.contrast, (std::vector<double>{0.6, 0.6}));
  EXPECT_EQ(applied.brightness, (std::vector<double>{0.25, 0.25}));

  EXPECT_TRUE(kfAcquireImage(fifo, kcColorCameraSettings(0.02, 0.5, 0.5), info, failed).isNull());
  EXPECT_TRUE(failed);
  EXPECT_FALSE(kfAcquireImage(fifo, kcColorCameraSettings(0.02, 0.5, 0.5), info, failed)->isBound());
  EXPECT_TRUE(failed);

  kfRequestCancel();  // the attention check ends it after the settings, before the start
  EXPECT_THROW(kfAcquireImage(fifo, kcColorCameraSettings(0.03, 0.5, 0.5), info, failed), kcCancelled);
  kfClearCancel();
  EXPECT_EQ(fifo->completions(), 3u);
  EXPECT_EQ(fifo->inner()->properties().exposureProp().exposure(), 0.03);

  EXPECT_THROW(kcFifoStateSaver{kcPtrHandle<kcAcqFifo>()}, kcBadPointer);
}

// An image that offers a grey form of its own (a 4 x 3 one), or none.
struct GreyImage : kcAcqImage {
  GreyImage(const kc3PlanePelBuffer& color, bool offersGrey) : kcAcqImage(color), offersGrey(offersGrey) {}
  bool isConversionSupported(keImageFormat f) const override { return offersGrey || f != eImageFormatGrey8; }
  kcPelBuffer<unsigned char> getGrey8PelBuffer() const override { return kcPelBuffer<unsigned char>(4, 3); }
  bool offersGrey;
};

TEST(Acquisition, GreyImageIsTheImagesOwnOrItsIntensity) {
  const kc3PlanePelBuffer color = kfOpenSmallSimCamera()->completeAcq({})->get3PlanePelBuffer();
  kcPtrHandle<kcAcqImage> offering(new GreyImage(color, true)), refusing(new GreyImage(color, false));
  EXPECT_EQ(kfGrey8Image(offering).width(), 4);
  kcPelBuffer<unsigned char> intensity;
  kfPelRGBToI(color, intensity);
  EXPECT_TRUE(kfPelEqual(kfGrey8Image(refusing), intensity));
}

TEST(Acquisition, ResultSetsSettingsAndOnlyThePositiveTable) {
  kcColorCalibrationResult result;
  result.exposure(0.04);
  result.contrast(0.7);
  result.brightness(0.35);
  auto fifo = preparedCamera();
  result.setFifoProperties(fifo);
  FifoState set = kfFifoStateOf(*fifo->inner());
  EXPECT_EQ(std::tuple(set.exposure, set.contrast, set.brightness),
            std::tuple(0.04, std::vector<double>{0.7, 0.7}, std::vector<double>{0.35, 0.35}));
  EXPECT_EQ(set.tables[0], kInverse);
  result.positive8BitLut(true);
  result.setFifoProperties(fifo);
  set = kfFifoStateOf(*fifo->inner());
  for (int i = 0; i < 256; ++i) ASSERT_EQ(set.tables[0][i], i);
}

}  // namespace

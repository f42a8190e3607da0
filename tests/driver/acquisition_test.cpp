#include <gtest/gtest.h>

#include "colc/driver/acquisition.h"
#include "colc/host/improc.h"
#include "colc/host/runtime.h"
#include "colc/records/result.h"
#include "host/acq/stored_props.h"
#include "host/runtime/cancellation.h"
#include "support/small_sim_camera.h"

namespace {

using Log = std::vector<std::string>;
using Table = std::vector<unsigned char>;

// Everything a saver promises to put back.
struct FifoState {
  bool enabled;
  const kcTriggerModel* model;
  double exposure;
  std::vector<double> contrast, brightness;
  std::vector<Table> tables;
  bool operator==(const FifoState&) const = default;
};

FifoState stateOf(kcAcqFifo& fifo) {
  FifoState s{fifo.triggerEnable(), &fifo.triggerModel(), fifo.properties().exposureProp().exposure(), {}, {}, {}};
  const kcContrastBrightnessProp& cb = fifo.properties().contrastBrightnessProp();
  for (int t = 0; t < cb.numTaps(); ++t) {
    s.contrast.push_back(cb.contrast(static_cast<kcContrastBrightnessProp::Channel>(t)));
    s.brightness.push_back(cb.brightness(static_cast<kcContrastBrightnessProp::Channel>(t)));
  }
  for (int k = 0; k < 3; ++k) {
    const unsigned char* table = fifo.properties().inputLutProp().inputLut(static_cast<kc8BitInputLutProp::Channel>(k));
    s.tables.emplace_back(table, table + 256);
  }
  return s;
}

Table inverseTable() {
  Table t(256);
  for (int i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(255 - i);
  return t;
}

// A two-tap camera far from its defaults: trigger disabled, taps and
// planes set apart, the green and blue tables differing from the red one.
kcPtrHandle<kcInstrumentedAcqFifo> preparedCamera() {
  auto fifo = kfOpenSmallSimCamera("taps=2");
  kcAcqFifo& raw = *fifo->inner();
  raw.triggerEnable(false);
  raw.properties().exposureProp().exposure(0.07);
  raw.properties().contrastBrightnessProp().setContrastEx(0.3, 0b01);
  raw.properties().contrastBrightnessProp().setContrastEx(0.6, 0b10);
  raw.properties().contrastBrightnessProp().setBrightnessEx(0.2, 0b01);
  raw.properties().contrastBrightnessProp().setBrightnessEx(0.9, 0b10);
  raw.properties().inputLutProp().inputLut(inverseTable().data());
  const Table zeros(256, 0);
  raw.properties().inputLutProp().inputLut(zeros.data(), kc8BitInputLutProp::ePlane1);
  return fifo;
}

// The state a saver restores: tap 0's values and plane 0's table everywhere.
const FifoState kRestored{false, &kfFreeRunTrigger(), 0.07, {0.3, 0.3}, {0.2, 0.2}, {inverseTable(), inverseTable(), inverseTable()}};

// What the driver does with a FIFO while its saver lives.
void calibrationLikeUse(const kcPtrHandle<kcAcqFifo>& fifo) {
  kcFifoStateSaver saver(fifo);
  fifo->triggerEnable(false);
  fifo->triggerModel(kfManualTrigger());
  fifo->triggerEnable(true);
  fifo->properties().inputLutProp().inputLut(kc8BitInputLutProp::positive8BitLut);
  kcAcquireInfo info;
  for (const kcColorCameraSettings settings : {kcColorCameraSettings(0.01, 0.5, 0.5), kcColorCameraSettings(0.2, 1, 0)}) {
    bool failed = false;
    kfAcquireImage(fifo, settings, info, failed);
    if (failed) break;
  }
}

class Acquisition : public ::testing::Test {
 protected:
  void TearDown() override {
    kfClearCancel();
    kfFailAttentionCheckAt(0, kSysSuccess);
  }
};

TEST_F(Acquisition, SaverReadsAndRestoresInItsOrder) {
  auto fifo = preparedCamera();
  fifo->clearLog();
  {
    kcFifoStateSaver saver(fifo);
    Log expected = {"triggerEnable()", "triggerModel()", "contrast(0)", "brightness(0)", "exposure()"};
    expected.insert(expected.end(), 256, "inputLut(0)");
    EXPECT_EQ(fifo->log(), expected);
    fifo->clearLog();
  }
  EXPECT_EQ(fifo->log(), (Log{"triggerEnable(false)", "inputLut(table)", "triggerModel(free-run)",
                              "setContrastEx(0.3,all)", "setBrightnessEx(0.2,all)", "exposure(0.07)",
                              "triggerEnable(false)"}));
  EXPECT_EQ(stateOf(*fifo->inner()), kRestored);
}

TEST_F(Acquisition, StateComesBackWhateverFails) {
  const unsigned long bodyWrites = 4 + 2 * 5;  // trigger switch and table, two acquisitions
  std::vector<std::pair<std::string, std::function<void(kcAcqFaults&)>>> faults = {
      {"fail-at 1", [](kcAcqFaults& f) { f.failAt = 1; }},
      {"fail-at 2", [](kcAcqFaults& f) { f.failAt = 2; }},
      {"unbound-at 1", [](kcAcqFaults& f) { f.unboundAt = 1; }},
      {"timeout-at 1", [](kcAcqFaults& f) { f.timeoutAt = 1; }},
      {"timeout-at 2", [](kcAcqFaults& f) { f.timeoutAt = 2; }},
      {"cancel-at 1", [](kcAcqFaults& f) { f.cancelAt = 1; }},
  };
  for (unsigned long n = 1; n <= bodyWrites; ++n)
    faults.emplace_back("write-fail-at " + std::to_string(n), [n](kcAcqFaults& f) { f.writeFailAt = n; });
  for (const auto& [name, inject] : faults) {
    auto fifo = preparedCamera();
    inject(fifo->faults());
    try {
      calibrationLikeUse(fifo);
    } catch (const kcException&) {
    }
    EXPECT_EQ(stateOf(*fifo->inner()), kRestored) << name;
    kfClearCancel();
  }
  for (unsigned long call = 1; call <= 2; ++call) {
    auto fifo = preparedCamera();
    kfFailAttentionCheckAt(call, kSysCancelled);
    EXPECT_THROW(calibrationLikeUse(fifo), kcCancelled);
    EXPECT_EQ(stateOf(*fifo->inner()), kRestored) << "attention check " << call;
  }
}

TEST_F(Acquisition, FailingRestoreWriteEndsTheRestoreQuietly) {
  auto fifo = preparedCamera();
  {
    kcFifoStateSaver saver(fifo);
    fifo->triggerModel(kfManualTrigger());
    fifo->properties().exposureProp().exposure(0.2);
    fifo->faults().writeFailAt = 2 + 3;  // the restore's trigger-model write
  }
  const FifoState after = stateOf(*fifo->inner());
  EXPECT_EQ(after.tables, kRestored.tables);  // written before the failure
  EXPECT_EQ(after.model, &kfManualTrigger());  // the failed write
  EXPECT_EQ(after.exposure, 0.2);              // never reached
}

TEST_F(Acquisition, ApplyWritesTheSettingsBetweenTriggerSwitches) {
  auto fifo = preparedCamera();
  fifo->clearLog();
  kfApplyCameraSettings(fifo, kcColorCameraSettings(0.02, 0.6, 0.25));
  EXPECT_EQ(fifo->log(), (Log{"triggerEnable(false)", "exposure(0.02)", "setContrastEx(0.6,all)",
                              "setBrightnessEx(0.25,all)", "triggerEnable(true)"}));
  const FifoState s = stateOf(*fifo->inner());
  EXPECT_TRUE(s.enabled);
  EXPECT_EQ(s.contrast, (std::vector<double>{0.6, 0.6}));
  EXPECT_EQ(s.tables[1], Table(256, 0));  // tables are not the settings' business
}

TEST_F(Acquisition, AcquireReportsFailuresThroughItsFlag) {
  auto fifo = kfOpenSmallSimCamera("fail-at=2,unbound-at=3");
  fifo->triggerModel(kfManualTrigger());
  fifo->clearLog();
  kcAcquireInfo info;
  bool failed = true;
  auto image = kfAcquireImage(fifo, kcColorCameraSettings(0.02, 0.5, 0.5), info, failed);
  EXPECT_FALSE(failed);
  EXPECT_TRUE(image->isBound());
  EXPECT_EQ(info.sequence(), 1u);
  EXPECT_EQ(fifo->log(), (Log{"triggerEnable(false)", "exposure(0.02)", "setContrastEx(0.5,all)",
                              "setBrightnessEx(0.5,all)", "triggerEnable(true)", "start(0)", "complete"}));

  EXPECT_TRUE(kfAcquireImage(fifo, kcColorCameraSettings(0.02, 0.5, 0.5), info, failed).isNull());
  EXPECT_TRUE(failed);
  EXPECT_NE(info.failure().status(), 0);

  image = kfAcquireImage(fifo, kcColorCameraSettings(0.02, 0.5, 0.5), info, failed);
  EXPECT_TRUE(failed);
  EXPECT_EQ(info.failure().status(), 0);
  EXPECT_FALSE(image->isBound());
}

TEST_F(Acquisition, AttentionCheckStopsBeforeTheStart) {
  auto fifo = kfOpenSmallSimCamera();
  kfRequestCancel();
  kcAcquireInfo info;
  bool failed = false;
  EXPECT_THROW(kfAcquireImage(fifo, kcColorCameraSettings(0.03, 0.5, 0.5), info, failed), kcCancelled);
  EXPECT_EQ(fifo->log().back(), "triggerEnable(true)");
  EXPECT_EQ(fifo->inner()->properties().exposureProp().exposure(), 0.03);
}

// A camera whose completions succeed without an image.
class ImagelessFifo : public kcAcqFifo {
 public:
  kcAcqProps properties() override { return props_.props(); }
  const kcTriggerModel& triggerModel() const override { return kfManualTrigger(); }
  void triggerModel(const kcTriggerModel&) override {}
  bool triggerEnable() const override { return true; }
  void triggerEnable(bool) override {}
  bool start(unsigned long) override { return true; }
  kcPtrHandle<kcAcqImage> completeAcq(const CompleteArgs&) override { return {}; }

 private:
  kcStoredAcqProps props_;
};

TEST_F(Acquisition, SuccessWithoutImageIsABadPointer) {
  kcAcquireInfo info;
  bool failed = false;
  EXPECT_THROW(kfAcquireImage(kcPtrHandle<kcAcqFifo>(new ImagelessFifo), kcColorCameraSettings(), info, failed),
               kcBadPointer);
}

TEST_F(Acquisition, NullFifoIsTouchedNowhere) {
  const kcPtrHandle<kcAcqFifo> null;
  EXPECT_THROW(kcFifoStateSaver{null}, kcBadPointer);
  EXPECT_THROW(kfApplyCameraSettings(null, kcColorCameraSettings()), kcBadPointer);
  EXPECT_THROW(kcColorCalibrationResult().setFifoProperties(null), kcBadPointer);
}

// An image that offers its own grey form, or none.
class GreyImage : public kcAcqImage {
 public:
  GreyImage(const kc3PlanePelBuffer& color, bool offersGrey) : kcAcqImage(color), offersGrey_(offersGrey) {}
  bool isConversionSupported(keImageFormat f) const override {
    return f == eImageFormat3Plane8 || (offersGrey_ && f == eImageFormatGrey8);
  }
  kcPelBuffer<unsigned char> getGrey8PelBuffer() const override { return own; }
  kcPelBuffer<unsigned char> own{4, 3};  // zeros: unlike any intensity of the image

 private:
  bool offersGrey_;
};

TEST_F(Acquisition, GreyImageIsTheImagesOwnOrItsIntensity) {
  auto fifo = kfOpenSmallSimCamera();
  const kc3PlanePelBuffer color = fifo->completeAcq({})->get3PlanePelBuffer();
  kcPtrHandle<kcAcqImage> offering(new GreyImage(color, true)), refusing(new GreyImage(color, false));
  EXPECT_EQ(kfGrey8Image(offering).pointToRow(0), static_cast<GreyImage&>(*offering).own.pointToRow(0));
  kcPelBuffer<unsigned char> intensity;
  kfPelRGBToI(color, intensity);
  EXPECT_TRUE(kfPelEqual(kfGrey8Image(refusing), intensity));
}

TEST_F(Acquisition, ResultSetsSettingsAndOnlyThePositiveTable) {
  kcColorCalibrationResult result;
  result.exposure(0.04);
  result.contrast(0.7);
  result.brightness(0.35);
  auto fifo = preparedCamera();
  fifo->clearLog();
  result.setFifoProperties(fifo);
  EXPECT_EQ(fifo->log(), (Log{"exposure(0.04)", "setContrastEx(0.7,all)", "setBrightnessEx(0.35,all)"}));
  EXPECT_EQ(stateOf(*fifo->inner()).tables[0], inverseTable());
  EXPECT_EQ(stateOf(*fifo->inner()).brightness, (std::vector<double>{0.35, 0.35}));

  result.positive8BitLut(true);
  fifo->clearLog();
  result.setFifoProperties(fifo);
  EXPECT_EQ(fifo->log().back(), "inputLut(identity)");
  EXPECT_EQ(fifo->log().size(), 4u);
  EXPECT_EQ(stateOf(*fifo->inner()).tables[1], Table(kc8BitInputLutProp::positive8BitLut,
                                                       kc8BitInputLutProp::positive8BitLut + 256));
}

}  // namespace

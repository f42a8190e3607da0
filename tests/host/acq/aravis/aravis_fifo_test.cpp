#include "host/acq/aravis/aravis_fifo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <numeric>
#include <opencv2/core.hpp>
#include <thread>

#include "colc/driver/calibrate.h"
#include "colc/tool/view_difference.h"
#include "camera_features.h"
#include "colc/driver/acquisition.h"
#include "fake_gv_camera.h"
#include "host/imaging/cv_bridge.h"
#include "support/calibration_cameras.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

kcAravisOptions smallView(const FakeGvCamera& camera, const std::string& pixelFormat = "") {
  kcAravisOptions options;
  options.deviceId = camera.address();
  options.pixelFormat = pixelFormat;
  options.width = 320;
  options.height = 240;
  options.frameTimeout = 2.0;
  options.restoreTimeout = 1.0;  // the cameras that stop answering here never answer again
  return options;
}

// The fake camera's registers that colc may change, by address.
std::map<std::uint32_t, std::uint32_t> registersOf(const FakeGvCamera& camera, bool extra = false) {
  std::vector<std::uint32_t> addresses = {
      ARV_FAKE_CAMERA_REGISTER_EXPOSURE_TIME_US, ARV_FAKE_CAMERA_REGISTER_GAIN_RAW,
      ARV_FAKE_CAMERA_REGISTER_PIXEL_FORMAT,     ARV_FAKE_CAMERA_REGISTER_WIDTH,
      ARV_FAKE_CAMERA_REGISTER_HEIGHT,           ARV_FAKE_CAMERA_REGISTER_X_OFFSET,
      ARV_FAKE_CAMERA_REGISTER_TRIGGER_MODE,     ARV_FAKE_CAMERA_REGISTER_TRIGGER_SOURCE,
      ARV_FAKE_CAMERA_REGISTER_GAIN_MODE};
  if (extra) {
    addresses.insert(addresses.end(), {FakeGvCamera::kExposureTime, FakeGvCamera::kGain, FakeGvCamera::kBlackLevel,
                                       FakeGvCamera::kLutEnable, FakeGvCamera::kLutEnable + 4, FakeGvCamera::kLutEnable + 8});
    for (std::uint32_t i = 0; i < 3 * 256; ++i) addresses.push_back(FakeGvCamera::kLutValue + 4 * i);
  }
  std::map<std::uint32_t, std::uint32_t> registers;
  for (std::uint32_t a : addresses) registers[a] = camera.reg(a);
  return registers;
}

kc3PlanePelBuffer acquire(kcAcqFifo& fifo) {
  EXPECT_TRUE(fifo.start(0));
  kcAcquireInfo info;
  kcAcqFifo::CompleteArgs args;
  args.info = &info;
  kcPtrHandle<kcAcqImage> image = fifo.completeAcq(args);
  EXPECT_FALSE(info.failure().isFailure()) << info.failure().description();
  return image->get3PlanePelBuffer();
}

// Mean of each plane over the middle of the view, where the chart lies.
std::array<double, 3> meansOf(const kc3PlanePelBuffer& image) {
  const auto mean = [](const kcPelBuffer_const<unsigned char>& p) {
    const long w = p.width(), h = p.height();
    return cv::mean(kfMatView(p)(cv::Rect(w / 4, h / 4, 3 * w / 4 - w / 4, 3 * h / 4 - h / 4)))[0];
  };
  return {mean(image.plane0()), mean(image.plane1()), mean(image.plane2())};
}

std::vector<unsigned char> inverted() {
  std::vector<unsigned char> t(256);
  std::iota(t.rbegin(), t.rend(), 0);
  return t;
}

}  // namespace

TEST(AravisFifo, OpeningMapsTheBuiltInFeaturesWhichTakeGoodSettingsOnlyAndClosingPutsTheCameraBack) {
  FakeGvCamera camera;
  const auto before = registersOf(camera);
  {
    auto fifo = kfOpenAravisCamera(smallView(camera));
    const kcCameraFeatureMap& f = fifo->features();
    EXPECT_EQ(f.exposure.name, "ExposureTimeAbs");
    EXPECT_EQ(f.gain.name, "GainRaw");
    EXPECT_TRUE(f.gain.integer);
    EXPECT_EQ(f.gain.max, 10.0);
    EXPECT_FALSE(f.blackLevel.present());
    EXPECT_FALSE(f.lut.present);
    EXPECT_TRUE(f.softwareTrigger);
    // The camera starts in grey; a colour format is chosen over it.
    EXPECT_EQ(fifo->pixelFormat(), "RGB8");
    EXPECT_EQ(camera.reg(ARV_FAKE_CAMERA_REGISTER_PIXEL_FORMAT), ARV_PIXEL_FORMAT_RGB_8_PACKED);
    EXPECT_EQ(camera.reg(ARV_FAKE_CAMERA_REGISTER_WIDTH), 320u);
    EXPECT_EQ(camera.reg(ARV_FAKE_CAMERA_REGISTER_TRIGGER_MODE), 1u);
    EXPECT_EQ(camera.reg(ARV_FAKE_CAMERA_REGISTER_TRIGGER_SOURCE), 1u);  // Software
    EXPECT_EQ(camera.reg(ARV_FAKE_CAMERA_REGISTER_GAIN_MODE), 1u);       // GainAuto Off
    EXPECT_EQ(&fifo->triggerModel(), &kfManualTrigger());
    const kcAcqProps props = fifo->properties();
    EXPECT_DOUBLE_EQ(props.exposureProp().exposure(), 0.01);
    EXPECT_EQ(props.contrastBrightnessProp().contrast(kcContrastBrightnessProp::eTap0), 0.0);
    acquire(*fifo);  // closing must also stop the stream
  }
  EXPECT_EQ(registersOf(camera), before);

  // Opened again: settings reach their features, bad values change nothing.
  auto fifo = kfOpenAravisCamera(smallView(camera));
  kcExposureProp& exposure = fifo->properties().exposureProp();
  kcContrastBrightnessProp& cb = fifo->properties().contrastBrightnessProp();
  const auto all = kcContrastBrightnessProp::kAllTaps;

  exposure.exposure(0.02);
  EXPECT_EQ(camera.reg(ARV_FAKE_CAMERA_REGISTER_EXPOSURE_TIME_US), 20000u);
  cb.setContrastEx(0.5, all);
  EXPECT_EQ(camera.reg(ARV_FAKE_CAMERA_REGISTER_GAIN_RAW), 5u);
  // An integer gain takes the nearest step; the setting reads back as written.
  cb.setContrastEx(0.27, all);
  EXPECT_EQ(camera.reg(ARV_FAKE_CAMERA_REGISTER_GAIN_RAW), 3u);
  EXPECT_EQ(cb.contrast(kcContrastBrightnessProp::eTap0), 0.27);
  // Without a black level the brightness is kept, and nothing else moves.
  const auto kept = registersOf(camera);
  cb.setBrightnessEx(0.3, all);
  EXPECT_EQ(cb.brightness(kcContrastBrightnessProp::eTap0), 0.3);
  EXPECT_EQ(registersOf(camera), kept);
  // An exposure beyond the camera's is held to its longest.
  exposure.exposure(20.0);
  EXPECT_EQ(camera.reg(ARV_FAKE_CAMERA_REGISTER_EXPOSURE_TIME_US), 10000000u);
  EXPECT_EQ(exposure.exposure(), 10.0);

  const auto held = registersOf(camera);
  EXPECT_THROW(exposure.exposure(-0.01), kcBadArgument);
  EXPECT_THROW(exposure.exposure(std::nan("")), kcBadArgument);
  EXPECT_THROW(cb.setContrastEx(1.5, all), kcBadArgument);
  EXPECT_THROW(cb.setContrastEx(0.5, 0u), kcBadArgument);
  EXPECT_THROW(cb.setBrightnessEx(-0.1, all), kcBadArgument);
  EXPECT_THROW(cb.contrast(kcContrastBrightnessProp::eTap1), kcBadArgument);
  EXPECT_EQ(registersOf(camera), held);
  EXPECT_EQ(exposure.exposure(), 10.0);
  EXPECT_EQ(cb.contrast(kcContrastBrightnessProp::eTap0), 0.27);
}

TEST(AravisFifo, ManualAcquisitionsShowTheSceneAtTheSettingsJustWritten) {
  FakeGvCamera camera;
  auto fifo = kfOpenAravisCamera(smallView(camera));
  kcAcqFifo::CompleteArgs args;
  const auto waitStart = Clock::now();
  EXPECT_THROW(fifo->completeAcq(args), kcTimeout::Expired);  // nothing started: no wait at all
  EXPECT_LT(secondsSince(waitStart), 0.5);

  fifo->properties().contrastBrightnessProp().setContrastEx(0.5, kcContrastBrightnessProp::kAllTaps);
  fifo->properties().exposureProp().exposure(0.01);
  const kc3PlanePelBuffer dim = acquire(*fifo);
  ASSERT_TRUE(dim.isBound());
  EXPECT_EQ(dim.width(), 320);
  EXPECT_EQ(dim.height(), 240);
  fifo->properties().exposureProp().exposure(0.02);
  const kc3PlanePelBuffer bright = acquire(*fifo);
  for (int k = 0; k < 3; ++k) EXPECT_GT(meansOf(bright)[k], meansOf(dim)[k] + 10.0) << "plane " << k;

  // A camera without tables of its own: colc maps each image.
  fifo->properties().inputLutProp().inputLut(inverted().data());
  const kc3PlanePelBuffer negative = acquire(*fifo);
  for (int k = 0; k < 3; ++k)
    EXPECT_NEAR(meansOf(negative)[k], 255.0 - meansOf(bright)[k], 0.01) << "plane " << k;

  kcAcquireInfo info;
  args.info = &info;
  EXPECT_TRUE(fifo->start(0));
  fifo->completeAcq(args);
  EXPECT_EQ(info.sequence(), 4u);
  fifo->triggerEnable(false);
  EXPECT_FALSE(fifo->start(0));
  EXPECT_THROW(fifo->start(1), kcBadArgument);
}

TEST(AravisFifo, EveryOfferedPelFormatShowsTheSameColours) {
  FakeGvCamera camera(FakeGvCamera::Description::floatSettings);  // for BGR8
  const std::array<double, 3> rgb = meansOf(acquire(*kfOpenAravisCamera(smallView(camera, "RGB8"))));
  const std::vector<std::string> formats = kfOpenAravisCamera(smallView(camera))->features().pixelFormats;
  for (const std::string& format : formats) {
    SCOPED_TRACE(format);
    const kc3PlanePelBuffer image = acquire(*kfOpenAravisCamera(smallView(camera, format)));
    const std::array<double, 3> means = meansOf(image);
    if (format == "Mono8") {
      EXPECT_EQ(means[0], means[1]);
      EXPECT_EQ(means[1], means[2]);
      EXPECT_NEAR(means[1], 0.3 * rgb[0] + 0.59 * rgb[1] + 0.11 * rgb[2], 2.0);
    } else {
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(means[k], rgb[k], 1.5) << "plane " << k;
    }
  }
  EXPECT_EQ(formats, (std::vector<std::string>{"RGB8", "BGR8", "BayerRG8", "BayerGR8", "BayerGB8", "BayerBG8", "Mono8"}));
  EXPECT_THROW(kfOpenAravisCamera(smallView(camera, "Mono16")), kcBadArgument);
}

TEST(AravisFifo, FeaturesOfADescriptionWithBlackLevelAndTablesAreUsedOverTheBuiltInOnes) {
  FakeGvCamera camera(FakeGvCamera::Description::floatSettings);
  const auto before = readEveryFeature(camera.address());
  const std::uint32_t builtinExposure = camera.reg(ARV_FAKE_CAMERA_REGISTER_EXPOSURE_TIME_US);
  {
    auto fifo = kfOpenAravisCamera(smallView(camera));
    const kcCameraFeatureMap& f = fifo->features();
    EXPECT_EQ(f.exposure.name, "ExposureTime");
    EXPECT_EQ(f.gain.name, "Gain");
    EXPECT_EQ(f.blackLevel.name, "BlackLevel");
    EXPECT_TRUE(f.lut.perPlane());
    kcContrastBrightnessProp& cb = fifo->properties().contrastBrightnessProp();
    EXPECT_DOUBLE_EQ(fifo->properties().exposureProp().exposure(), 0.01);
    EXPECT_DOUBLE_EQ(cb.contrast(kcContrastBrightnessProp::eTap0), 0.5);
    EXPECT_DOUBLE_EQ(cb.brightness(kcContrastBrightnessProp::eTap0), 0.4);

    fifo->properties().exposureProp().exposure(0.0205);
    cb.setContrastEx(0.25, kcContrastBrightnessProp::kAllTaps);
    EXPECT_FLOAT_EQ(camera.floatReg(FakeGvCamera::kExposureTime), 20500.0f);
    EXPECT_EQ(camera.reg(ARV_FAKE_CAMERA_REGISTER_EXPOSURE_TIME_US), builtinExposure);
    EXPECT_FLOAT_EQ(camera.floatReg(FakeGvCamera::kGain), 6.0f);
    const std::array<double, 3> plain = meansOf(acquire(*fifo));
    cb.setBrightnessEx(0.6, kcContrastBrightnessProp::kAllTaps);
    EXPECT_FLOAT_EQ(camera.floatReg(FakeGvCamera::kBlackLevel), 60.0f);
    const std::array<double, 3> lifted = meansOf(acquire(*fifo));
    for (int k = 0; k < 3; ++k) EXPECT_GT(lifted[k], plain[k] + 5.0) << "plane " << k;

    // The camera's tables take colc's; the image is mapped once, by the camera.
    kc8BitInputLutProp& lut = fifo->properties().inputLutProp();
    lut.inputLut(inverted().data());
    for (std::uint32_t k = 0; k < 3; ++k) {
      EXPECT_EQ(camera.reg(FakeGvCamera::kLutEnable + 4 * k), 1u);
      EXPECT_EQ(camera.reg(FakeGvCamera::kLutValue + 4 * (256 * k + 10)), 245u);
    }
    const std::array<double, 3> negative = meansOf(acquire(*fifo));
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(negative[k], 255.0 - lifted[k], 0.01) << "plane " << k;
    // The identity switches a plane's table off.
    lut.inputLut(kc8BitInputLutProp::positive8BitLut, kc8BitInputLutProp::ePlane1);
    EXPECT_EQ(camera.reg(FakeGvCamera::kLutEnable + 4), 0u);
    EXPECT_EQ(camera.reg(FakeGvCamera::kLutEnable + 8), 1u);
    const std::array<double, 3> mixed = meansOf(acquire(*fifo));
    EXPECT_NEAR(mixed[1], lifted[1], 0.01);
    EXPECT_NEAR(mixed[2], negative[2], 0.01);
  }
  EXPECT_EQ(featureChanges(before, readEveryFeature(camera.address())), "");
}

// Whatever colc did in between, closing puts back every feature: each
// plane's table, switched on or off, after a state saver has written one
// table to all planes; the selectors; automatic gain; the settings; the
// region and the trigger.
TEST(AravisFifo, ClosingPutsEveryFeatureBackAsFound) {
  FakeGvCamera camera(FakeGvCamera::Description::integerSettings);
  camera.setUpAsFound();
  const auto found = readEveryFeature(camera.address());
  auto fifo = kfOpenAravisCamera(smallView(camera));
  EXPECT_EQ(fifo->properties().inputLutProp().inputLut(kc8BitInputLutProp::ePlane0)[200], 100);
  {
    const kcFifoStateSaver saver(fifo);
    fifo->properties().inputLutProp().inputLut(inverted().data(), kc8BitInputLutProp::ePlane2);
    fifo->properties().exposureProp().exposure(0.0123);
    fifo->properties().contrastBrightnessProp().setBrightnessEx(0.9, kcContrastBrightnessProp::kAllTaps);
    fifo->triggerModel(kfFreeRunTrigger());
    acquire(*fifo);
  }
  EXPECT_EQ(camera.reg(FakeGvCamera::kLutValue + 4 * (256 * 2 + 200)), 100u);  // the saver's one table, in blue
  fifo->close();
  EXPECT_EQ(featureChanges(found, readEveryFeature(camera.address())), "");
}

// A camera that stops answering cannot be put back; closing says which
// features stay as colc left them, at once after the first time-out.
TEST(AravisFifo, ClosingACameraThatStoppedAnsweringNamesTheFeaturesNotPutBack) {
  FakeGvCamera camera;
  auto fifo = kfOpenAravisCamera(smallView(camera));
  fifo->properties().exposureProp().exposure(0.02);
  camera.stop();
  try {
    fifo->close();
    ADD_FAILURE() << "closing a camera that does not answer succeeded";
  } catch (const kcIOError& e) {
    const std::string message = e.what();
    for (const char* feature : {"could not put back", "region", "TriggerMode", "ExposureTimeAbs", "GainAuto"})
      EXPECT_NE(message.find(feature), std::string::npos) << feature << " not in: " << message;
  }
  EXPECT_NO_THROW(fifo->close());  // once only
}

// Seconds * 1e6 falls just below the whole microsecond for many values
// (15e-6 s gives 14.999999999999998), which the built-in exposure feature
// cuts to the integer below.
TEST(AravisFifo, ExposuresInWholeMicrosecondsReachTheCameraExactly) {
  FakeGvCamera camera;
  auto fifo = kfOpenAravisCamera(smallView(camera));
  kcExposureProp& exposure = fifo->properties().exposureProp();
  std::vector<std::uint32_t> cut;
  for (std::uint32_t us = 10; us < 3000; ++us) {
    exposure.exposure(us * 1e-6);
    // What the FIFO reads back goes to the camera unchanged, as a state saver's restore does.
    exposure.exposure(exposure.exposure());
    if (camera.reg(ARV_FAKE_CAMERA_REGISTER_EXPOSURE_TIME_US) != us) cut.push_back(us);
  }
  EXPECT_TRUE(cut.empty()) << cut.size() << " exposures changed, the first " << cut.front() << " us";
}

// Another program holds the camera's control channel: opening says so,
// after asking once more when the camera's heartbeat time-out has run out,
// instead of failing on a feature's time-out. Each refusal costs Aravis's
// own control time-out (2.5 s): on opening, on asking again, on letting go.
TEST(AravisFifo, ACameraHeldByAnotherProgramIsInUse) {
  FakeGvCamera camera;
  GError* error = nullptr;
  ArvCamera* holder = arv_camera_new(camera.address().c_str(), &error);
  ASSERT_NE(holder, nullptr) << (error ? error->message : "");
  kcAravisOptions options = smallView(camera);
  std::string told;
  options.waiting = [&](const std::string& what) { told = what; };
  const auto began = Clock::now();
  try {
    kfOpenAravisCamera(options);
    ADD_FAILURE() << "a camera held by another program was opened";
  } catch (const kcIOError& e) {
    EXPECT_NE(std::string(e.what()).find("is in use"), std::string::npos) << e.what();
  }
  EXPECT_LT(secondsSince(began), 9.0);
  EXPECT_NE(told.find("heartbeat time-out of 3.0 s has run out"), std::string::npos) << told;
  g_object_unref(holder);
  EXPECT_NO_THROW(kfOpenAravisCamera(options));
}

// A search of exposure and brightness: the camera ends with its black
// level and the tables found in it on opening, and the result's settings
// bring its view close to the chart.
TEST(AravisFifo, CalibrationThroughADescribedCameraRestoresBlackLevelAndTablesAndImprovesTheView) {
  FakeGvCamera camera(FakeGvCamera::Description::floatSettings);
  for (std::uint32_t k = 0; k < 3; ++k) camera.setReg(FakeGvCamera::kLutEnable + 4 * k, 1);
  for (std::uint32_t i = 0; i < 3 * 256; ++i) camera.setReg(FakeGvCamera::kLutValue + 4 * i, i % 256 / 2);  // halving
  auto fifo = kfOpenAravisCamera(smallView(camera));
  EXPECT_EQ(fifo->properties().inputLutProp().inputLut(kc8BitInputLutProp::ePlane2)[200], 100);
  const auto was = kfViewDifference(acquire(*fifo), kfTestChart());
  const auto opened = registersOf(camera, true);
  const FifoState state = kfFifoStateOf(*fifo);

  kcColorCalibrationParams params = kfQuickParams();
  params.isBrightnessEnabled(true);
  kcColorCalibrationResult result;
  kfColorCalibrate(fifo, kfTestChart(), params, result, nullptr, 0);
  EXPECT_FALSE(result.acqInfo().failure().isFailure()) << result.acqInfo().failure().description();
  EXPECT_EQ(kfFifoStateOf(*fifo), state);
  EXPECT_EQ(registersOf(camera, true), opened);

  result.setFifoProperties(fifo);
  const auto now = kfViewDifference(acquire(*fifo), kfTestChart());
  std::printf("view difference per plane before %.2f %.2f %.2f, after %.2f %.2f %.2f\n", was[0], was[1], was[2], now[0],
              now[1], now[2]);
  // Exposure and brightness cannot undo the planes' different sensitivities; pel maps would.
  for (int k = 0; k < 3; ++k) EXPECT_LT(now[k], std::min(15.0, 0.5 * was[k])) << "plane " << k;
}

TEST(AravisFifo, ACameraThatStopsAnsweringEndsTheCalibrationCleanly) {
  FakeGvCamera camera;
  const auto began = Clock::now();
  {
    auto fifo = kfOpenAravisCamera(smallView(camera));
    std::thread unplug([&] {
      camera.waitForFrames(6);
      camera.stop();
    });
    kcColorCalibrationResult result;
    try {
      kfColorCalibrate(fifo, kfTestChart(), kfQuickParams(), result, nullptr, 0);
      EXPECT_TRUE(result.acqInfo().failure().isFailure());
    } catch (const kcTimeout::Expired&) {
    } catch (const kcIOError& e) {
      EXPECT_NE(std::string(e.what()).find("COLC-TEST"), std::string::npos) << e.what();
    }
    unplug.join();
    // Everything after the first failure fails at once.
    const auto after = Clock::now();
    EXPECT_THROW(fifo->properties().exposureProp().exposure(0.02), kcIOError);
    fifo->triggerEnable(true);
    EXPECT_THROW(fifo->start(0), kcIOError);
    EXPECT_LT(secondsSince(after), 0.5);
  }
  EXPECT_LT(secondsSince(began), 30.0);
}

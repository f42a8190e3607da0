#include "fake_gv_camera.h"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <opencv2/imgproc.hpp>
#include <stdexcept>

#include "host/acq/sim/scene.h"
#include "host/acq/sim/sensor.h"
#include "host/acq/sim/target_chart.h"
#include "host/imaging/cv_bridge.h"

namespace {

// A 4-byte big-endian register node (FloatReg or an unsigned IntReg); more follows the address.
std::string reg(const std::string& kind, const std::string& name, const std::string& address,
                const std::string& more = "") {
  return "<" + kind + " Name=\"" + name + "\" NameSpace=\"Custom\"><Address>" + address + "</Address>" + more +
         "<Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>" +
         (kind == "IntReg" ? "<Sign>Unsigned</Sign>" : "") + "<Endianess>BigEndian</Endianess></" + kind + ">\n";
}

// A float feature on a register of its own.
std::string floatFeature(const std::string& name, const std::string& address, const std::string& bounds) {
  return "<Float Name=\"" + name + "\" NameSpace=\"Standard\"><pValue>" + name + "Register</pValue>" + bounds +
         "</Float>\n" + reg("FloatReg", name + "Register", address);
}

// Float exposure, gain and black level, on registers the built-in
// description leaves unused.
const std::string kFloatSettings =
    floatFeature("ExposureTime", "0x400", "<Min>20</Min><Max>1000000</Max><Unit>us</Unit>") +
    floatFeature("Gain", "0x404", "<Min>0</Min><Max>24</Max><Unit>dB</Unit>") +
    floatFeature("BlackLevel", "0x408", "<Min>0</Min><Max>100</Max>");

const std::string kIntegerBlackLevel =
    R"(<Integer Name="BlackLevelRaw" NameSpace="Standard"><pValue>BlackLevelRawRegister</pValue>)"
    "<Min>0</Min><Max>255</Max></Integer>\n" +
    reg("IntReg", "BlackLevelRawRegister", "0x424");

// One table per plane, chosen by LUTSelector, its entries by LUTIndex.
const std::string kTables = R"(
  <Enumeration Name="LUTSelector" NameSpace="Standard">
    <EnumEntry Name="Red"><Value>0</Value></EnumEntry><EnumEntry Name="Green"><Value>1</Value></EnumEntry>
    <EnumEntry Name="Blue"><Value>2</Value></EnumEntry><pValue>LUTSelectorRegister</pValue>
  </Enumeration>
  <Boolean Name="LUTEnable" NameSpace="Standard">
    <pValue>LUTEnableRegister</pValue><OnValue>1</OnValue><OffValue>0</OffValue>
  </Boolean>
  <Integer Name="LUTIndex" NameSpace="Standard"><pValue>LUTIndexRegister</pValue><Min>0</Min><Max>255</Max></Integer>
  <Integer Name="LUTValue" NameSpace="Standard"><pValue>LUTValueRegister</pValue><Min>0</Min><Max>255</Max></Integer>
  <IntSwissKnife Name="LUTEntryNumber" NameSpace="Custom">
    <pVariable Name="SEL">LUTSelectorRegister</pVariable><pVariable Name="IDX">LUTIndexRegister</pVariable>
    <Formula>SEL * 256 + IDX</Formula>
  </IntSwissKnife>
)" + reg("IntReg", "LUTSelectorRegister", "0x40c") + reg("IntReg", "LUTIndexRegister", "0x420") +
                             reg("IntReg", "LUTEnableRegister", "0x410", R"(<pIndex Offset="4">LUTSelectorRegister</pIndex>)") +
                             reg("IntReg", "LUTValueRegister", "0x1000", R"(<pIndex Offset="4">LUTEntryNumber</pIndex>)");

// The colour transformation: one selector entry, twelve values chosen by
// ColorTransformationValueSelector, on floats of their own.
std::string colorTransformation() {
  std::string values;
  const char* names[] = {"Gain00", "Gain01", "Gain02", "Gain10", "Gain11", "Gain12",
                         "Gain20", "Gain21", "Gain22", "Offset0", "Offset1", "Offset2"};
  for (int i = 0; i < 12; ++i)
    values += std::string("<EnumEntry Name=\"") + names[i] + "\"><Value>" + std::to_string(i) + "</Value></EnumEntry>";
  return R"(
  <Enumeration Name="ColorTransformationSelector" NameSpace="Standard">
    <EnumEntry Name="RGBtoRGB"><Value>0</Value></EnumEntry><pValue>ColorTransformationSelectorRegister</pValue>
  </Enumeration>
  <Enumeration Name="ColorTransformationValueSelector" NameSpace="Standard">)" +
         values + R"(<pValue>ColorTransformationValueSelectorRegister</pValue>
  </Enumeration>
  <Float Name="ColorTransformationValue" NameSpace="Standard">
    <pValue>ColorTransformationValueRegister</pValue><Min>-4</Min><Max>4</Max>
  </Float>
  <Boolean Name="ColorTransformationEnable" NameSpace="Standard">
    <pValue>ColorTransformationEnableRegister</pValue><OnValue>1</OnValue><OffValue>0</OffValue>
  </Boolean>
)" + reg("IntReg", "ColorTransformationSelectorRegister", "0x2038") +
         reg("IntReg", "ColorTransformationValueSelectorRegister", "0x2034") +
         reg("IntReg", "ColorTransformationEnableRegister", "0x2030") +
         reg("FloatReg", "ColorTransformationValueRegister", "0x2000",
             R"(<pIndex Offset="4">ColorTransformationValueSelectorRegister</pIndex>)");
}

// User sets: Default (the factory settings) and two of the user's, loaded
// and saved by commands, and the one loaded at power-up.
std::string userSets() {
  const std::string sets = R"(<EnumEntry Name="Default"><Value>0</Value></EnumEntry>)"
                           R"(<EnumEntry Name="UserSet1"><Value>1</Value></EnumEntry>)"
                           R"(<EnumEntry Name="UserSet2"><Value>2</Value></EnumEntry>)";
  return R"(
  <Enumeration Name="UserSetSelector" NameSpace="Standard">)" +
         sets + R"(<pValue>UserSetSelectorRegister</pValue></Enumeration>
  <Command Name="UserSetLoad" NameSpace="Standard"><pValue>UserSetLoadRegister</pValue><CommandValue>1</CommandValue></Command>
  <Command Name="UserSetSave" NameSpace="Standard"><pValue>UserSetSaveRegister</pValue><CommandValue>1</CommandValue></Command>
  <Enumeration Name="UserSetDefault" NameSpace="Standard">)" +
         sets + R"(<pValue>UserSetDefaultRegister</pValue></Enumeration>
)" + reg("IntReg", "UserSetSelectorRegister", "0x2100") + reg("IntReg", "UserSetLoadRegister", "0x2104") +
         reg("IntReg", "UserSetSaveRegister", "0x2108") + reg("IntReg", "UserSetDefaultRegister", "0x210c");
}

// The registers a user set holds: exposure, gain and black level (of
// either description), GainAuto, the tables' switches and entries, and
// the colour transformation's values and switch.
const std::vector<std::uint32_t>& userSetRegisters() {
  static const std::vector<std::uint32_t> registers = [] {
    std::vector<std::uint32_t> r = {ARV_FAKE_CAMERA_REGISTER_EXPOSURE_TIME_US, ARV_FAKE_CAMERA_REGISTER_GAIN_RAW,
                                    ARV_FAKE_CAMERA_REGISTER_GAIN_MODE,        FakeGvCamera::kExposureTime,
                                    FakeGvCamera::kGain,                       FakeGvCamera::kBlackLevel,
                                    FakeGvCamera::kBlackLevelRaw,              FakeGvCamera::kColorTransformationEnable};
    for (std::uint32_t k = 0; k < 3; ++k) r.push_back(FakeGvCamera::kLutEnable + 4 * k);
    for (std::uint32_t i = 0; i < 3 * 256; ++i) r.push_back(FakeGvCamera::kLutValue + 4 * i);
    for (std::uint32_t i = 0; i < 12; ++i) r.push_back(FakeGvCamera::kColorTransformationValue + 4 * i);
    return r;
  }();
  return registers;
}

const char* const kBgrEntry = R"(
    <EnumEntry Name="BGR8" NameSpace="Standard"><Value>0x02180015</Value></EnumEntry>)";

// The built-in description with the features of the kind asked for, in a
// file of its own; the refused feature's register on a port the camera
// does not have, so that every access to it fails.
std::string extendedDescription(FakeGvCamera::Description description, const std::string& address,
                                const std::string& refused) {
  ArvFakeCamera* builtin = arv_fake_camera_new("XML");
  size_t size = 0;
  const char* builtinXml = arv_fake_camera_get_genicam_xml(builtin, &size);
  std::string xml(builtinXml, size);
  g_object_unref(builtin);
  const std::size_t rgb = xml.find("<EnumEntry Name=\"RGB8\"");
  const std::size_t end = xml.rfind("</RegisterDescription>");
  if (rgb == std::string::npos || end == std::string::npos)
    throw std::runtime_error("the fake camera's description has changed its shape");
  const std::size_t rgbEnd = xml.find("</EnumEntry>", rgb) + std::strlen("</EnumEntry>");
  const bool floats = description == FakeGvCamera::Description::floatSettings;
  xml.insert(end, (floats ? kFloatSettings : kIntegerBlackLevel) + kTables + colorTransformation() +
                      userSets());  // the later place first
  if (floats) xml.insert(rgbEnd, kBgrEntry);
  // The built-in TriggerSelector is a value of each client's own, which
  // no other client sees: on a register, a selector one program leaves
  // moved shows, as on a real camera.
  const std::size_t trigger = xml.find("<Integer Name=\"TriggerSelectorInteger\"");
  const std::size_t triggerEnd = xml.find("</Integer>", trigger);
  if (trigger == std::string::npos || triggerEnd == std::string::npos)
    throw std::runtime_error("the fake camera's description has changed its shape");
  xml.replace(trigger, triggerEnd + std::strlen("</Integer>") - trigger,
              reg("IntReg", "TriggerSelectorInteger", "0x2200"));
  if (!refused.empty()) {
    const std::string node = "Name=\"" + refused + "Register\" NameSpace=\"Custom\">";
    const std::size_t at = xml.find(node);
    const std::size_t port = xml.find("<pPort>Device</pPort>", at);
    if (at == std::string::npos || port == std::string::npos)
      throw std::runtime_error("the fake camera has no feature " + refused + " to refuse");
    xml.replace(port, std::strlen("<pPort>Device</pPort>"), "<pPort>NoSuchPort</pPort>");
  }
  const char* tmp = std::getenv("COLC_TEST_TMP");
  const std::string dir = tmp ? tmp : "/tmp";
  std::filesystem::create_directories(dir);
  const std::string file = dir + "/fake-camera-" + address + "-" + std::to_string(getpid()) + ".xml";
  std::ofstream(file) << xml;
  return file;
}

// The colour, as an index into blue-green-red, of each pel of a 2 x 2
// Bayer cell, by GenICam's naming: the first row's first two pels, then the
// second row's.
const char* bayerCell(ArvPixelFormat format) {
  switch (format) {
    case ARV_PIXEL_FORMAT_BAYER_RG_8: return "\2\1\1\0";  // RGGB
    case ARV_PIXEL_FORMAT_BAYER_GR_8: return "\1\2\0\1";  // GRBG
    case ARV_PIXEL_FORMAT_BAYER_GB_8: return "\1\0\2\1";  // GBRG
    case ARV_PIXEL_FORMAT_BAYER_BG_8: return "\0\1\1\2";  // BGGR
    default: return nullptr;
  }
}

}  // namespace

// The scene and sensor, built for the region of the first frame and again
// when it changes. Runs only on the fake camera's thread.
struct FakeGvCamera::Renderer {
  int width = 0;
  int height = 0;
  std::unique_ptr<kcSimScene> scene;
  std::unique_ptr<kcSimSensor> sensor;
};

FakeGvCamera::FakeGvCamera(Description description, const std::string& address, const std::string& userSets,
                           const std::string& refused)
    : address_(address), description_(description), renderer_(std::make_unique<Renderer>()), userSetsFile_(userSets) {
  if (description_ != Description::builtIn) xmlFile_ = extendedDescription(description_, address_, refused);
  camera_ = arv_gv_fake_camera_new_full(address_.c_str(), "COLC-TEST", xmlFile_.empty() ? nullptr : xmlFile_.c_str());
  if (!camera_ || !arv_gv_fake_camera_is_running(camera_)) {
    if (camera_) g_object_unref(camera_);
    if (!xmlFile_.empty()) std::remove(xmlFile_.c_str());
    throw std::runtime_error("cannot serve a fake camera on " + address_);
  }
  registers_ = arv_gv_fake_camera_get_fake_camera(camera_);
  g_object_ref(registers_);  // its registers stay readable after stop()
  // Software triggers are looked for at this rate; the default of 25 Hz
  // makes every frame wait tens of milliseconds.
  arv_fake_camera_set_trigger_frequency(registers_, 1000.0);
  if (description_ == Description::floatSettings) {
    for (const auto& [address, value] : {std::pair{kExposureTime, 10000.0f}, {kGain, 12.0f}, {kBlackLevel, 40.0f}})
      setReg(address, std::bit_cast<std::uint32_t>(value));
  }
  if (description_ != Description::builtIn) {
    // The identity, switched off.
    for (std::uint32_t k = 0; k < 3; ++k) setReg(kColorTransformationValue + 16 * k, std::bit_cast<std::uint32_t>(1.0f));
    userSets_[0] = currentSet();
    readUserSets();
    setReg(kUserSetDefault, powerUpSet_);
    watching_ = true;
    userSetWatcher_ = std::thread(&FakeGvCamera::runUserSetCommands, this);
  }
  arv_fake_camera_set_fill_pattern(registers_, &FakeGvCamera::fill, this);
}

FakeGvCamera::UserSet FakeGvCamera::currentSet() const {
  UserSet set;
  for (std::uint32_t address : userSetRegisters()) set.push_back(reg(address));
  return set;
}

void FakeGvCamera::loadSet(const UserSet& set) {
  for (std::size_t i = 0; i < set.size(); ++i) setReg(userSetRegisters()[i], set[i]);
}

void FakeGvCamera::loadPowerUpSet() {
  if (powerUpSet_ != 0 && userSets_.count(powerUpSet_)) loadSet(userSets_.at(powerUpSet_));
}

// The file: a line "default N", then a line "set N" and its values for
// each saved user set.
void FakeGvCamera::readUserSets() {
  if (userSetsFile_.empty()) return;
  std::ifstream in(userSetsFile_);
  if (!in) return;  // nothing saved yet
  std::string word;
  in >> word >> powerUpSet_;
  std::uint32_t number = 0;
  while (in >> word >> number) {
    UserSet set(userSetRegisters().size());
    for (std::uint32_t& value : set) in >> value;
    userSets_[number] = set;
  }
  if (!in.eof() || word != "set") throw std::runtime_error("cannot read the user sets in " + userSetsFile_);
}

void FakeGvCamera::writeUserSets() const {
  if (userSetsFile_.empty()) return;
  const std::string temporary = userSetsFile_ + ".new";
  {
    std::ofstream out(temporary);
    out << "default " << powerUpSet_ << "\n";
    for (const auto& [number, set] : userSets_) {
      if (number == 0) continue;
      out << "set " << number;
      for (std::uint32_t value : set) out << " " << value;
      out << "\n";
    }
    if (!out.flush()) throw std::runtime_error("cannot write the user sets to " + temporary);
  }
  std::filesystem::rename(temporary, userSetsFile_);
}

void FakeGvCamera::runUserSetCommands() {
  while (watching_) {
    const std::uint32_t selected = reg(kUserSetSelector);
    if (reg(kUserSetLoad) != 0) {
      if (userSets_.count(selected)) loadSet(userSets_.at(selected));
      setReg(kUserSetLoad, 0);
    }
    if (reg(kUserSetSave) != 0) {
      if (selected != 0) {  // the factory settings stay
        userSets_[selected] = currentSet();
        writeUserSets();
        ++userSetsSaved_;
      }
      setReg(kUserSetSave, 0);
    }
    if (const std::uint32_t chosen = reg(kUserSetDefault); chosen != powerUpSet_) {
      powerUpSet_ = chosen;
      writeUserSets();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void FakeGvCamera::setUpAsFound() {
  setReg(ARV_FAKE_CAMERA_REGISTER_WIDTH, 256);  // a small view keeps the tests fast
  setReg(ARV_FAKE_CAMERA_REGISTER_HEIGHT, 192);
  setReg(ARV_FAKE_CAMERA_REGISTER_X_OFFSET, 16);
  setReg(ARV_FAKE_CAMERA_REGISTER_GAIN_RAW, 2);
  setReg(ARV_FAKE_CAMERA_REGISTER_GAIN_MODE, 2);  // GainAuto Continuous
  if (description_ == Description::builtIn) return;
  if (description_ == Description::integerSettings) setReg(kBlackLevelRaw, 102);  // no offset
  // Red halves, green is the identity switched on, blue is off but holds a negative.
  for (std::uint32_t i = 0; i < 256; ++i) {
    setReg(kLutValue + 4 * i, i / 2);
    setReg(kLutValue + 4 * (256 + i), i);
    setReg(kLutValue + 4 * (512 + i), 255 - i);
  }
  for (std::uint32_t k = 0; k < 3; ++k) setReg(kLutEnable + 4 * k, k < 2 ? 1 : 0);
  setReg(kLutSelector, 2);
  setReg(kLutIndex, 77);
  setReg(kTriggerSelector, 1);  // AcquisitionStart: the FIFO reads and writes under FrameStart
}

FakeGvCamera::~FakeGvCamera() {
  watching_ = false;
  if (userSetWatcher_.joinable()) userSetWatcher_.join();
  stop();
  if (registers_) g_object_unref(registers_);
  if (!xmlFile_.empty()) std::remove(xmlFile_.c_str());
}

void FakeGvCamera::stop() {
  std::lock_guard<std::mutex> lock(stopping_);
  if (camera_) g_object_unref(camera_);  // joins the camera's threads
  camera_ = nullptr;
}

std::uint32_t FakeGvCamera::reg(std::uint32_t address) const {
  guint32 value = 0;
  arv_fake_camera_read_register(registers_, address, &value);
  return value;
}

float FakeGvCamera::floatReg(std::uint32_t address) const { return std::bit_cast<float>(reg(address)); }

void FakeGvCamera::setReg(std::uint32_t address, std::uint32_t value) {
  arv_fake_camera_write_register(registers_, address, value);
}

void FakeGvCamera::waitForFrames(unsigned long n) {
  std::unique_lock<std::mutex> lock(framesMutex_);
  framesDone_.wait(lock, [&] { return frames_ >= n; });
}

// The colour transformation acts on the levels the sensor puts out,
// before the lookup tables, as cameras place it: the tables then shape
// (or encode) what the transformation mixed. The fake's sensor levels are
// already sRGB-encoded 8-bit values, so its transformation works in the
// encoded domain, on levels scaled to 0..1 (offsets too), clamped and
// rounded back to levels.
void FakeGvCamera::outputStage(cv::Mat& bgr) const {
  const bool transform = reg(kColorTransformationEnable) != 0;
  double m[12];
  for (std::uint32_t i = 0; i < 12; ++i) m[i] = floatReg(kColorTransformationValue + 4 * i);
  unsigned char tables[3][256];
  for (std::uint32_t k = 0; k < 3; ++k) {
    const bool on = reg(kLutEnable + 4 * k) != 0;
    for (std::uint32_t i = 0; i < 256; ++i)
      tables[k][i] = static_cast<unsigned char>(on ? reg(kLutValue + 4 * (256 * k + i)) : i);
  }
  for (int y = 0; y < bgr.rows; ++y)
    for (cv::Vec3b& pel : cv::Mat_<cv::Vec3b>(bgr.row(y))) {
      const double rgb[3] = {pel[2] / 255.0, pel[1] / 255.0, pel[0] / 255.0};
      for (int k = 0; k < 3; ++k) {
        int level = pel[2 - k];
        if (transform) {
          const double v = m[3 * k] * rgb[0] + m[3 * k + 1] * rgb[1] + m[3 * k + 2] * rgb[2] + m[9 + k];
          level = static_cast<int>(std::lround(255.0 * std::clamp(v, 0.0, 1.0)));
        }
        pel[2 - k] = tables[k][level];
      }
    }
}

// The simulated camera's settings come from the fake camera's registers:
// contrast and brightness are the gain and black level on the scale of
// their bounds, as the Aravis FIFO maps them.
void FakeGvCamera::fill(ArvBuffer* buffer, void* data, guint32 exposureUs, guint32 gainRaw, ArvPixelFormat format) {
  auto& self = *static_cast<FakeGvCamera*>(data);
  Renderer& r = *self.renderer_;
  const int width = arv_buffer_get_image_width(buffer);
  const int height = arv_buffer_get_image_height(buffer);
  if (width != r.width || height != r.height) {
    kcSimCameraConfig config;
    config.width = width;
    config.height = height;
    config.crossTalk = 0.0;
    r = {width, height, std::make_unique<kcSimScene>(kfSimTargetChart(192), config),
         std::make_unique<kcSimSensor>(width, height, 1, 0.0, 1)};
  }

  kcSimExposure settings;
  const bool tables = self.description_ != Description::builtIn;
  if (self.description_ == Description::floatSettings) {
    settings.exposure = self.floatReg(kExposureTime) * 1e-6;
    settings.contrast = {self.floatReg(kGain) / 24.0};
    settings.brightness = {self.floatReg(kBlackLevel) / 100.0};
  } else {
    settings.exposure = exposureUs * 1e-6;
    settings.contrast = {gainRaw / 10.0};
    // Without a black level feature, no offset.
    settings.brightness = {tables ? self.reg(kBlackLevelRaw) / 255.0 : kcSimModel::kBlackZero};
  }
  // The sensor's own tables stay the identity: the output stage applies the camera's.
  for (std::uint32_t k = 0; k < 3; ++k)
    for (std::uint32_t i = 0; i < 256; ++i) settings.tables[k][i] = static_cast<unsigned char>(i);
  const unsigned long frame = self.frames_ + 1;
  cv::Mat bgr = kfBGRMat(r.sensor->expose(r.scene->levels(), r.scene->flatRuns(), settings, frame));
  if (tables) self.outputStage(bgr);

  auto* out = static_cast<unsigned char*>(const_cast<void*>(arv_buffer_get_data(buffer, nullptr)));
  if (const char* cell = bayerCell(format)) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        out[y * width + x] = bgr.at<cv::Vec3b>(y, x)[cell[2 * (y % 2) + x % 2]];
  } else {
    cv::Mat converted(height, width, format == ARV_PIXEL_FORMAT_MONO_8 ? CV_8UC1 : CV_8UC3, out);
    if (format == ARV_PIXEL_FORMAT_RGB_8_PACKED)
      cv::cvtColor(bgr, converted, cv::COLOR_BGR2RGB);
    else if (format == ARV_PIXEL_FORMAT_MONO_8)
      cv::cvtColor(bgr, converted, cv::COLOR_BGR2GRAY);
    else
      bgr.copyTo(converted);  // BGR8
  }
  {
    std::lock_guard<std::mutex> lock(self.framesMutex_);
    self.frames_ = frame;
  }
  self.framesDone_.notify_all();
}

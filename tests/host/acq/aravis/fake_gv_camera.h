// A GigE Vision camera for tests: Aravis's fake camera serving one
// loopback address, its frames rendered by the simulated camera's scene and
// sensor model at the exposure, gain and black level the fake camera holds.
// Tests reach it over the real protocol and never discover: they open it
// by its address. They run in a network namespace of their own (see
// CMakeLists.txt beside this file).
//
// The descriptions with lookup tables also have a colour transformation
// and user sets. A user set holds exposure, gain, black level, GainAuto,
// the tables and their switches, and the colour transformation. Saved sets
// and the one chosen for power-up (UserSetDefault) live in the camera's
// memory and, when the camera is given a file, in that file too: a camera
// served again from the file powers up with that set loaded, as a real
// camera does after a power cycle.
#pragma once

#include <arv.h>

#include <opencv2/core.hpp>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FakeGvCamera {
 public:
  // Registers of the extra features.
  static constexpr std::uint32_t kExposureTime = 0x400;
  static constexpr std::uint32_t kGain = 0x404;
  static constexpr std::uint32_t kBlackLevel = 0x408;
  static constexpr std::uint32_t kLutSelector = 0x40c;
  static constexpr std::uint32_t kLutEnable = 0x410;  // + 4 * plane
  static constexpr std::uint32_t kLutIndex = 0x420;
  static constexpr std::uint32_t kBlackLevelRaw = 0x424;
  static constexpr std::uint32_t kLutValue = 0x1000;  // + 4 * (256 * plane + index)
  // The colour transformation's twelve values, Gain00 .. Gain22 then
  // Offset0 .. Offset2 (floats), and its switch.
  static constexpr std::uint32_t kColorTransformationValue = 0x2000;  // + 4 * value
  static constexpr std::uint32_t kColorTransformationEnable = 0x2030;
  static constexpr std::uint32_t kColorTransformationValueSelector = 0x2034;
  static constexpr std::uint32_t kColorTransformationSelector = 0x2038;
  // User sets: 0 is Default (the factory settings), then UserSet1, UserSet2.
  static constexpr std::uint32_t kUserSetSelector = 0x2100;
  static constexpr std::uint32_t kUserSetLoad = 0x2104;
  static constexpr std::uint32_t kUserSetSave = 0x2108;
  static constexpr std::uint32_t kUserSetDefault = 0x210c;
  // TriggerSelector (FrameStart 0, AcquisitionStart 1).
  static constexpr std::uint32_t kTriggerSelector = 0x2200;

  // The GenICam description the camera serves.
  enum class Description {
    // As Aravis has it: ExposureTimeAbs (a float over an integer register),
    // GainRaw 0 .. 10, GainAuto, and no black level.
    builtIn,
    // Adds, on spare registers: float ExposureTime (20 .. 1e6 us), Gain
    // (0 .. 24) and BlackLevel (0 .. 100), per-plane lookup tables
    // (LUTSelector Red/Green/Blue, LUTEnable, LUTIndex, LUTValue), a colour
    // transformation (ColorTransformationSelector RGBtoRGB,
    // ColorTransformationValueSelector Gain00 .. Gain22 and Offset0 ..
    // Offset2, ColorTransformationValue -4 .. 4, ColorTransformationEnable),
    // user sets (UserSetSelector Default/UserSet1/UserSet2, UserSetLoad,
    // UserSetSave, UserSetDefault), TriggerSelector on a register, and
    // the pel format BGR8.
    floatSettings,
    // Adds to the built-in features an integer BlackLevelRaw (0 .. 255),
    // the per-plane lookup tables, the colour transformation, the user sets
    // and TriggerSelector on a register.
    integerSettings,
  };

  // Serves the camera; std::runtime_error when the address cannot be served.
  // userSets: the file that keeps the saved user sets and UserSetDefault
  // (read when it exists, written on every change); empty: memory only.
  // refused: a feature of the extended descriptions whose register is on
  // a port the camera does not have, so that every access to it fails.
  explicit FakeGvCamera(Description description = Description::builtIn, const std::string& address = "127.0.0.1",
                        const std::string& userSets = "", const std::string& refused = "");
  ~FakeGvCamera();
  FakeGvCamera(const FakeGvCamera&) = delete;
  FakeGvCamera& operator=(const FakeGvCamera&) = delete;

  const std::string& address() const { return address_; }
  // Leaves the camera as a user might have set it up before colc: a
  // region of 256 x 192 pels off the sensor's corner, gain
  // and black level away from their bounds, automatic gain on, a
  // different table switched on for each plane, and LUTSelector and
  // LUTIndex away from their first entries.
  void setUpAsFound();
  // Loads the set UserSetDefault names, as the camera does at power-up;
  // Default keeps the settings as they are.
  void loadPowerUpSet();
  // Stops serving: from now on the camera does not answer. Safe from any thread.
  void stop();

  std::uint32_t reg(std::uint32_t address) const;
  float floatReg(std::uint32_t address) const;
  void setReg(std::uint32_t address, std::uint32_t value);

  // How many times a user set was saved since the camera started.
  unsigned long userSetsSaved() const { return userSetsSaved_; }

  // Waits until at least n frames were rendered.
  void waitForFrames(unsigned long n);

 private:
  struct Renderer;
  static void fill(ArvBuffer* buffer, void* self, guint32 exposureUs, guint32 gainRaw, ArvPixelFormat format);
  // The pels' levels through the colour transformation, when it is on,
  // and then the lookup tables, as the camera's output stage.
  void outputStage(cv::Mat& bgr) const;

  // A user set: the value of each register of kUserSetRegisters().
  using UserSet = std::vector<std::uint32_t>;
  UserSet currentSet() const;
  void loadSet(const UserSet& set);
  void readUserSets();
  void writeUserSets() const;
  // Runs the user-set commands written to the camera, until stopped: the
  // fake camera's registers are plain memory, so the commands are looked
  // for rather than heard.
  void runUserSetCommands();

  std::string address_;
  Description description_;
  std::string xmlFile_;
  std::unique_ptr<Renderer> renderer_;
  std::mutex stopping_;
  ArvGvFakeCamera* camera_ = nullptr;
  ArvFakeCamera* registers_ = nullptr;
  std::string userSetsFile_;
  std::map<std::uint32_t, UserSet> userSets_;  // by UserSetSelector value; 0 holds the factory settings
  std::uint32_t powerUpSet_ = 0;
  std::atomic<bool> watching_{false};
  std::atomic<unsigned long> userSetsSaved_{0};
  std::thread userSetWatcher_;
  unsigned long frames_ = 0;
  std::mutex framesMutex_;
  std::condition_variable framesDone_;
};

// A GigE Vision camera for tests: Aravis's fake camera serving one
// loopback address, its frames rendered by the simulated camera's scene and
// sensor model at the exposure, gain and black level the fake camera holds.
// Tests reach it over the real protocol and never discover: they open it
// by its address. They run in a network namespace of their own (see
// CMakeLists.txt beside this file).
#pragma once

#include <arv.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

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

  // The GenICam description the camera serves.
  enum class Description {
    // As Aravis has it: ExposureTimeAbs (a float over an integer register),
    // GainRaw 0 .. 10, GainAuto, and no black level.
    builtIn,
    // Adds, on spare registers: float ExposureTime (20 .. 1e6 us), Gain
    // (0 .. 24) and BlackLevel (0 .. 100), per-plane lookup tables
    // (LUTSelector Red/Green/Blue, LUTEnable, LUTIndex, LUTValue), and the
    // pel format BGR8.
    floatSettings,
    // Adds to the built-in features an integer BlackLevelRaw (0 .. 255)
    // and the per-plane lookup tables.
    integerSettings,
  };

  // Serves the camera; std::runtime_error when the address cannot be served.
  explicit FakeGvCamera(Description description = Description::builtIn, const std::string& address = "127.0.0.1");
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
  // Stops serving: from now on the camera does not answer. Safe from any thread.
  void stop();

  std::uint32_t reg(std::uint32_t address) const;
  float floatReg(std::uint32_t address) const;
  void setReg(std::uint32_t address, std::uint32_t value);

  // Waits until at least n frames were rendered.
  void waitForFrames(unsigned long n);

 private:
  struct Renderer;
  static void fill(ArvBuffer* buffer, void* self, guint32 exposureUs, guint32 gainRaw, ArvPixelFormat format);

  std::string address_;
  Description description_;
  std::string xmlFile_;
  std::unique_ptr<Renderer> renderer_;
  std::mutex stopping_;
  ArvGvFakeCamera* camera_ = nullptr;
  ArvFakeCamera* registers_ = nullptr;
  unsigned long frames_ = 0;
  std::mutex framesMutex_;
  std::condition_variable framesDone_;
};

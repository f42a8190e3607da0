// One GenICam camera (GigE Vision or USB3 Vision) opened through Aravis,
// its features read and written by name. Every failure is a kcIOError that
// names the camera and the feature.
//
// A camera that stops answering makes every access wait for the control
// protocol's time-out (seconds each). So the first access that runs into
// a time-out or a lost connection, or a loss of control reported by the
// heartbeat, marks the camera gone, and from then on every access fails at
// once.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

typedef struct _ArvCamera ArvCamera;
typedef struct _GError GError;

class kcGenicamDevice {
 public:
  // deviceId: an Aravis device id, or a GigE Vision camera's address; an
  // empty id opens the first camera found, which broadcasts a discovery
  // on every network interface. kcIOError when no such camera answers, or
  // when another program controls a GigE Vision camera. A program that
  // ended without letting go of it holds it until the camera's heartbeat
  // time-out has run out, so that long is waited for, from the opening
  // on; waiting, when given, is told first, with a sentence saying so.
  explicit kcGenicamDevice(const std::string& deviceId,
                           const std::function<void(const std::string&)>& waiting = nullptr);
  ~kcGenicamDevice();
  kcGenicamDevice(const kcGenicamDevice&) = delete;
  kcGenicamDevice& operator=(const kcGenicamDevice&) = delete;

  // "vendor model (serial)", for messages.
  const std::string& name() const { return name_; }
  bool isGone() const { return gone_; }

  std::string vendor();
  std::string model();
  std::string serial();
  std::string deviceId();

  // True when the camera implements the feature and it can be used now.
  bool has(const char* feature);
  // True for an integer feature, false for any other kind.
  bool isInteger(const char* feature);
  // True for an enumeration, read and written by its entries' names.
  bool isEnumeration(const char* feature);

  double getFloat(const char* feature);
  void setFloat(const char* feature, double value);
  std::pair<double, double> floatBounds(const char* feature);
  // The step between the values a float feature takes; 0 when it declares none.
  double floatIncrement(const char* feature);
  std::int64_t getInteger(const char* feature);
  void setInteger(const char* feature, std::int64_t value);
  std::pair<std::int64_t, std::int64_t> integerBounds(const char* feature);
  std::int64_t integerIncrement(const char* feature);
  bool getBoolean(const char* feature);
  void setBoolean(const char* feature, bool value);
  // Enumerations are read and written by their entries' names.
  std::string getString(const char* feature);
  void setString(const char* feature, const std::string& value);
  // The entries an enumeration offers now; empty when it has none.
  std::vector<std::string> entries(const char* feature);
  // True when the camera has the enumeration and it offers the entry.
  bool offers(const char* feature, const std::string& entry);
  void execute(const char* command);
  // The sensor region read, in pels.
  void setRegion(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height);

  // The raw camera, for the stream and the region; the calls made on it
  // must go through check().
  ArvCamera* camera() const { return camera_; }
  // Throws kcIOError when the camera is gone, before any access.
  void checkPresent() const;
  // After the camera was found gone: true once it answers again and is
  // under this program's control (a GigE Vision camera that stalled past
  // its heartbeat time-out has let go of its control channel, which is
  // taken again); every access works again then. One try, which takes the
  // control protocol's time-out when the camera still does not answer.
  // False at once for a camera of another kind.
  bool regainControl();
  // Turns an error that an Aravis call left into kcIOError naming what;
  // does nothing without one. Marks the camera gone when the error says
  // it no longer answers.
  void check(GError* error, const std::string& what);

 private:
  static void onControlLost(void* device, void* self);
  void takeControl(const std::string& shown, std::chrono::steady_clock::time_point opening,
                   const std::function<void(const std::string&)>& waiting);

  ArvCamera* camera_ = nullptr;
  std::string name_;
  std::atomic<bool> gone_{false};
  unsigned long controlLostHandler_ = 0;
};

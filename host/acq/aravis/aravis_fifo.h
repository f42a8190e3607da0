// A FIFO over a GenICam camera (GigE Vision or USB3 Vision) driven through
// Aravis. feature_map.h says which camera features serve which setting.
//
// On opening, the FIFO reads every feature it may change (camera_state.h,
// camera_lut.h) and keeps what it found in a file (found_state_file.h),
// then picks its pel format and region, switches the camera's automatic
// functions off and sets up manual (software) triggering, with triggers
// enabled; exposure, contrast, brightness and the input tables are read
// from the camera. Closing puts every one of those features back exactly
// as found, whatever happened in between, and removes the file: the FIFO
// borrows the camera and gives it back. A camera that stops answering is
// asked again, for up to restoreTimeout seconds, and put back once it
// answers. When the file of an earlier run is there (it was killed, or
// could not reach the camera), opening first stops the acquisition that
// run left running and puts back what that run found. The camera streams only while
// acquisitions run, from the first start() (or completion, when
// free-running) until the trigger model changes or the FIFO closes.
//
// A frame that arrives incomplete (lost packets) is acquired again, with
// the same settings, up to kFrameAttempts times in all before the
// completion reports the failure.
//
// Time-outs: a completion waits at most the exposure plus frameTimeout,
// also when told to wait without limit, since a camera that is gone would
// otherwise hang the caller. A camera that stops answering fails the
// access that finds out (after the control protocol's own time-out, a few
// seconds) and every later one at once.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "colc/host/acq.h"
#include "host/acq/aravis/camera_lut.h"
#include "host/acq/aravis/feature_map.h"
#include "host/acq/stored_props.h"

class kcGenicamDevice;
class kcCameraState;
class kcFoundStateFile;
typedef struct _ArvStream ArvStream;

// How long closing keeps asking a camera that stopped answering, by default, in seconds.
inline constexpr double kDefaultRestoreTimeout = 30.0;

struct kcAravisOptions {
  // An Aravis device id or a GigE Vision camera's address; empty: the
  // first camera found (a discovery broadcast on every interface).
  std::string deviceId;
  // A GenICam pel format name from kfDecodablePixelFormats(); empty: the
  // camera's own when it is a colour one colc decodes, else the best offered.
  std::string pixelFormat;
  // The sensor region to read, in pels; a width of 0 keeps the camera's.
  long x = 0;
  long y = 0;
  long width = 0;
  long height = 0;
  // The longest wait for a frame beyond its exposure, in seconds.
  double frameTimeout = 5.0;
  // Frame buffers queued on the stream.
  int buffers = 4;
  // Told, with a sentence to show, when the camera is held by another
  // program and the opening waits for it (genicam_device.h), and when it
  // puts back what an earlier run left changed.
  std::function<void(const std::string&)> waiting;
  // How long closing keeps asking a camera that stopped answering, in seconds.
  double restoreTimeout = kDefaultRestoreTimeout;
  // The folder of the files of what was found (found_state_file.h); empty: the default.
  std::string stateFolder;
};

// Who a camera is, as it says itself (empty where it does not), and where
// on its sensor the region colc reads lies.
struct kcAravisCameraIdentity {
  std::string vendor;
  std::string model;
  std::string serial;
  std::string firmware;
  long x = 0;
  long y = 0;
};

// Reads who the camera is, and its region's offsets.
kcAravisCameraIdentity kfReadCameraIdentity(kcGenicamDevice& device);

class kcAravisAcqFifo : public kcAcqFifo,
                        private kcExposureProp,
                        private kcContrastBrightnessProp,
                        private kc8BitInputLutProp {
 public:
  // kcIOError when the camera cannot be opened or set up, kcBadArgument
  // for options it cannot take (a pel format it does not offer, a region
  // outside the sensor, a time-out that is not positive).
  explicit kcAravisAcqFifo(const kcAravisOptions& options);
  // Puts the camera back as close() does, silently.
  ~kcAravisAcqFifo() override;

  static constexpr int kFrameAttempts = 3;

  // Stops streaming and puts back every feature as found, asking a camera
  // that stopped answering again until it answers or restoreTimeout has
  // run out. kcIOError naming the features that could not be put back;
  // the file of what was found then stays for the next opening. The FIFO
  // is not used again after; a second call does nothing.
  void close();

  // "vendor model (serial)".
  const std::string& name() const;
  // Who the camera is, read when it was opened.
  const kcAravisCameraIdentity& identity() const { return identity_; }
  const kcCameraFeatureMap& features() const { return features_; }
  const std::string& pixelFormat() const { return pixelFormat_; }
  // The size of the images, in pels.
  long width() const { return width_; }
  long height() const { return height_; }

  kcAcqProps properties() override { return {this, this, this}; }
  const kcTriggerModel& triggerModel() const override { return *model_; }
  // kcBadArgument for manual triggering on a camera without a software trigger.
  void triggerModel(const kcTriggerModel& model) override;
  bool triggerEnable() const override { return enabled_; }
  void triggerEnable(bool enable) override;
  bool start(unsigned long flags) override;
  kcPtrHandle<kcAcqImage> completeAcq(const CompleteArgs& args) override;

 private:
  using TapChannel = kcContrastBrightnessProp::Channel;
  using PlaneChannel = kc8BitInputLutProp::Channel;

  double exposure() const override { return values_.exposure(); }
  void exposure(double seconds) override;
  int numTaps() const override { return 1; }
  double contrast(TapChannel tap) const override { return values_.contrast(tap); }
  double brightness(TapChannel tap) const override { return values_.brightness(tap); }
  void setContrastEx(double value, Taps taps) override;
  void setBrightnessEx(double value, Taps taps) override;
  void inputLut(const unsigned char* table) override;
  void inputLut(const unsigned char* table, PlaneChannel plane) override;
  const unsigned char* inputLut(PlaneChannel plane) const override { return values_.inputLut(plane); }

  std::vector<kcRestoreFailure> putBack() noexcept;
  // One pass over the tables and the other features.
  std::vector<kcRestoreFailure> putBackOnce() noexcept;
  void setIfDifferent(const char* feature, const std::string& entry);
  void chooseFormatAndRegion(const kcAravisOptions& options);
  void readSettings();
  void writeTriggerModel(const kcTriggerModel& model);
  // Loads changed tables on the camera (or leaves them to decode()) and keeps them.
  void commitTables(const kcStoredAcqProps& next);
  bool freeRunning() const { return enabled_ && model_->isFreeRunning(); }
  void startStreaming();
  void stopStreaming() noexcept;
  // Hands frames already delivered back to the stream unseen: they were
  // taken before the latest trigger or setting.
  void dropDelivered();
  kcPtrHandle<kcAcqImage> decode(void* buffer, kcAcquireInfo* info);

  std::unique_ptr<kcGenicamDevice> device_;
  kcCameraFeatureMap features_;
  std::unique_ptr<kcCameraState> state_;
  std::unique_ptr<kcCameraLut> lut_;
  std::unique_ptr<kcFoundStateFile> foundFile_;
  double restoreTimeout_;
  std::string pixelFormat_;
  kcAravisCameraIdentity identity_;
  long width_ = 0;
  long height_ = 0;
  double frameTimeout_;
  int buffers_;
  kcStoredAcqProps values_;                  // the settings as last written
  std::array<bool, 3> mapPlane_{};           // planes whose table colc applies
  const kcTriggerModel* model_ = nullptr;
  bool enabled_ = true;
  ArvStream* stream_ = nullptr;              // while streaming
  bool acquisitionMayRun_ = false;           // started, and not known to be stopped since
  unsigned long started_ = 0;                // software triggers not yet completed
  unsigned long sequence_ = 0;
  bool closed_ = false;
};

// Opens a camera as a FIFO (see kcAravisAcqFifo).
kcPtrHandle<kcAravisAcqFifo> kfOpenAravisCamera(const kcAravisOptions& options = {});

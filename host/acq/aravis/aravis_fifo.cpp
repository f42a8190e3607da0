#include "host/acq/aravis/aravis_fifo.h"

#include <arv.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <thread>

#include "host/acq/aravis/camera_state.h"
#include "host/acq/aravis/found_state_file.h"
#include "host/acq/aravis/frame_decoder.h"
#include "host/acq/aravis/genicam_device.h"
#include "host/acq/aravis/left_state.h"
#include "host/runtime/number_text.h"

namespace {

bool isIdentity(const unsigned char* table) {
  return std::equal(table, table + 256, kc8BitInputLutProp::positive8BitLut);
}

const char* statusText(ArvBufferStatus status) {
  switch (status) {
    case ARV_BUFFER_STATUS_CLEARED: return "cleared";
    case ARV_BUFFER_STATUS_TIMEOUT: return "incomplete when its time ran out";
    case ARV_BUFFER_STATUS_MISSING_PACKETS: return "missing packets";
    case ARV_BUFFER_STATUS_WRONG_PACKET_ID: return "packets of another frame";
    case ARV_BUFFER_STATUS_SIZE_MISMATCH: return "larger than its buffer";
    case ARV_BUFFER_STATUS_FILLING: return "still being filled";
    case ARV_BUFFER_STATUS_ABORTED: return "aborted";
    default: return "of unknown status";
  }
}

// Gives a popped buffer back to its stream on every exit.
class Popped {
 public:
  Popped(ArvStream* stream, ArvBuffer* buffer) : stream_(stream), buffer_(buffer) {}
  ~Popped() {
    if (buffer_) arv_stream_push_buffer(stream_, buffer_);
  }
  Popped(const Popped&) = delete;
  Popped& operator=(const Popped&) = delete;
  ArvBuffer* get() const { return buffer_; }
  explicit operator bool() const { return buffer_ != nullptr; }
  // Swaps in a newer buffer, giving the current one back.
  void replace(ArvBuffer* newer) {
    arv_stream_push_buffer(stream_, buffer_);
    buffer_ = newer;
  }

 private:
  ArvStream* stream_;
  ArvBuffer* buffer_;
};

}  // namespace

kcAravisAcqFifo::kcAravisAcqFifo(const kcAravisOptions& options)
    : restoreTimeout_(options.restoreTimeout), frameTimeout_(options.frameTimeout), buffers_(options.buffers) {
  if (!(std::isfinite(frameTimeout_) && frameTimeout_ > 0.0))
    throw kcBadArgument("frame time-out " + kfNumberText(frameTimeout_) + " s is not positive");
  if (!(std::isfinite(restoreTimeout_) && restoreTimeout_ >= 0.0))
    throw kcBadArgument("restore time-out " + kfNumberText(restoreTimeout_) + " s is not a time");
  if (buffers_ < 1 || buffers_ > 64) throw kcBadArgument("frame buffers " + std::to_string(buffers_) + " not in 1..64");
  device_ = std::make_unique<kcGenicamDevice>(options.deviceId, options.waiting);
  features_ = kfMapCameraFeatures(*device_);
  foundFile_ = std::make_unique<kcFoundStateFile>(options.stateFolder, device_->name());
  kfPutBackLeftState(*device_, features_.lut, *foundFile_, options.waiting);
  // Everything colc may change is read, and kept, before the first change.
  // Reading under a selector moves it: the selectors are kept first.
  std::vector<std::string> selectors = kcCameraState::selectorLines(*device_);
  for (std::string& line : kcCameraLut::selectorLines(*device_, features_.lut)) selectors.push_back(std::move(line));
  foundFile_->write(selectors);
  try {
    state_ = std::make_unique<kcCameraState>(*device_, features_);
    lut_ = std::make_unique<kcCameraLut>(*device_, features_.lut);
    std::vector<std::string> found = state_->recordLines();
    for (std::string& line : lut_->recordLines()) found.push_back(std::move(line));
    foundFile_->write(found);
    // The automatic functions would fight the search.
    for (const char* automatic : kAutomaticFeatures)
      if (device_->offers(automatic, "Off")) device_->setString(automatic, "Off");
    for (const char* selector : {"GainSelector", "BlackLevelSelector"})
      if (device_->offers(selector, "All")) device_->setString(selector, "All");
    chooseFormatAndRegion(options);
    if (device_->offers("TriggerSelector", "FrameStart")) device_->setString("TriggerSelector", "FrameStart");
    const kcTriggerModel& initial = features_.softwareTrigger ? kfManualTrigger() : kfFreeRunTrigger();
    writeTriggerModel(initial);
    model_ = &initial;
    readSettings();
  } catch (const std::exception& e) {
    // A reading cut short has moved selectors only: they are put back as kept.
    if (!state_) state_ = std::make_unique<kcCameraState>(*device_, selectors);
    if (!lut_) lut_ = std::make_unique<kcCameraLut>(*device_, features_.lut, selectors);
    const std::string notRestored = kfDescribeRestoreFailures(putBack());
    if (notRestored.empty()) throw;
    throw kcIOError(std::string(e.what()) + "; camera " + name() + ": " + notRestored);
  }
}

kcAravisAcqFifo::~kcAravisAcqFifo() {
  if (!closed_) putBack();  // close() reports what could not be put back; here nobody would hear it
}

std::vector<kcRestoreFailure> kcAravisAcqFifo::putBack() noexcept {
  using Clock = std::chrono::steady_clock;
  closed_ = true;
  stopStreaming();
  const Clock::time_point deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(restoreTimeout_));
  for (;;) {
    const std::vector<kcRestoreFailure> failures = putBackOnce();
    if (failures.empty()) {
      foundFile_->remove();
      return failures;
    }
    if (!device_->isGone()) return failures;  // refused: asking again changes nothing
    // A camera that stalls lets go of its control channel: it is asked
    // again until it answers, and then put back from the start.
    bool answers = false;
    while (!answers && Clock::now() < deadline) {
      answers = device_->regainControl();
      if (!answers) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    if (!answers) return failures;
  }
}

std::vector<kcRestoreFailure> kcAravisAcqFifo::putBackOnce() noexcept {
  std::vector<kcRestoreFailure> failures;
  if (acquisitionMayRun_) {
    // A camera that stalled runs the commands sent meanwhile once it
    // answers again, acquisition start included.
    const std::string why = kfStopAcquisition(*device_);
    if (why.empty()) acquisitionMayRun_ = false;
    else failures.push_back({"AcquisitionStop", why});
  }
  std::vector<kcRestoreFailure> tables;
  if (lut_) tables = lut_->putBack();
  failures.insert(failures.end(), tables.begin(), tables.end());
  if (state_) {
    const std::vector<kcRestoreFailure> others = state_->restore();
    failures.insert(failures.end(), others.begin(), others.end());
  }
  return failures;
}

void kcAravisAcqFifo::close() {
  if (closed_) return;
  const std::string notRestored = kfDescribeRestoreFailures(putBack());
  if (!notRestored.empty()) throw kcIOError("camera " + name() + " is not as it was found: " + notRestored);
}

const std::string& kcAravisAcqFifo::name() const { return device_->name(); }

void kcAravisAcqFifo::chooseFormatAndRegion(const kcAravisOptions& options) {
  const std::vector<std::string>& offered = features_.pixelFormats;
  if (offered.empty())
    throw kcIOError("camera " + name() + " offers no pel format colc decodes (8-bit grey, RGB, BGR or Bayer)");
  auto isOffered = [&](const std::string& f) { return std::find(offered.begin(), offered.end(), f) != offered.end(); };
  if (!options.pixelFormat.empty()) {
    if (!isOffered(options.pixelFormat)) {
      std::string list;
      for (const std::string& f : offered) list += " " + f;
      throw kcBadArgument("camera " + name() + " does not offer pel format " + options.pixelFormat + "; it offers" +
                          list);
    }
    pixelFormat_ = options.pixelFormat;
  } else {
    pixelFormat_ = kfDefaultPixelFormat(features_, device_->getString("PixelFormat"));
  }
  device_->setString("PixelFormat", pixelFormat_);
  if (options.width > 0) {
    if (options.height <= 0 || options.x < 0 || options.y < 0)
      throw kcBadArgument("region " + std::to_string(options.width) + " x " + std::to_string(options.height) +
                          " at (" + std::to_string(options.x) + ", " + std::to_string(options.y) + ")");
    device_->setRegion(options.x, options.y, options.width, options.height);
  }
  width_ = static_cast<long>(device_->getInteger("Width"));
  height_ = static_cast<long>(device_->getInteger("Height"));
  identity_ = kfReadCameraIdentity(*device_);
}

void kcAravisAcqFifo::setIfDifferent(const char* feature, const std::string& entry) {
  if (device_->has(feature) && device_->getString(feature) != entry) device_->setString(feature, entry);
}

void kcAravisAcqFifo::readSettings() {
  kcStoredAcqProps read;
  if (features_.exposure.present()) read.exposure(features_.exposure.read(*device_) * 1e-6);
  if (features_.gain.present())
    read.setContrastEx(features_.gain.toUnit(features_.gain.read(*device_)), kcContrastBrightnessProp::kAllTaps);
  if (features_.blackLevel.present())
    read.setBrightnessEx(features_.blackLevel.toUnit(features_.blackLevel.read(*device_)),
                         kcContrastBrightnessProp::kAllTaps);
  for (int k = 0; k < 3; ++k)
    read.inputLut(lut_->initial()[static_cast<std::size_t>(k)].data(), static_cast<PlaneChannel>(k));
  values_ = read;
  mapPlane_ = {!features_.lut.present, !features_.lut.present, !features_.lut.present};
}

void kcAravisAcqFifo::writeTriggerModel(const kcTriggerModel& model) {
  if (model.isFreeRunning()) {
    setIfDifferent("TriggerMode", "Off");
    return;
  }
  if (!features_.softwareTrigger)
    throw kcBadArgument("camera " + name() + " has no software trigger (TriggerSource Software, TriggerSoftware)");
  setIfDifferent("TriggerSource", "Software");
  setIfDifferent("TriggerMode", "On");
}

void kcAravisAcqFifo::triggerModel(const kcTriggerModel& model) {
  if (&model == model_) return;
  stopStreaming();
  writeTriggerModel(model);
  model_ = &model;
}

void kcAravisAcqFifo::triggerEnable(bool enable) {
  if (enable && !enabled_ && stream_ && model_->isFreeRunning()) dropDelivered();
  enabled_ = enable;
}

void kcAravisAcqFifo::exposure(double seconds) {
  kcStoredAcqProps next = values_;
  next.exposure(seconds);  // refuses what no camera can take
  if (features_.exposure.present()) {
    features_.exposure.write(*device_, kfMicroseconds(seconds));
    next.exposure(features_.exposure.read(*device_) * 1e-6);
  }
  values_ = next;
  if (freeRunning() && stream_) dropDelivered();
}

void kcAravisAcqFifo::setContrastEx(double value, Taps taps) {
  kcStoredAcqProps next = values_;
  next.setContrastEx(value, taps);
  if (features_.gain.present()) features_.gain.write(*device_, features_.gain.fromUnit(value));
  values_ = next;
  if (freeRunning() && stream_) dropDelivered();
}

void kcAravisAcqFifo::setBrightnessEx(double value, Taps taps) {
  kcStoredAcqProps next = values_;
  next.setBrightnessEx(value, taps);
  if (features_.blackLevel.present()) features_.blackLevel.write(*device_, features_.blackLevel.fromUnit(value));
  values_ = next;
  if (freeRunning() && stream_) dropDelivered();
}

void kcAravisAcqFifo::inputLut(const unsigned char* table) {
  kcStoredAcqProps next = values_;
  next.inputLut(table);
  commitTables(next);
}

void kcAravisAcqFifo::inputLut(const unsigned char* table, PlaneChannel plane) {
  kcStoredAcqProps next = values_;
  next.inputLut(table, plane);
  commitTables(next);
}

void kcAravisAcqFifo::commitTables(const kcStoredAcqProps& next) {
  kcLutTables tables;
  for (int k = 0; k < 3; ++k)
    std::copy_n(next.inputLut(static_cast<PlaneChannel>(k)), 256, tables[static_cast<std::size_t>(k)].begin());
  mapPlane_ = lut_->load(tables);
  values_ = next;
  if (freeRunning() && stream_) dropDelivered();
}

void kcAravisAcqFifo::startStreaming() {
  if (stream_) return;
  device_->checkPresent();
  GError* error = nullptr;
  const guint payload = arv_camera_get_payload(device_->camera(), &error);
  device_->check(error, "PayloadSize");
  stream_ = arv_camera_create_stream(device_->camera(), nullptr, nullptr, &error);
  device_->check(error, "stream");
  // A frame larger than the system's default socket buffer loses packets
  // whenever the stream's thread is late; size the buffer to the frame.
  if (ARV_IS_GV_STREAM(stream_)) g_object_set(stream_, "socket-buffer", ARV_GV_STREAM_SOCKET_BUFFER_AUTO, nullptr);
  for (int i = 0; i < buffers_; ++i) arv_stream_push_buffer(stream_, arv_buffer_new_allocate(payload));
  acquisitionMayRun_ = true;  // also when the command fails: it may still reach the camera
  arv_camera_start_acquisition(device_->camera(), &error);
  if (error) {
    g_object_unref(stream_);
    stream_ = nullptr;
  }
  device_->check(error, "AcquisitionStart");
  started_ = 0;
}

void kcAravisAcqFifo::stopStreaming() noexcept {
  if (!stream_) return;
  if (acquisitionMayRun_ && kfStopAcquisition(*device_).empty()) acquisitionMayRun_ = false;
  g_object_unref(stream_);  // stops the stream's thread and frees its buffers
  stream_ = nullptr;
  started_ = 0;
}

void kcAravisAcqFifo::dropDelivered() {
  while (ArvBuffer* stale = arv_stream_try_pop_buffer(stream_)) arv_stream_push_buffer(stream_, stale);
}

bool kcAravisAcqFifo::start(unsigned long flags) {
  if (flags != 0) throw kcBadArgument("start flags " + std::to_string(flags) + ": none are defined");
  if (!enabled_) return false;
  startStreaming();
  if (model_->isFreeRunning()) return true;
  // A frame left over from a completion that gave up would otherwise be
  // delivered for this trigger.
  if (started_ == 0) dropDelivered();
  device_->execute("TriggerSoftware");
  ++started_;
  return true;
}

kcPtrHandle<kcAcqImage> kcAravisAcqFifo::completeAcq(const CompleteArgs& args) {
  if (!freeRunning() && started_ == 0) {
    if (args.wait) throw kcTimeout::Expired("camera " + name() + ": no acquisition started; the wait would never end");
    if (args.info) args.info->failure(kcAcqFailure(kcAcqFailure::eTimedOut, "no acquisition ready"));
    if (args.queuedAfter) *args.queuedAfter = 0;
    return {};
  }
  device_->checkPresent();
  startStreaming();
  const double limit = std::min(args.timeout, values_.exposure() + frameTimeout_);
  Popped buffer(stream_, args.wait ? arv_stream_timeout_pop_buffer(stream_, static_cast<guint64>(limit * 1e6))
                                   : arv_stream_try_pop_buffer(stream_));
  if (!buffer) {
    if (args.wait) {
      if (started_ > 0) --started_;  // that frame is given up; start() drops it should it come late
      throw kcTimeout::Expired("camera " + name() + ": no frame within " + kfNumberText(limit) + " s");
    }
    if (args.info) args.info->failure(kcAcqFailure(kcAcqFailure::eTimedOut, "no frame ready"));
    if (args.queuedAfter) *args.queuedAfter = 0;
    return {};
  }
  if (started_ > 0) --started_;
  // Lost packets spoil one frame, not the camera: the same settings are
  // acquired again, a bounded number of times.
  for (int attempt = 1; args.wait && attempt < kFrameAttempts &&
                        arv_buffer_get_status(buffer.get()) != ARV_BUFFER_STATUS_SUCCESS;
       ++attempt) {
    if (!model_->isFreeRunning()) device_->execute("TriggerSoftware");
    ArvBuffer* again = arv_stream_timeout_pop_buffer(stream_, static_cast<guint64>(limit * 1e6));
    if (!again) break;  // the incomplete frame is the one reported
    buffer.replace(again);
  }
  if (args.latestOnly) {
    while (ArvBuffer* newer = arv_stream_try_pop_buffer(stream_)) {
      buffer.replace(newer);
      if (started_ > 0) --started_;
    }
  }
  kcPtrHandle<kcAcqImage> image = decode(buffer.get(), args.info);
  if (args.queuedAfter) {
    gint in = 0, out = 0;
    arv_stream_get_n_buffers(stream_, &in, &out);
    *args.queuedAfter = static_cast<unsigned long>(out);
  }
  return image;
}

kcPtrHandle<kcAcqImage> kcAravisAcqFifo::decode(void* raw, kcAcquireInfo* info) {
  auto* buffer = static_cast<ArvBuffer*>(raw);
  ++sequence_;
  if (info) info->sequence(sequence_);
  const ArvBufferStatus status = arv_buffer_get_status(buffer);
  if (status != ARV_BUFFER_STATUS_SUCCESS) {
    if (info)
      info->failure(kcAcqFailure(kcAcqFailure::eFailed, "camera " + name() + ": frame " + statusText(status)));
    return kcPtrHandle<kcAcqImage>(new kcAcqImage());
  }
  size_t size = 0;
  const void* data = arv_buffer_get_image_data(buffer, &size);
  const int width = arv_buffer_get_image_width(buffer);
  const int height = arv_buffer_get_image_height(buffer);
  gint padX = 0, padY = 0;
  arv_buffer_get_image_padding(buffer, &padX, &padY);
  const auto format = static_cast<std::uint32_t>(arv_buffer_get_image_pixel_format(buffer));
  const std::size_t stride =
      static_cast<std::size_t>(width) * ARV_PIXEL_FORMAT_BIT_PER_PIXEL(format) / 8 + static_cast<std::size_t>(padX);
  kc3PlanePelBuffer color = kfDecodeFrame(format, width, height, stride, data, size);
  for (int k = 0; k < 3; ++k) {
    const unsigned char* table = values_.inputLut(static_cast<PlaneChannel>(k));
    if (!mapPlane_[static_cast<std::size_t>(k)] || isIdentity(table)) continue;
    kcPelBuffer<unsigned char> plane = color.pelPlane(k);
    kfPelMap(plane, std::vector<unsigned char>(table, table + 256), plane);
  }
  if (info) info->failure(kcAcqFailure());
  return kcPtrHandle<kcAcqImage>(new kcAcqImage(color));
}

kcAravisCameraIdentity kfReadCameraIdentity(kcGenicamDevice& device) {
  return {device.vendor(), device.model(), device.serial(),
          device.has("DeviceFirmwareVersion") ? device.getString("DeviceFirmwareVersion") : "",
          device.has("OffsetX") ? static_cast<long>(device.getInteger("OffsetX")) : 0,
          device.has("OffsetY") ? static_cast<long>(device.getInteger("OffsetY")) : 0};
}

kcPtrHandle<kcAravisAcqFifo> kfOpenAravisCamera(const kcAravisOptions& options) {
  return kcPtrHandle<kcAravisAcqFifo>(new kcAravisAcqFifo(options));
}

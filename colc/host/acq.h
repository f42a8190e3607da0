// Host acquisition: camera acquisition FIFOs, their exposure, contrast/
// brightness and input-table properties, trigger models and acquired images.
//
// A FIFO is an abstract interface; each camera back end (the simulated
// camera in host/acq/sim/, real cameras later) implements it. Everything is
// reached through kcPtrHandle and runs in the caller's thread: a FIFO must
// not be used by two threads at once.
#pragma once

#include <cstdint>
#include <limits>

#include "colc/host/acquire_info.h"
#include "colc/host/handle.h"
#include "colc/host/imaging.h"

// Pel formats in which an acquired image can be delivered.
enum keImageFormat : int {
  eImageFormatGrey8 = 1,    // one 8-bit plane (getGrey8PelBuffer)
  eImageFormat3Plane8 = 2,  // three 8-bit planes (get3PlanePelBuffer)
};

// How a FIFO's acquisitions are triggered. The host owns every trigger
// model for the whole life of the program, so a reference to one may be
// kept as long as needed; models are compared by address.
class kcTriggerModel {
 public:
  kcTriggerModel(const kcTriggerModel&) = delete;
  kcTriggerModel& operator=(const kcTriggerModel&) = delete;

  // A short name ("manual", "free-run") for logs and messages.
  const char* name() const { return name_; }
  // True when the camera acquires by itself, without start().
  bool isFreeRunning() const { return freeRunning_; }

 private:
  friend const kcTriggerModel& kfManualTrigger();
  friend const kcTriggerModel& kfFreeRunTrigger();
  kcTriggerModel(const char* name, bool freeRunning) : name_(name), freeRunning_(freeRunning) {}

  const char* name_;
  bool freeRunning_;
};

// Software triggering: every start() acquires one image.
const kcTriggerModel& kfManualTrigger();
// The camera acquires continuously while triggers are enabled; a
// completion delivers the next image whether or not start() was called.
const kcTriggerModel& kfFreeRunTrigger();

// Exposure time, in seconds.
class kcExposureProp {
 public:
  virtual ~kcExposureProp() = default;
  // The value last set.
  virtual double exposure() const = 0;
  // kcBadArgument for a value the camera cannot take (negative, not finite).
  virtual void exposure(double seconds) = 0;
};

// Contrast (an analog gain) and brightness (a black level), both on a scale
// of 0..1, per tap: a camera that reads its sensor out through several
// taps has one analog chain, and so one pair of values, per tap.
class kcContrastBrightnessProp {
 public:
  // A tap to read back; taps are numbered from 0.
  enum Channel : int { eTap0 = 0, eTap1 = 1, eTap2 = 2, eTap3 = 3 };
  // A set of taps to write: bit t selects tap t. Bits of taps the camera
  // does not have are ignored.
  using Taps = std::uint32_t;
  static constexpr Taps kAllTaps = ~Taps(0);

  virtual ~kcContrastBrightnessProp() = default;
  virtual int numTaps() const = 0;
  // kcBadArgument for a tap the camera does not have.
  virtual double contrast(Channel tap) const = 0;
  virtual double brightness(Channel tap) const = 0;
  // kcBadArgument for a value outside 0..1 or a set with none of the
  // camera's taps.
  virtual void setContrastEx(double value, Taps taps) = 0;
  virtual void setBrightnessEx(double value, Taps taps) = 0;
};

// The camera's 8-bit input lookup tables, one per colour plane: pel value
// v of plane k leaves the camera as entry v of table k.
class kc8BitInputLutProp {
 public:
  // A colour plane's table.
  enum Channel : int { ePlane0 = 0, ePlane1 = 1, ePlane2 = 2 };

  // The positive 8-bit mapping: entry i is i.
  static const unsigned char positive8BitLut[256];

  virtual ~kc8BitInputLutProp() = default;
  // Loads the 256 entries of table into every plane's table. kcBadPointer
  // for a null table.
  virtual void inputLut(const unsigned char* table) = 0;
  // Loads the 256 entries into one plane's table.
  virtual void inputLut(const unsigned char* table, Channel plane) = 0;
  // The 256 entries of a plane's current table; valid until the next write.
  // kcBadArgument for a plane outside 0..2.
  virtual const unsigned char* inputLut(Channel plane) const = 0;
};

// The properties of one FIFO, fetched afresh from the FIFO for every use.
// It only points at the FIFO's property objects and must not outlive the FIFO.
class kcAcqProps {
 public:
  kcAcqProps(kcExposureProp* exposure, kcContrastBrightnessProp* contrastBrightness, kc8BitInputLutProp* inputLut)
      : exposure_(exposure), contrastBrightness_(contrastBrightness), inputLut_(inputLut) {}
  // Each throws kcBadPointer when the FIFO does not have that property.
  kcExposureProp& exposureProp() const;
  kcContrastBrightnessProp& contrastBrightnessProp() const;
  kc8BitInputLutProp& inputLutProp() const;

 private:
  kcExposureProp* exposure_;
  kcContrastBrightnessProp* contrastBrightness_;
  kc8BitInputLutProp* inputLut_;
};

// An acquired image. The base class holds a three-plane colour image
// (planes red, green, blue) and delivers it in both formats, the grey one
// as its intensity; back ends that deliver other formats override.
class kcAcqImage : public kcRefCounted {
 public:
  // An unbound image: what a camera delivers when it has no pels to give.
  kcAcqImage() = default;
  explicit kcAcqImage(const kc3PlanePelBuffer& color) : color_(color) {}

  virtual bool isBound() const { return color_.isBound(); }
  // True when the image can be delivered in format; false for an unbound image.
  virtual bool isConversionSupported(keImageFormat format) const;
  // The colour image, sharing its pels; an unbound buffer for an unbound image.
  virtual kc3PlanePelBuffer get3PlanePelBuffer() const { return color_; }
  // New pels of the image's intensity. kcBadPointer for an unbound image.
  virtual kcPelBuffer<unsigned char> getGrey8PelBuffer() const;

 private:
  kc3PlanePelBuffer color_;
};

// A camera acquisition queue.
class kcAcqFifo : public kcRefCounted {
 public:
  // The arguments of completeAcq, in this order.
  struct CompleteArgs {
    // Wait for an acquisition to complete. When false, completeAcq returns at
    // once: a null image and a time-out failure in info when none is ready.
    bool wait = true;
    // The longest wait, in seconds; infinity waits without limit. A wait
    // that runs out throws kcTimeout::Expired.
    double timeout = std::numeric_limits<double>::infinity();
    // Deliver only the newest completed acquisition and drop the older ones
    // still queued; when false, acquisitions are delivered in order.
    bool latestOnly = false;
    // When not null, receives the number of acquisitions still queued
    // after the one delivered.
    unsigned long* queuedAfter = nullptr;
    // When not null, receives the acquisition's information: its failure
    // status (0 when it succeeded) and its sequence number.
    kcAcquireInfo* info = nullptr;
  };

  // The FIFO's properties (see kcAcqProps).
  virtual kcAcqProps properties() = 0;

  virtual const kcTriggerModel& triggerModel() const = 0;
  // Changing the model drops acquisitions started under the old one.
  virtual void triggerModel(const kcTriggerModel& model) = 0;
  // Whether triggers (start() or the free-running camera) are accepted.
  virtual bool triggerEnable() const = 0;
  virtual void triggerEnable(bool enable) = 0;

  // Starts one acquisition with the current settings. flags: 0 (no flags
  // are defined yet; others throw kcBadArgument). Returns whether the
  // trigger was accepted: false while triggers are disabled.
  virtual bool start(unsigned long flags) = 0;

  // Waits for a started acquisition, fills *args.info, and returns its
  // image. The image is bound unless the acquisition failed. Throws
  // kcTimeout::Expired when the wait runs out; when nothing has been
  // started and nothing can arrive, it throws at once, whatever the time-out.
  virtual kcPtrHandle<kcAcqImage> completeAcq(const CompleteArgs& args) = 0;
};

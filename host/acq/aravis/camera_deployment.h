// A calibration written into a GenICam camera to stay there, unlike the
// Aravis FIFO, which borrows the camera and puts it back: the settings in
// the camera's own features (feature_map.h says which and how), the
// tables in its lookup tables, a colour transformation where asked for
// (color_transformation.h), and, where asked for, all of it saved to a
// user set, made the one the camera loads at power-up.
//
// Before it writes, the deployment reads every feature it will touch:
// the automatic functions (switched Off, as the FIFO does), the trigger,
// gain and black level selectors, exposure, gain, black level, every table
// with its switch and selectors, the transformation's values, switch and
// selectors, and UserSetSelector and UserSetDefault. A write the camera
// refuses, or a cancellation (kfCancelRequested) before the user set is
// saved, puts every one of them back as found. A user set, once saved,
// cannot be put back: saving comes last, followed only by making it the
// power-up set, and from then on the deployment finishes. After the writes, the selectors it moved are put back: they
// choose what a feature shows, not what the camera does. While it writes,
// all it found is kept in the file of what was found (found_state_file.h),
// so that a run killed meanwhile is put back by the next one, as a
// calibration's is.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/acq/aravis/aravis_fifo.h"
#include "host/acq/aravis/camera_lut.h"
#include "host/acq/aravis/color_transformation.h"
#include "host/acq/aravis/feature_map.h"

class kcGenicamDevice;

// What the camera offers a deployment, read without changing anything.
struct kcDeploymentFeatures {
  kcCameraFeatureMap map;
  kcColorTransformationFeatures transformation;
  std::vector<std::string> userSets;  // UserSetSelector's entries; empty without user sets
  bool userSetSave = false;           // UserSetSave
  std::string userSetDefault;         // "UserSetDefault" or the older "UserSetDefaultSelector"; empty: none
};

// Reads, without changing anything, what the camera offers a deployment.
kcDeploymentFeatures kfDeploymentFeatures(kcGenicamDevice& device);
// One line each for the colour transformation and the user sets: which
// features serve them, or what colc deploy does without.
std::vector<std::string> kfDescribeDeploymentFeatures(const kcDeploymentFeatures& features);

// What to write.
struct kcDeploymentPlan {
  double exposure = 0.0;    // seconds
  double contrast = 0.0;    // 0..1 over the gain's bounds
  double brightness = 0.0;  // 0..1 over the black level's bounds
  // Per plane, on a camera whose tables can hold them (kcCameraLut::load);
  // the identity switches a table off. Unset: left as found.
  std::optional<kcLutTables> tables;
  std::optional<kcColorTransformationValues> transformation;  // unset: left as found
  std::string userSet;        // the UserSetSelector entry saved to; empty: none
  bool makeDefault = false;   // and UserSetDefault set to it
};

// A feature the deployment wrote: its value as found and as the camera
// holds it after the write, as text.
struct kcWrittenFeature {
  std::string feature;
  std::string found;
  std::string written;
};

class kcCameraDeployment {
 public:
  // Opens the camera as the FIFO does (waiting for one another program
  // let go of, putting back what an earlier run left changed) and reads
  // what it offers. kcIOError when it cannot be opened.
  kcCameraDeployment(const std::string& deviceId, const std::function<void(const std::string&)>& waiting,
                     const std::string& stateFolder = "");
  ~kcCameraDeployment();
  kcCameraDeployment(const kcCameraDeployment&) = delete;
  kcCameraDeployment& operator=(const kcCameraDeployment&) = delete;

  const std::string& name() const;
  const kcAravisCameraIdentity& identity() const { return identity_; }
  const std::string& pixelFormat() const { return pixelFormat_; }
  long width() const { return width_; }
  long height() const { return height_; }
  const kcDeploymentFeatures& features() const { return features_; }

  // Writes the plan, in the order of the list it returns. A write the
  // camera refuses puts every touched feature back as found and throws
  // kcIOError naming the write, and whatever could not be put back. A
  // cancellation before the user set is saved puts them back too and
  // throws kcCancelled (kcIOError when something could not be put back).
  // kcBadArgument, before anything is read, for a user set the camera
  // does not have or cannot make the power-up set.
  std::vector<kcWrittenFeature> write(const kcDeploymentPlan& plan);
  // The writes write() would make, with the values the camera is sent
  // (before it rounds them), changing nothing: found values only where no
  // selector must move to read them (none for tables and transformation).
  std::vector<kcWrittenFeature> dryRun(const kcDeploymentPlan& plan);

 private:
  void checkUserSet(const kcDeploymentPlan& plan) const;

  std::unique_ptr<kcGenicamDevice> device_;
  std::string stateFolder_;
  kcDeploymentFeatures features_;
  kcAravisCameraIdentity identity_;
  std::string pixelFormat_;
  long width_ = 0;
  long height_ = 0;
};

// What colc found on a camera, kept in a small file for as long as colc
// may have changed the camera. A run that ends cleanly puts the camera
// back and removes the file; a run that is killed outright, or cannot
// reach the camera to put it back, leaves the file, and the next run that
// opens the camera puts back what it says before anything else.
//
// The file is FOLDER/cameras/NAME.found, NAME made of the camera's
// "vendor model (serial)" with anything but letters, digits, '.', '-' and
// '_' turned into '_'. The default folder is $XDG_STATE_HOME/colc, or
// ~/.local/state/colc. Its lines are the camera state's, the tables' and
// (left by a deployment) the colour transformation's own (camera_state.h,
// camera_lut.h, color_transformation.h), after a first line that names the
// format and a second that names the camera.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// $XDG_STATE_HOME/colc, else $HOME/.local/state/colc; kcIOError when
// neither variable is set.
std::string kfDefaultFoundStateFolder();

class kcFoundStateFile {
 public:
  // folder: empty for the default one.
  kcFoundStateFile(const std::string& folder, const std::string& cameraName);

  const std::string& path() const { return path_; }
  // The lines an earlier run left, without the first two; none when there
  // is no file. kcIOError when it cannot be read or is not such a file.
  std::optional<std::vector<std::string>> read() const;
  // Writes the file whole, making its folder when missing; kcIOError on failure.
  void write(const std::vector<std::string>& lines) const;
  void remove() const noexcept;

 private:
  std::string cameraName_;
  std::string path_;
};

// Text in one record field: '%', white space and control characters
// written as %XX, so that fields split at single spaces.
std::string kfRecordField(const std::string& text);
std::string kfRecordFieldText(const std::string& field);
// The fields of a line, split at single spaces.
std::vector<std::string> kfRecordFields(const std::string& line);
// A whole number field of line within [min, max]; kcIOError naming the
// line otherwise, as kfUnreadableRecordLine does.
std::int64_t kfRecordInteger(const std::string& field, const std::string& line, std::int64_t min, std::int64_t max);
// A number field of line, as kfRecordFloatText wrote it; kcIOError naming
// the line otherwise.
double kfRecordFloat(const std::string& field, const std::string& line);
// The field of a number, read back to the same double.
std::string kfRecordFloatText(double value);
class kcIOError;
kcIOError kfUnreadableRecordLine(const std::string& line);

// The exit statuses of colc, one per kind of failure, and the exception
// that carries a failure's kind and its one-line message up to main().
#pragma once

#include <exception>
#include <initializer_list>
#include <stdexcept>
#include <string>

enum class ExitStatus : int {
  ok = 0,
  internalError = 1,   // a failure colc did not expect: a bug
  usage = 2,           // the command line cannot be used
  unreadableFile = 3,  // an input file is missing, unreadable, not a regular file or not an image
  unwritableFile = 4,  // an output cannot be written, is not a regular file or is an input; or standard output
  badArchive = 5,      // an archive is corrupt or holds the wrong record
  imagesRefused = 6,   // the images cannot be used: too large, without a pattern, or refused by the fit
  targetNotFound = 7,  // the reference image is not in the camera's view
  cameraFailed = 8,    // an acquisition failed or timed out, or the camera refused a setting
  didNotHelp = 9,      // the calibration ran but did not bring the camera clearly closer to the reference
  drifted = 10,        // colc check: the camera's colour error rose noticeably since it was calibrated
  recalibrate = 11,    // colc check: the colour error rose so far that the camera needs a new calibration
  otherCamera = 12,    // colc check, colc deploy: the result belongs to another camera
  cancelled = 130,     // Ctrl-C, SIGTERM, SIGHUP
};

// The table of the statuses every command shares, for colc --help; a
// command's own statuses are listed in its own help only.
std::string exitStatusTable();
// The same of a command's statuses: those given, and the ones every
// command can end with (0, 1, 2 and 4).
std::string exitStatusTable(std::initializer_list<ExitStatus> statuses);

// A failure whose kind the command knows; what() is the message, one line
// without the program's name.
class CommandFailure : public std::runtime_error {
 public:
  CommandFailure(ExitStatus status, const std::string& message) : std::runtime_error(message), status_(status) {}
  ExitStatus status() const { return status_; }

 private:
  ExitStatus status_;
};

struct FailureReport {
  ExitStatus status;
  std::string message;
};

// The status and message for an exception that left a command: its own
// for a CommandFailure, cancelled for a cancellation, internalError for
// anything else.
FailureReport reportFailure(const std::exception_ptr& failure);

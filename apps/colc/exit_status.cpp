#include "exit_status.h"

#include <new>

#include "colc/host/exceptions.h"

std::string exitStatusTable() {
  return "Exit status:\n"
         "  0    done\n"
         "  1    an unexpected failure (please report it)\n"
         "  2    the command line cannot be used\n"
         "  3    an input file is missing, unreadable, not a regular file or not an image\n"
         "  4    an output file or folder cannot be written, is not a regular file or is an input, or\n"
         "       standard output cannot be written\n"
         "  5    an archive is corrupt or does not hold the record needed\n"
         "  6    the images cannot be used: too large, a reference without a pattern, or refused by the fit\n"
         "  7    the reference image is not in the camera's view\n"
         "  8    the camera failed: an acquisition failed or timed out, or a setting was refused\n"
         "  9    the calibration did not help (the summary and report say why); no result is stored\n"
         "  130  cancelled with Ctrl-C, SIGTERM or SIGHUP; the camera is left as it was found\n";
}

FailureReport reportFailure(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const CommandFailure& e) {
    return {e.status(), e.what()};
  } catch (const kcCancelled&) {
    return {ExitStatus::cancelled, "cancelled; the camera is left as it was found"};
  } catch (const std::bad_alloc&) {
    return {ExitStatus::internalError, "out of memory"};
  } catch (const std::exception& e) {
    return {ExitStatus::internalError, std::string("unexpected failure: ") + e.what()};
  } catch (...) {
    return {ExitStatus::internalError, "unexpected failure of an unknown kind"};
  }
}

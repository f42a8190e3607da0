#include "app/exit_status.h"

#include <algorithm>
#include <new>

#include "colc/host/exceptions.h"

namespace {

const struct {
  ExitStatus status;
  const char* meaning;
} kMeanings[] = {
    {ExitStatus::ok, "done"},
    {ExitStatus::internalError, "an unexpected failure (please report it)"},
    {ExitStatus::usage, "the command line cannot be used"},
    {ExitStatus::unreadableFile, "an input file is missing, unreadable, not a regular file or not an image"},
    {ExitStatus::unwritableFile,
     "an output file or folder cannot be written, is not a regular file or is an input, or\n"
     "       standard output cannot be written"},
    {ExitStatus::badArchive, "an archive is corrupt, not a colc archive or does not hold the record needed"},
    {ExitStatus::imagesRefused,
     "the images cannot be used: too large, a reference without a pattern, a grey image to\n"
     "       correct, or refused by the fit"},
    {ExitStatus::targetNotFound, "the reference image is not in the camera's view (or the photo)"},
    {ExitStatus::cameraFailed, "the camera failed: an acquisition failed or timed out, or a setting was refused"},
    {ExitStatus::didNotHelp, "the calibration did not help (the summary and report say why); no result is stored"},
    {ExitStatus::drifted, "the camera drifted: its colour error rose noticeably since it was calibrated"},
    {ExitStatus::recalibrate, "the camera needs a new calibration: its colour error rose far since"},
    {ExitStatus::otherCamera, "the result belongs to another camera (--force uses it all the same)"},
    {ExitStatus::cancelled, "cancelled with Ctrl-C, SIGTERM or SIGHUP; the camera is left as it was found"},
};

// Every command can end done, with a bug, on a bad command line or with
// standard output lost.
bool everyCommandCanEndWith(ExitStatus status) {
  return status == ExitStatus::ok || status == ExitStatus::internalError || status == ExitStatus::usage ||
         status == ExitStatus::unwritableFile;
}

// The lines of the statuses for which listed is true.
template <class Listed>
std::string tableOf(Listed listed) {
  std::string table = "Exit status:\n";
  for (const auto& [status, meaning] : kMeanings) {
    if (!listed(status)) continue;
    const std::string code = std::to_string(static_cast<int>(status));
    table += "  " + code + std::string(5 - code.size(), ' ') + meaning + "\n";
  }
  return table;
}

}  // namespace

std::string exitStatusTable() {
  return tableOf([](ExitStatus status) {
    return status != ExitStatus::drifted && status != ExitStatus::recalibrate && status != ExitStatus::otherCamera;
  });
}

std::string exitStatusTable(std::initializer_list<ExitStatus> statuses) {
  return tableOf([&](ExitStatus status) {
    return everyCommandCanEndWith(status) || std::find(statuses.begin(), statuses.end(), status) != statuses.end();
  });
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

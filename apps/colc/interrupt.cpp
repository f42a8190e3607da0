#include "interrupt.h"

#include <atomic>
#include <csignal>

#include "host/runtime/cancellation.h"

namespace {

static_assert(std::atomic<int>::is_always_lock_free, "the handler counts signals");

// Written once before the handler is installed, only read by it.
kcCancelToken gToken = nullptr;
// The signals received, whether the camera is in colc's hands, and
// whether the run is past what could be cancelled. A signal may run the
// handler on any of the program's threads.
std::atomic<int> gSignals{0};
std::atomic<bool> gCameraInHand{false};
std::atomic<bool> gFinishing{false};

extern "C" void onSignal(int signal) {
  if (gSignals.fetch_add(1) == 0 || gCameraInHand.load() || gFinishing.load()) {
    kfRequestCancel(gToken);
    return;
  }
  // A program that does not stop soon enough ends as the signal's default
  // would end it: once the handler returns, the raised signal does.
  struct sigaction byDefault = {};
  byDefault.sa_handler = SIG_DFL;
  sigemptyset(&byDefault.sa_mask);
  sigaction(signal, &byDefault, nullptr);
  raise(signal);
}

}  // namespace

void cancelOnInterrupt() {
  gToken = kfThisThreadCancelToken();
  struct sigaction action = {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  // A terminal closed or a service stopped asks as Ctrl-C does, and gets
  // the camera put back the same way.
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

CameraInHand::CameraInHand() { gCameraInHand.store(true); }

CameraInHand::~CameraInHand() { gCameraInHand.store(false); }

void finishDespiteSignals() { gFinishing.store(true); }

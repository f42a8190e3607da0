#include "interrupt.h"

#include <csignal>

#include "host/runtime/cancellation.h"

namespace {

// Written once before the handler is installed, only read by it.
kcCancelToken gToken = nullptr;

extern "C" void requestCancel(int) { kfRequestCancel(gToken); }

}  // namespace

void cancelOnInterrupt() {
  gToken = kfThisThreadCancelToken();
  struct sigaction action = {};
  action.sa_handler = requestCancel;
  sigemptyset(&action.sa_mask);
  // One-shot: the handler reverts to the default, so a second signal ends
  // a program that does not stop soon enough.
  action.sa_flags = SA_RESETHAND;
  // A terminal closed or a service stopped asks as Ctrl-C does, and gets
  // the camera put back the same way.
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

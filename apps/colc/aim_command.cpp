#include "aim_command.h"

#include <chrono>

#include "app/aim_status.h"
#include "app/camera.h"
#include "colc/driver/acquisition.h"
#include "colc/host/runtime.h"
#include "app/exit_status.h"
#include "app/files.h"
#include "host/acq/sim/target_chart.h"
#include "host/runtime/cancellation.h"
#include "interrupt.h"
#include "number_options.h"
#include "app/output_checks.h"
#include "app/reference_checks.h"
#include "app/target_outline.h"

namespace {

// The preview is rewritten at most this often: writing a PNG of a large
// view takes longer than finding the target in it.
constexpr std::chrono::seconds kPreviewInterval(1);

kc3PlanePelBuffer acquireAsFound(const kcPtrHandle<kcAcqFifo>& camera, const kcColorCameraSettings& settings) {
  kcAcquireInfo info;
  bool failed = false;
  kcPtrHandle<kcAcqImage> image = kfAcquireImage(camera, settings, info, failed);
  if (failed) throw CommandFailure(ExitStatus::cameraFailed, "acquisition " + std::to_string(info.sequence()) + " failed");
  return image->get3PlanePelBuffer();
}

void show(std::ostream& out, bool terminal, const std::string& line) {
  // On a terminal the line is rewritten in place (carriage return, then
  // erase to its end); elsewhere every image gets a line of its own.
  if (terminal)
    out << "\r" << line << "\x1b[K" << std::flush;
  else
    out << line << "\n" << std::flush;
}

void aimLoop(const AimOptions& o, const kcPtrHandle<kcAcqFifo>& camera, const kc3PlanePelBuffer& reference,
             std::ostream& out, bool terminal) {
  const kcFifoStateSaver saver(camera);
  kfSwitchToManualTrigger(camera);
  const kcColorCameraSettings settings = kfCurrentCameraSettings(camera);
  auto lastPreview = std::chrono::steady_clock::now() - kPreviewInterval;
  for (long frame = 0; o.frames == 0 || frame < o.frames; ++frame) {
    kfThrowExceptionOnFailure(ksys_attention_check());
    const kc3PlanePelBuffer view = acquireAsFound(camera, settings);
    const AimStatus status = aimStatus(view, reference);
    show(out, terminal, status.line);
    if (!o.preview.empty() && std::chrono::steady_clock::now() - lastPreview >= kPreviewInterval) {
      writeImage(o.preview, outlinedView(view, status.match, reference.width(), reference.height()));
      lastPreview = std::chrono::steady_clock::now();
    }
  }
  if (terminal) out << "\n";
}

}  // namespace

CLI::App* addAimCommand(CLI::App& app, AimOptions& o) {
  CLI::App* c = app.add_subcommand("aim", "help place the target: find it in every image and say whether a "
                                          "calibration would start well (Ctrl-C ends it)");
  c->add_option("--camera", o.camera, "the camera, as for colc calibrate")->type_name("KIND[:OPTIONS]")
      ->capture_default_str();
  c->add_option("--reference", o.reference, "the reference colour image (default: the built-in target)")
      ->type_name("FILE");
  c->add_option("--scene", o.scene, "what the simulated camera shows (default: the reference)")->type_name("FILE");
  c->add_option("--preview", o.preview, "rewrite this PNG about once a second with the view and the target's outline")
      ->type_name("FILE");
  c->add_option("--frames", o.frames, "stop after this many images (default: run until Ctrl-C)")
      ->type_name("N")
      ->check(wholeNumberAtLeast(0));
  return c;
}

void runAim(const AimOptions& o, std::ostream& out, bool terminal) {
  cancelOnInterrupt();  // before the camera is opened, which already changes it
  if (!o.preview.empty()) {
    checkOutputFile(o.preview, "image");
    checkNotAnInput(o.preview, {{"the reference image", o.reference}, {"the scene", o.scene}});
  }
  const kc3PlanePelBuffer reference = o.reference.empty() ? kfSimTargetChart() : readColorImage(o.reference);
  if (!o.reference.empty()) checkReference(reference, "'" + o.reference + "'");
  const kc3PlanePelBuffer scene = !o.scene.empty() ? readColorImage(o.scene) : reference;
  if (kfCancelRequested()) throw kcCancelled();  // the camera is not touched yet
  const CameraInHand inHand;
  const OpenedCamera camera = openCamera(o.camera, scene);
  try {
    aimLoop(o, camera.fifo, reference, out, terminal);
  } catch (...) {
    if (terminal) out << "\n";
    closeCamera(camera, std::current_exception());
  }
  closeCamera(camera, nullptr);
}

// colc: colour calibration of machine-vision cameras from the command line.
// Every failure ends with one line on standard error and an exit status
// that tells its kind (exit_status.h); so does output lost on standard
// output.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>

#include <unistd.h>

#include "aim_command.h"
#include "apply_command.h"
#include "calibrate_command.h"
#include "cameras_command.h"
#include "check_command.h"
#include "compare_command.h"
#include "deploy_command.h"
#include "demo.h"
#include "app/exit_status.h"
#include "export_command.h"
#include "fit_command.h"
#include "grab_command.h"
#include "show_command.h"
#include "standard_output.h"
#include "target_command.h"

namespace {

int runColc(int argc, char** argv) {
  CLI::App app{
      "colc: colour calibration of machine-vision cameras.\n"
      "Start with 'colc calibrate', which calibrates the simulated camera against the built-in target."};
  app.name("colc");
  app.require_subcommand(1, 1);
  app.footer(exitStatusTable());
  app.set_version_flag("--version", std::string("colc ") + COLC_VERSION, "print colc's version and exit");

  CalibrateOptions calibrateOptions;
  FitOptions fitOptions;
  ApplyOptions applyOptions;
  ExportOptions exportOptions;
  ShowOptions showOptions;
  TargetOptions targetOptions;
  CamerasOptions camerasOptions;
  AimOptions aimOptions;
  CheckOptions checkOptions;
  GrabOptions grabOptions;
  CompareOptions compareOptions;
  DeployOptions deployOptions;
  std::string demoFolder;
  CLI::App* calibrate = addCalibrateCommand(app, calibrateOptions);
  CLI::App* fit = addFitCommand(app, fitOptions);
  CLI::App* apply = addApplyCommand(app, applyOptions);
  CLI::App* exportCube = addExportCommand(app, exportOptions);
  CLI::App* show = addShowCommand(app, showOptions);
  CLI::App* target = addTargetCommand(app, targetOptions);
  CLI::App* cameras = addCamerasCommand(app, camerasOptions);
  CLI::App* aim = addAimCommand(app, aimOptions);
  CLI::App* check = addCheckCommand(app, checkOptions);
  CLI::App* grab = addGrabCommand(app, grabOptions);
  CLI::App* compare = addCompareCommand(app, compareOptions);
  CLI::App* deploy = addDeployCommand(app, deployOptions);
  CLI::App* demo = app.add_subcommand("demo", "fit a synthetic camera image of a colour chart onto its reference");
  demo->add_option("--save", demoFolder,
                   "also write reference.png, camera.png and mask.png into this folder (made when missing)");
  // Each command lists the statuses it can end with, besides 0, 1, 2 and 4.
  using enum ExitStatus;
  calibrate->footer(
      exitStatusTable({unreadableFile, imagesRefused, targetNotFound, cameraFailed, didNotHelp, cancelled}));
  fit->footer(exitStatusTable({unreadableFile, imagesRefused, targetNotFound, didNotHelp}));
  apply->footer(exitStatusTable({unreadableFile, badArchive, imagesRefused}));
  exportCube->footer(exitStatusTable({unreadableFile, badArchive}));
  show->footer(exitStatusTable({unreadableFile, badArchive}));
  target->footer(exitStatusTable({}));
  cameras->footer(exitStatusTable({cameraFailed}));
  aim->footer(exitStatusTable({unreadableFile, imagesRefused, cameraFailed, cancelled}));
  demo->footer(exitStatusTable({}));
  check->footer(exitStatusTable(
      {unreadableFile, badArchive, imagesRefused, targetNotFound, cameraFailed, drifted, recalibrate, otherCamera,
       cancelled}));
  grab->footer(exitStatusTable({unreadableFile, badArchive, cameraFailed, cancelled}));
  compare->footer(exitStatusTable({unreadableFile, imagesRefused, targetNotFound}));
  deploy->footer(exitStatusTable({unreadableFile, badArchive, cameraFailed, otherCamera, cancelled}));

  if (argc == 1) {
    std::cerr << "colc: a command is needed: calibrate, aim, check, deploy, grab, compare, fit, apply, export, show, "
                 "target, cameras or demo (colc --help)\n";
    return static_cast<int>(ExitStatus::usage);
  }
  // CLI11 would call an unknown command a missing one.
  if (argv[1][0] != '-') {
    const auto commands = app.get_subcommands({});
    if (std::none_of(commands.begin(), commands.end(), [&](CLI::App* c) { return c->get_name() == argv[1]; })) {
      std::cerr << "colc: unknown command '" << argv[1] << "' (colc --help lists the commands)\n";
      return static_cast<int>(ExitStatus::usage);
    }
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "colc: " << e.what() << " (colc --help shows the usage)\n";
    return static_cast<int>(ExitStatus::usage);
  }

  try {
    if (calibrate->parsed()) runCalibrate(calibrateOptions, std::cout);
    if (fit->parsed()) runFit(fitOptions, std::cout);
    if (apply->parsed()) runApply(applyOptions);
    if (exportCube->parsed()) runExport(exportOptions);
    if (show->parsed()) runShow(showOptions, std::cout);
    if (target->parsed()) runTarget(targetOptions, std::cout);
    if (cameras->parsed()) runCameras(camerasOptions, std::cout);
    if (aim->parsed()) runAim(aimOptions, std::cout, isatty(STDOUT_FILENO) != 0);
    if (check->parsed()) runCheck(checkOptions, std::cout);
    if (grab->parsed()) runGrab(grabOptions, std::cout);
    if (compare->parsed()) runCompare(compareOptions, std::cout);
    if (deploy->parsed()) runDeploy(deployOptions, std::cout);
    if (demo->parsed()) runDemo(std::cout, demoFolder);
    return static_cast<int>(ExitStatus::ok);
  } catch (...) {
    const FailureReport report = reportFailure(std::current_exception());
    std::cerr << "colc: " << report.message << "\n";
    return static_cast<int>(report.status);
  }
}

}  // namespace

int main(int argc, char** argv) {
  CheckedStandardOutput output;
  return output.finish(runColc(argc, argv));
}

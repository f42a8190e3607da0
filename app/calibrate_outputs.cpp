#include "app/calibrate_outputs.h"

#include "app/files.h"
#include "app/output_checks.h"
#include "app/report.h"

void checkCalibrateOutputs(const CalibrateOptions& o) {
  const std::vector<NamedInput> inputs{{"the reference image", o.reference}, {"the scene", o.scene}};
  if (!o.out.empty()) {
    checkOutputFile(o.out, "archive");
    checkNotAnInput(o.out, inputs);
  }
  if (!o.saveView.empty()) {
    checkOutputFile(o.saveView, "image");
    checkNotAnInput(o.saveView, inputs);
  }
  if (!o.report.empty()) checkReportOutputs(o.report, reportFiles(o.report), inputs);
}

#include "calibrate_outputs.h"

#include "files.h"
#include "output_checks.h"
#include "report.h"

void checkCalibrateOutputs(const CalibrateOptions& o) {
  const std::vector<NamedInput> inputs{{"the reference image", o.reference}, {"the scene", o.scene}};
  if (!o.out.empty()) {
    checkWritable(o.out);
    checkNotAnInput(o.out, inputs);
  }
  if (!o.report.empty()) {
    checkFolderWritable(o.report);
    for (const std::string& file : reportFiles(o.report)) checkNotAnInput(file, inputs);
  }
}

#include "compare_command.h"

#include <nlohmann/json.hpp>

#include "app/exit_status.h"
#include "app/files.h"
#include "app/image_comparison.h"
#include "app/presentation.h"
#include "app/reference_checks.h"
#include "colc/tool/target_pose.h"
#include "max_pels_option.h"
#include "named_charts.h"

namespace {

nlohmann::ordered_json errorJson(const ColourError& e) { return {{"mean", e.mean}, {"max", e.max}}; }

}  // namespace

CLI::App* addCompareCommand(CLI::App& app, CompareOptions& o) {
  CLI::App* c = app.add_subcommand(
      "compare", "compare the colours of a target in two images (two cameras' pictures of one chart, say)");
  c->add_option("first", o.first, "an image of the target")->required();
  c->add_option("second", o.second, "another image of the target")->required();
  c->add_option("--reference", o.reference, "the target's reference image (default: the built-in target)")
      ->type_name("FILE|chart:NAME");
  c->add_flag("--json", o.json, "print one JSON object: regions, between, first, second (each mean, max)");
  addMaxPelsOption(*c);
  return c;
}

void runCompare(const CompareOptions& o, std::ostream& out) {
  const kc3PlanePelBuffer first = readColorImage(o.first);
  const kc3PlanePelBuffer second = readColorImage(o.second);
  const kc3PlanePelBuffer reference = readReference(o.reference);
  checkReference(reference, referenceName(o.reference));
  ImageComparison comparison;
  try {
    comparison = compareOnTarget(first, second, reference);
  } catch (const kcTargetNotFound& e) {
    throw CommandFailure(ExitStatus::targetNotFound, "in one of the images, " + e.text());
  }
  if (o.json) {
    const nlohmann::ordered_json json = {{"regions", comparison.between.perRegion.size()},
                                         {"between", errorJson(comparison.between)},
                                         {"first", errorJson(comparison.first)},
                                         {"second", errorJson(comparison.second)}};
    out << json.dump(2) << "\n";
    return;
  }
  out << formatted("CIEDE2000 over the %zu flat regions of %s\n", comparison.between.perRegion.size(),
                   referenceName(o.reference).c_str())
      << formatted("%-44s %8s %8s\n", "", "mean", "max");
  const struct {
    std::string what;
    const ColourError& error;
  } rows[] = {{"the two images, one against the other", comparison.between},
              {"the first against the reference", comparison.first},
              {"the second against the reference", comparison.second}};
  for (const auto& r : rows) out << formatted("%-44s %8.2f %8.2f\n", r.what.c_str(), r.error.mean, r.error.max);
}

#include "target_command.h"

#include <cmath>
#include <cstdint>
#include <iomanip>

#include "app/exit_status.h"
#include "app/files.h"
#include "app/target_width.h"
#include "named_charts.h"
#include "number_options.h"

namespace {

constexpr double kMmPerInch = 25.4;

// The pels per metre that the options ask for; 0 when neither is given.
double pelsPerMetre(const TargetOptions& o) {
  if (o.printWidthMm > 0) return static_cast<double>(o.width) / (o.printWidthMm / 1000.0);
  if (o.dpi > 0) return o.dpi / (kMmPerInch / 1000.0);
  return 0.0;
}

}  // namespace

CLI::App* addTargetCommand(CLI::App& app, TargetOptions& o) {
  CLI::App* c = app.add_subcommand(
      "target", "write a chart as an image, to print or to use as --reference (which also takes chart:NAME)");
  c->add_option("output", o.output, "the image file; .png, .tif, .bmp or .jpg (.png to state a print size)")
      ->required();
  c->add_option("--chart", o.chart,
                "colc: colc's own target; 24-patch: the common 24-patch chart (4 x 6 patches on a black card)")
      ->capture_default_str()
      ->check(CLI::IsMember(namedChartNames()));
  c->add_option("--width", o.width, "its width in pels; the height keeps the chart's proportions")
      ->capture_default_str()
      ->check(CLI::Range(kMinTargetWidth, kMaxTargetWidth));
  CLI::Option* printWidth =
      c->add_option("--print-width-mm", o.printWidthMm, "write the print resolution that makes it this wide on paper")
          ->check(finiteNumberIn(5, 10000));
  c->add_option("--dpi", o.dpi, "write this print resolution, in pels per inch")
      ->check(finiteNumberIn(10, 10000))
      ->excludes(printWidth);
  return c;
}

void runTarget(const TargetOptions& o, std::ostream& out) {
  const double perMetre = pelsPerMetre(o);
  const std::string ext = o.output.size() >= 4 ? o.output.substr(o.output.size() - 4) : "";
  if (perMetre != 0.0 && ext != ".png" && ext != ".PNG")
    throw CommandFailure(ExitStatus::usage, "a print size is written into .png files only, not '" + o.output + "'");
  checkOutputFile(o.output, "image file");  // before the work of drawing a large chart
  const kc3PlanePelBuffer chart = namedChart(o.chart).draw(o.width);
  if (perMetre == 0.0) {
    writeImage(o.output, chart);
    return;
  }
  const auto rounded = static_cast<std::uint32_t>(std::lround(perMetre));
  writePrintImage(o.output, chart, rounded);
  const double mmPerPel = 1000.0 / rounded;
  out << std::fixed << std::setprecision(1) << "printed at " << rounded * kMmPerInch / 1000.0 << " dpi, "
      << o.output << " is " << chart.width() * mmPerPel << " x " << chart.height() * mmPerPel << " mm\n";
}

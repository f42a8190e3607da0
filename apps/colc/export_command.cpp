#include "export_command.h"

#include <cstdio>

#include "colc/balance/color_correction_fit.h"

CLI::App* addExportCommand(CLI::App& app, ExportOptions& o) {
  CLI::App* c = app.add_subcommand(
      "export", "write a stored result's correction (colour correction or pel maps) as a 3D lookup table");
  c->add_option("result", o.result, "the result archive (colc calibrate --out)")->required();
  c->add_option("--cube", o.cube, "the .cube file to write")->type_name("FILE")->required();
  c->add_option("--size", o.size, "grid points along each axis of the table")
      ->check(CLI::Range(2, 256))
      ->capture_default_str();
  return c;
}

namespace {

// The correction at grid point (r, g, b) of a grid of n points per axis.
std::array<double, 3> correctionAt(const StoredCalibration& calibration, int n, int r, int g, int b) {
  const double step = 1.0 / (n - 1);
  return kfCorrectColour(calibration.result, calibration.correctionOrNull(), {r * step, g * step, b * step});
}

}  // namespace

void writeCube(std::ostream& out, const StoredCalibration& calibration, int size) {
  out << "TITLE \"colc correction\"\n"
      << "LUT_3D_SIZE " << size << "\n"
      << "DOMAIN_MIN 0.0 0.0 0.0\n"
      << "DOMAIN_MAX 1.0 1.0 1.0\n";
  // A reader interpolates between the grid points, and the correction bends
  // between them (most in the dark, where the sRGB curve is steep): an
  // entry is moved by the mean bow of the correction halfway to its
  // neighbours along the axes (how far the curve there lies off the straight
  // line between the entries), so that the interpolation runs through the
  // curve rather than below or above it.
  const int fine = 2 * size - 1;
  const auto at = [&](int r, int g, int b) { return correctionAt(calibration, fine, r, g, b); };
  char line[96];
  for (int b = 0; b < size; ++b)
    for (int g = 0; g < size; ++g)
      for (int r = 0; r < size; ++r) {
        const int point[3] = {2 * r, 2 * g, 2 * b};
        const std::array<double, 3> value = at(point[0], point[1], point[2]);
        std::array<double, 3> bow{};
        int neighbours = 0;
        for (int axis = 0; axis < 3; ++axis)
          for (int side : {-1, 1}) {
            int half[3] = {point[0], point[1], point[2]}, next[3] = {point[0], point[1], point[2]};
            half[axis] += side;
            next[axis] += 2 * side;
            if (next[axis] < 0 || next[axis] >= fine) continue;
            const std::array<double, 3> mid = at(half[0], half[1], half[2]), far = at(next[0], next[1], next[2]);
            for (std::size_t k = 0; k < 3; ++k) bow[k] += mid[k] - 0.5 * (value[k] + far[k]);
            ++neighbours;
          }
        std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", value[0] + bow[0] / neighbours,
                      value[1] + bow[1] / neighbours, value[2] + bow[2] / neighbours);
        out << line;
      }
}

void runExport(const ExportOptions& o) {
  const StoredCalibration calibration = readResultArchive(o.result);
  writeOutputFile(o.cube, "cube", [&](std::ostream& cube) { writeCube(cube, calibration, o.size); });
}

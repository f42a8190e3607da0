#include "export_command.h"

#include <cstdio>

#include "app/cube_fit.h"

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

void writeCube(std::ostream& out, const StoredCalibration& calibration, int size) {
  out << "TITLE \"colc correction\"\n"
      << "LUT_3D_SIZE " << size << "\n"
      << "DOMAIN_MIN 0.0 0.0 0.0\n"
      << "DOMAIN_MAX 1.0 1.0 1.0\n";
  const std::vector<std::array<double, 3>> fitted =
      size <= kLargestFittedCube ? fittedCubeNodes(calibration, size) : std::vector<std::array<double, 3>>();
  char line[96];
  std::size_t i = 0;
  for (int b = 0; b < size; ++b)
    for (int g = 0; g < size; ++g)
      for (int r = 0; r < size; ++r, ++i) {
        const std::array<double, 3> node = fitted.empty() ? sampledCubeNode(calibration, size, r, g, b) : fitted[i];
        std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", node[0], node[1], node[2]);
        out << line;
      }
}

void runExport(const ExportOptions& o) {
  const StoredCalibration calibration = readResultArchive(o.result);
  writeOutputFile(o.cube, "cube", [&](std::ostream& cube) { writeCube(cube, calibration, o.size); });
}

// colc cameras: the GenICam cameras colc can reach, with their vendor,
// model, serial number and the features colc uses on each, read without
// changing anything on them. A camera that cannot be opened is a camera
// failure, after the others are listed.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

struct CamerasOptions {
  // aravis:DEVICE-ID: describe this camera alone, without a discovery.
  std::string camera;
};

CLI::App* addCamerasCommand(CLI::App& app, CamerasOptions& options);
void runCameras(const CamerasOptions& options, std::ostream& out);

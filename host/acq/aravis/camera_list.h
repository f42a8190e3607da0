// The GenICam cameras Aravis can reach, for a user choosing one.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/acq/aravis/camera_deployment.h"
#include "host/acq/aravis/feature_map.h"

struct kcAravisCameraEntry {
  std::string id;  // what kcAravisOptions::deviceId takes
  std::string vendor;
  std::string model;
  std::string serial;
  std::string protocol;  // "GigEVision", "USB3Vision"
  std::string address;   // the network address, or the USB bus address
};

// Every camera that answers a discovery. This broadcasts on every network
// interface and looks on every USB bus: it is for a user asking, never
// for tests.
std::vector<kcAravisCameraEntry> kfFindAravisCameras();

// What colc would use on one camera, found by reading it alone: nothing is
// written to it.
struct kcAravisCameraDescription {
  std::string name;  // "vendor model (serial)"
  kcCameraFeatureMap features;
  kcDeploymentFeatures deployment;  // what colc deploy can write
  std::string pixelFormat;  // what a FIFO opened without options reads
  long width = 0;
  long height = 0;
};

// kcIOError when the camera cannot be opened or read; waiting as for
// kcGenicamDevice (genicam_device.h).
kcAravisCameraDescription kfDescribeAravisCamera(const std::string& deviceId,
                                                 const std::function<void(const std::string&)>& waiting = nullptr);

// The GenICam cameras Aravis can reach, for a user choosing one.
#pragma once

#include <string>
#include <vector>

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

// Deploys one fixed plan into a camera, touching every kind of feature a
// deployment writes: settings, inverted tables, a mixing colour
// transformation, and UserSet1 saved and made the power-up set. For the
// command-line tests that kill a deployment at chosen points of its
// writes: colc_deploy_plan ADDRESS.
#include <iostream>

#include "host/acq/aravis/camera_deployment.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: colc_deploy_plan ADDRESS\n";
    return 2;
  }
  kcDeploymentPlan plan;
  plan.exposure = 0.05;
  plan.contrast = 0.7;
  plan.brightness = 0.1;
  kcLutTables inverted;
  for (kcLutTable& t : inverted)
    for (int i = 0; i < 256; ++i) t[static_cast<std::size_t>(i)] = static_cast<unsigned char>(255 - i);
  plan.tables = inverted;
  plan.transformation = {1.1, -0.05, 0.02, 0.03, 0.95, 0.04, -0.02, 0.06, 1.2, -0.01, 0.02, -0.03};
  plan.userSet = "UserSet1";
  plan.makeDefault = true;
  try {
    kcCameraDeployment(argv[1], nullptr).write(plan);
  } catch (const std::exception& e) {
    std::cerr << "colc_deploy_plan: " << e.what() << "\n";
    return 1;
  }
}

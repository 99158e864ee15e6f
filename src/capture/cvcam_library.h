#pragma once

#include <string>

#include "capture/devices.h"
#include "capture/simulated_sky.h"

namespace glintvane {

// What the capture library offers beside its cvcam calls, for the camera dialogs and tests.
// The frame handler and the window's calls must not call the library: stopping and pausing
// wait for them.

// The camera of the open session.
struct OpenCamera {
  int camera = -1;         // its index in the list; -1 when no camera is open
  std::string devicePath;  // its V4L2 node, which a dialog may open for its controls; empty
                           // for the simulated sky camera
};
OpenCamera OpenedCamera();

// The simulated sky camera's settings, read by every frame it makes.
SimulationSettings& SimulatedCameraSettings();

// Ends any session and has the next cvcamGetCamerasCount list the cameras anew from this tree,
// asking each node with `query`. Every per-camera setting is forgotten.
void SetCameraTreeForTesting(const std::string& sysfsRoot, const std::string& devRoot,
                             CapabilityQuery query);

}  // namespace glintvane

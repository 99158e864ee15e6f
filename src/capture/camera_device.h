#pragma once

#include <functional>
#include <string>

#include "capture/devices.h"
#include "capture/simulated_sky.h"

namespace glintvane {

// Carries out one V4L2 request on a device: 0 on success, else the errno value. The camera
// dialogs ask everything through it, so that tests can put a fake device in its place.
using DeviceIoctl = std::function<int(unsigned long request, void* argument)>;

// One request on an open file, repeated when a signal interrupts it: 0 or the errno value.
int RetryIoctl(int fd, unsigned long request, void* argument);

// Requests on a file the caller keeps open.
DeviceIoctl FileIoctl(int fd);

// A camera of the list, opened for its property pages.
struct CameraDevice {
  DeviceIoctl ioctl;  // empty when the camera could not be opened
  int openError = 0;  // the errno value of a failed open
};

// Opens the camera's V4L2 node, which stays open while any copy of `ioctl` lives; for the
// simulated sky camera, its stand-in device over `settings`.
CameraDevice OpenCameraDevice(const CameraEntry& camera, SimulationSettings& settings);

// What a failed request means to the user, as a sentence; empty for 0.
std::string DeviceErrorText(int error);

}  // namespace glintvane

#pragma once

#include "capture/camera_device.h"
#include "capture/simulated_sky.h"

namespace glintvane {

// The simulated sky camera as a V4L2 device for its property pages: its knobs are integer
// controls ("Gain" and "Noise level" in percent, "Meteors per minute"), and it offers 24-bit
// BGR at a few sizes and rates of its own. Setting a format only checks it: the capture library
// keeps the chosen mode.
DeviceIoctl SimulatedDeviceIoctl(SimulationSettings& settings);

}  // namespace glintvane

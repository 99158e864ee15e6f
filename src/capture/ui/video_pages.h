#pragma once

#include <memory>

#include <QDialog>

#include "capture/camera_device.h"

namespace glintvane {

// The video property pages of the listed `camera`, over its opened `device`: its pixel formats,
// the frame sizes of the chosen format and the frame rates of the chosen size. OK and Apply set
// the mode through the capture library, which keeps it as the user's choice for the camera and
// switches an open session to it; a camera with no open session is also set at once, which
// tells whether another program holds it. Say so instead when the device could not be opened
// or offers no format Glintvane can use.
std::unique_ptr<QDialog> CreateVideoPages(int camera, CameraDevice device, QWidget* parent);

}  // namespace glintvane

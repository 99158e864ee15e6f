#pragma once

#include <memory>

#include <QDialog>

#include "capture/camera_device.h"

namespace glintvane {

// The camera property pages of the listed `camera`, over its opened `device`: a tab for each
// control class, a widget for each control, every change sent to the device at once, and
// "Restore Defaults". Say so instead when the device could not be opened or has no controls.
std::unique_ptr<QDialog> CreateCameraPages(int camera, CameraDevice device, QWidget* parent);

}  // namespace glintvane

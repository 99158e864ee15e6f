#pragma once

#include <QMainWindow>

#include "capture/cvcam.h"

namespace glintvane {

// The Cameras menu lists every camera of the capture library, item i sending
// CMD_CAMERA_BASE + i. Check marks go by position: item i is camera i.

// Replaces the placeholder with the cameras, selects camera 0 and titles the window.
void BuildCameraMenu(QMainWindow* window);

// Moves the selection and its check mark to `camera`, then re-titles the window.
void SelectCamera(QMainWindow* window, int camera);

// "Glintvane <description of the selected camera>", or "Glintvane" with no camera.
void UpdateTitle(QMainWindow* window);

// Reads the camera's description into `area`; 0 (and an empty area) when the
// library has no such camera.
int GetCameraDescription(int camera, char (&area)[kDescriptionAreaSize]);

}  // namespace glintvane

#pragma once

#include "capture/cvcam.h"

namespace glintvane {

// The capture session operations called by the Run and Options commands on the
// user-interface thread. Each returns 1; StartCapture returns 0 on failure.

int StartCapture(const CameraWindow& window, int camera, int width, int height, float frameRate);
int StopCapture();
int PauseCapture();
int ResumeCapture();
int ShowCameraProperties(int camera);
int ShowVideoProperties(int camera);

// Drops the output image and both stacks without writing anything.
void ReleaseSessionImages();

}  // namespace glintvane

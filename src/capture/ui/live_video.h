#pragma once

#include <QMainWindow>

#include "capture/cvcam.h"

namespace glintvane {

// Where a capture session shows its frames in the main window: a video area, the window's
// central widget (made on the first call), shows the latest frame scaled to fit with its shape
// kept, on a dark background. The capture thread only copies each frame into a slot (as 32-bit
// BGRA, which Qt paints without converting) and asks for a repaint when none is on its way, so
// a slow screen drops frames for display and never holds up the capture. When the session ends
// the area goes back to the window's own empty background. The record stays harmless after the
// window is gone.
CameraWindow LiveVideoWindow(QMainWindow* window);

}  // namespace glintvane

#pragma once

#include <optional>
#include <string>

#include <opencv2/core/mat.hpp>

#include "capture/devices.h"
#include "capture/simulated_sky.h"
#include "capture/v4l2_modes.h"

namespace glintvane {

// What the capture library offers beside its cvcam calls, for the camera dialogs and tests.
// The frame handler and the window's calls must not call the library: stopping and pausing
// wait for them.

// The frame as the handler takes it: rows bottom-first. `flipped`'s memory is reused.
void TurnBottomFirst(const cv::Mat& upright, cv::Mat& flipped);

// The camera of the open session.
struct OpenCamera {
  int camera = -1;         // its index in the list; -1 when no camera is open
  std::string devicePath;  // its V4L2 node, which a dialog may open for its controls; empty
                           // for the simulated sky camera
};
OpenCamera OpenedCamera();

// A camera of the list; none for an index outside it.
std::optional<CameraEntry> ListedCamera(int camera);

// What setting a camera's capture mode did.
enum class ModeChange {
  kRemembered,  // the camera has no open session: its next init opens it in the mode
  kSwitched,    // the open session now delivers frames in the mode
  kRefused,     // the device would not take the mode: the session carries on in the one it had
  kLost,        // the camera could not be reopened: the session has ended
  kNoCamera,    // no such camera in the list
};

// The user's choice of pixel format, size and rate for the camera, kept for the rest of the run
// and taking precedence over cvcamSetVideoFormat at every later init. When the camera's session
// is open, its stream is stopped, reopened in the mode and restarted as it was (running or
// not, paused or not); the window is cleared in between and the frames that follow have the
// new size.
ModeChange SetCaptureMode(int camera, const CaptureMode& mode);

// The mode of the camera's open session, else the user's choice for it, else none.
std::optional<CaptureMode> CaptureModeOf(int camera);

// The simulated sky camera's settings, read by every frame it makes.
SimulationSettings& SimulatedCameraSettings();

// Ends any session and has the next cvcamGetCamerasCount list the cameras anew from this tree,
// asking each node with `query`. Every per-camera setting is forgotten.
void SetCameraTreeForTesting(const std::string& sysfsRoot, const std::string& devRoot,
                             CapabilityQuery query);

}  // namespace glintvane

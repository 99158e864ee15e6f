#pragma once

#include <optional>
#include <variant>

#include <opencv2/core/mat.hpp>

#include "capture/cvcam.h"
#include "capture/devices.h"
#include "capture/simulated_sky.h"
#include "capture/v4l2_modes.h"
#include "capture/v4l2_source.h"

namespace glintvane {

// Where a session's frames come from: a V4L2 device or the simulated sky camera.
using FrameSource = std::variant<V4l2Source, SimulatedCamera>;

// Opens the camera at the format nearest to `wanted`; none when it cannot be used.
std::optional<FrameSource> OpenFrameSource(const CameraEntry& camera, const VideoFormat& wanted,
                                           const SimulationSettings& simulation);

// Opens the camera in `mode`, a mode it listed (the user's choice); none when it cannot be used
// so.
std::optional<FrameSource> OpenFrameSourceInMode(const CameraEntry& camera, const CaptureMode& mode,
                                                 const SimulationSettings& simulation);

// The mode the source delivers frames in.
CaptureMode FrameSourceMode(const FrameSource& source);

// Frames flow between start and stop; false when the device refuses to start.
bool StartFrames(FrameSource& source);
void StopFrames(FrameSource& source);

// Waits a short while for the next frame. It is made into `bgr` (8-bit 3-channel BGR) only when
// `wanted`; otherwise it is dropped and kNoFrame returned.
ReadResult ReadFrame(FrameSource& source, cv::Mat& bgr, bool wanted);

void CloseFrameSource(FrameSource& source);

}  // namespace glintvane

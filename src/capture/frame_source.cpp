#include "capture/frame_source.h"

#include <chrono>

#include <linux/videodev2.h>

namespace glintvane {

std::optional<FrameSource> OpenFrameSource(const CameraEntry& camera, const VideoFormat& wanted,
                                           const SimulationSettings& simulation) {
  if (camera.devicePath.empty()) return OpenSimulatedCamera(wanted, simulation);
  std::optional<V4l2Source> device = OpenV4l2Source(camera.devicePath, wanted);
  if (!device) return std::nullopt;
  return std::move(*device);
}

std::optional<FrameSource> OpenFrameSourceInMode(const CameraEntry& camera, const CaptureMode& mode,
                                                 const SimulationSettings& simulation) {
  if (camera.devicePath.empty()) {
    return OpenSimulatedCamera({mode.size.width, mode.size.height, mode.frameRate}, simulation);
  }
  std::optional<V4l2Source> device = OpenV4l2SourceInMode(camera.devicePath, mode);
  if (!device) return std::nullopt;
  return std::move(*device);
}

CaptureMode FrameSourceMode(const FrameSource& source) {
  if (const auto* device = std::get_if<V4l2Source>(&source)) {
    return {device->pixelFormat, {device->width, device->height}, device->frameRate};
  }
  const auto& simulated = std::get<SimulatedCamera>(source);
  return {V4L2_PIX_FMT_BGR24, simulated.sky.size, simulated.frameRate};
}

bool StartFrames(FrameSource& source) {
  if (auto* device = std::get_if<V4l2Source>(&source)) return StartV4l2Streaming(*device);
  StartSimulatedFrames(std::get<SimulatedCamera>(source));
  return true;
}

void StopFrames(FrameSource& source) {
  if (auto* device = std::get_if<V4l2Source>(&source)) StopV4l2Streaming(*device);
}

ReadResult ReadFrame(FrameSource& source, cv::Mat& bgr, bool wanted) {
  if (auto* device = std::get_if<V4l2Source>(&source)) return ReadV4l2Frame(*device, bgr, wanted);
  bool made = ReadSimulatedFrame(std::get<SimulatedCamera>(source), bgr, wanted,
                                 std::chrono::milliseconds(kReadTimeoutMs));
  return made && wanted ? ReadResult::kFrame : ReadResult::kNoFrame;
}

void CloseFrameSource(FrameSource& source) {
  if (auto* device = std::get_if<V4l2Source>(&source)) CloseV4l2Source(*device);
}

}  // namespace glintvane

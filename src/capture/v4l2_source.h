#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core/mat.hpp>

#include "capture/cvcam.h"
#include "capture/v4l2_modes.h"

namespace glintvane {

struct MappedBuffer {
  void* start;
  std::size_t length;
};

// An open V4L2 capture node with its negotiated format and its mapped buffers.
struct V4l2Source {
  std::string devicePath;
  int fd = -1;
  std::uint32_t pixelFormat = 0;
  int width = 0, height = 0, bytesPerLine = 0;
  double frameRate = 0;  // as the device reports it; 0 when it cannot tell
  std::vector<MappedBuffer> buffers;
};

enum class ReadResult { kFrame, kNoFrame, kGone };

// How long one read waits for the device, so that a stalled camera cannot hold up a stop.
constexpr int kReadTimeoutMs = 100;

// Opens the node in the mode nearest to `wanted`; none when it is missing, busy, not a
// camera, or offers no format that can be converted.
std::optional<V4l2Source> OpenV4l2Source(const std::string& devicePath, const VideoFormat& wanted);

// Opens the node in `mode`, as near as the device allows; none when it is missing, busy, not
// a camera, or gives a format that cannot be converted.
std::optional<V4l2Source> OpenV4l2SourceInMode(const std::string& devicePath,
                                               const CaptureMode& mode);

// Queues every buffer and starts the stream; false when the device refuses.
bool StartV4l2Streaming(V4l2Source& source);
void StopV4l2Streaming(V4l2Source& source);

// Waits up to kReadTimeoutMs for a frame and hands its buffer back to the device. When
// `convert`, the frame goes into `bgr` and kFrame is returned; otherwise it is dropped.
ReadResult ReadV4l2Frame(V4l2Source& source, cv::Mat& bgr, bool convert);

void CloseV4l2Source(V4l2Source& source);

}  // namespace glintvane

#include "capture/v4l2_source.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <functional>

#include <linux/videodev2.h>

#include "capture/camera_device.h"
#include "capture/devices.h"
#include "capture/frame_conversion.h"
#include "capture/v4l2_modes.h"
#include "capture/video_formats.h"

namespace glintvane {
namespace {

constexpr std::uint32_t kCaptureType = V4L2_BUF_TYPE_VIDEO_CAPTURE;
constexpr std::uint32_t kBufferCount = 4;

bool Ioctl(int fd, unsigned long request, void* argument) {
  return RetryIoctl(fd, request, argument) == 0;
}

bool IsStreamingCaptureNode(int fd) {
  v4l2_capability caps{};
  if (!Ioctl(fd, VIDIOC_QUERYCAP, &caps)) return false;
  std::uint32_t nodeCaps = NodeCapabilities(caps);
  return (nodeCaps & V4L2_CAP_VIDEO_CAPTURE) && (nodeCaps & V4L2_CAP_STREAMING);
}

// The device's own size nearest to `wanted`; `wanted` itself when the device does not list
// sizes (setting the format then adjusts it).
cv::Size NearestDeviceSize(const DeviceIoctl& device, std::uint32_t pixelFormat, cv::Size wanted) {
  std::vector<FrameSizeRange> ranges = ListFrameSizes(device, pixelFormat);
  return ranges.empty() ? wanted : NearestFrameSize(ranges, wanted);
}

double HighestRate(const DeviceIoctl& device, std::uint32_t pixelFormat, cv::Size size) {
  double highest = 0;
  for (const FrameIntervalRange& range : ListFrameIntervals(device, pixelFormat, size)) {
    highest = std::max(highest, FrameRate(range.min));
  }
  return highest;
}

// Of the formats that can be converted, the mode nearest to `wanted`, at the wanted rate.
std::optional<CaptureMode> NearestMode(const DeviceIoctl& device, const VideoFormat& wanted) {
  std::vector<CaptureMode> modes;
  for (const PixelFormatEntry& format : ListPixelFormats(device)) {
    if (!format.usable) continue;
    cv::Size size = NearestDeviceSize(device, format.pixelFormat, {wanted.width, wanted.height});
    modes.push_back({format.pixelFormat, size, HighestRate(device, format.pixelFormat, size)});
  }
  if (modes.empty()) return std::nullopt;
  CaptureMode chosen = ChooseCaptureMode(modes, wanted);
  chosen.frameRate = wanted.frameRate;
  return chosen;
}

// Sets the mode and keeps what the device actually gives, which may differ from the mode. The
// rate is best effort: a device without a settable rate runs at its own.
bool SetMode(V4l2Source& source, const DeviceIoctl& device, const CaptureMode& mode) {
  v4l2_pix_format given{};
  if (SetDeviceFormat(device, mode, given) != 0 || !CanConvertPixelFormat(given.pixelformat)) {
    return false;
  }
  source.pixelFormat = given.pixelformat;
  source.width = given.width;
  source.height = given.height;
  source.bytesPerLine = given.bytesperline;
  SetDeviceFrameRate(device, source.pixelFormat, {source.width, source.height}, mode.frameRate);
  source.frameRate = DeviceFrameRate(device);
  return true;
}

bool MapBuffers(V4l2Source& source) {
  v4l2_requestbuffers request{};
  request.count = kBufferCount;
  request.type = kCaptureType;
  request.memory = V4L2_MEMORY_MMAP;
  if (!Ioctl(source.fd, VIDIOC_REQBUFS, &request) || request.count < 2) return false;
  for (std::uint32_t index = 0; index < request.count; ++index) {
    v4l2_buffer buffer{};
    buffer.type = kCaptureType;
    buffer.memory = V4L2_MEMORY_MMAP;
    buffer.index = index;
    if (!Ioctl(source.fd, VIDIOC_QUERYBUF, &buffer)) return false;
    void* start = mmap(nullptr, buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, source.fd,
                       buffer.m.offset);
    if (start == MAP_FAILED) return false;
    source.buffers.push_back({start, buffer.length});
  }
  return true;
}

bool QueueBuffer(const V4l2Source& source, std::uint32_t index) {
  v4l2_buffer buffer{};
  buffer.type = kCaptureType;
  buffer.memory = V4L2_MEMORY_MMAP;
  buffer.index = index;
  return Ioctl(source.fd, VIDIOC_QBUF, &buffer);
}

using ModeChooser = std::function<std::optional<CaptureMode>(const DeviceIoctl& device)>;

bool Configure(V4l2Source& source, const ModeChooser& chooseMode) {
  if (!IsStreamingCaptureNode(source.fd)) return false;
  DeviceIoctl device = FileIoctl(source.fd);
  std::optional<CaptureMode> mode = chooseMode(device);
  return mode && SetMode(source, device, *mode) && MapBuffers(source);
}

std::optional<V4l2Source> OpenWithMode(const std::string& devicePath,
                                       const ModeChooser& chooseMode) {
  V4l2Source source;
  source.devicePath = devicePath;
  // Non-blocking, so that neither opening nor dequeuing can wait on the device.
  source.fd = open(devicePath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (source.fd < 0) return std::nullopt;
  if (!Configure(source, chooseMode)) {
    CloseV4l2Source(source);
    return std::nullopt;
  }
  return source;
}

}  // namespace

std::optional<V4l2Source> OpenV4l2Source(const std::string& devicePath, const VideoFormat& wanted) {
  return OpenWithMode(devicePath,
                      [&](const DeviceIoctl& device) { return NearestMode(device, wanted); });
}

std::optional<V4l2Source> OpenV4l2SourceInMode(const std::string& devicePath,
                                               const CaptureMode& mode) {
  return OpenWithMode(devicePath, [&](const DeviceIoctl&) { return std::optional(mode); });
}

bool StartV4l2Streaming(V4l2Source& source) {
  for (std::uint32_t index = 0; index < source.buffers.size(); ++index) {
    if (!QueueBuffer(source, index)) return false;
  }
  std::uint32_t type = kCaptureType;
  return Ioctl(source.fd, VIDIOC_STREAMON, &type);
}

void StopV4l2Streaming(V4l2Source& source) {
  // Also takes every buffer back from the device, ready for the next start.
  std::uint32_t type = kCaptureType;
  Ioctl(source.fd, VIDIOC_STREAMOFF, &type);
}

ReadResult ReadV4l2Frame(V4l2Source& source, cv::Mat& bgr, bool convert) {
  pollfd waiting{source.fd, POLLIN, 0};
  int ready = poll(&waiting, 1, kReadTimeoutMs);
  if (ready < 0) return errno == EINTR ? ReadResult::kNoFrame : ReadResult::kGone;
  if (ready == 0) return ReadResult::kNoFrame;
  if (waiting.revents & (POLLERR | POLLHUP | POLLNVAL)) return ReadResult::kGone;

  v4l2_buffer buffer{};
  buffer.type = kCaptureType;
  buffer.memory = V4L2_MEMORY_MMAP;
  if (!Ioctl(source.fd, VIDIOC_DQBUF, &buffer)) {
    // EIO is a damaged frame, which the device may recover from.
    return errno == EAGAIN || errno == EIO ? ReadResult::kNoFrame : ReadResult::kGone;
  }
  bool converted = false;
  if (convert && !(buffer.flags & V4L2_BUF_FLAG_ERROR) && buffer.index < source.buffers.size()) {
    RawFrame raw{source.pixelFormat,
                 source.width,
                 source.height,
                 source.bytesPerLine,
                 static_cast<const std::uint8_t*>(source.buffers[buffer.index].start),
                 std::min<std::size_t>(buffer.bytesused, source.buffers[buffer.index].length)};
    converted = ConvertToBgr(raw, bgr);
  }
  if (!QueueBuffer(source, buffer.index)) return ReadResult::kGone;
  return converted ? ReadResult::kFrame : ReadResult::kNoFrame;
}

void CloseV4l2Source(V4l2Source& source) {
  for (const MappedBuffer& buffer : source.buffers) munmap(buffer.start, buffer.length);
  source.buffers.clear();
  if (source.fd >= 0) close(source.fd);
  source.fd = -1;
}

}  // namespace glintvane

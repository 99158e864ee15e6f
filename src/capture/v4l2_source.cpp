#include "capture/v4l2_source.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include <linux/videodev2.h>

#include "capture/devices.h"
#include "capture/frame_conversion.h"
#include "capture/v4l2_modes.h"

namespace glintvane {
namespace {

constexpr std::uint32_t kCaptureType = V4L2_BUF_TYPE_VIDEO_CAPTURE;
constexpr std::uint32_t kBufferCount = 4;

bool Ioctl(int fd, unsigned long request, void* argument) {
  int result;
  do {
    result = ioctl(fd, request, argument);
  } while (result < 0 && errno == EINTR);
  return result == 0;
}

bool IsStreamingCaptureNode(int fd) {
  v4l2_capability caps{};
  if (!Ioctl(fd, VIDIOC_QUERYCAP, &caps)) return false;
  std::uint32_t nodeCaps = NodeCapabilities(caps);
  return (nodeCaps & V4L2_CAP_VIDEO_CAPTURE) && (nodeCaps & V4L2_CAP_STREAMING);
}

std::vector<FrameSizeRange> ListFrameSizes(int fd, std::uint32_t pixelFormat) {
  std::vector<FrameSizeRange> ranges;
  v4l2_frmsizeenum size{};
  size.pixel_format = pixelFormat;
  for (; Ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &size); ++size.index) {
    if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
      cv::Size only(size.discrete.width, size.discrete.height);
      ranges.push_back({only, only, {1, 1}});
    } else {  // stepwise or continuous: one range says it all
      const auto& s = size.stepwise;
      ranges.push_back({{int(s.min_width), int(s.min_height)},
                        {int(s.max_width), int(s.max_height)},
                        {int(s.step_width), int(s.step_height)}});
      break;
    }
  }
  return ranges;
}

std::vector<FrameIntervalRange> ListFrameIntervals(int fd, std::uint32_t pixelFormat,
                                                   cv::Size size) {
  std::vector<FrameIntervalRange> ranges;
  v4l2_frmivalenum interval{};
  interval.pixel_format = pixelFormat;
  interval.width = size.width;
  interval.height = size.height;
  for (; Ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &interval); ++interval.index) {
    if (interval.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
      ranges.push_back({interval.discrete, interval.discrete});
    } else {
      ranges.push_back({interval.stepwise.min, interval.stepwise.max});
      break;
    }
  }
  return ranges;
}

// The device's own size nearest to `wanted`; `wanted` itself when the device does not list
// sizes (setting the format then adjusts it).
cv::Size NearestDeviceSize(int fd, std::uint32_t pixelFormat, cv::Size wanted) {
  std::vector<FrameSizeRange> ranges = ListFrameSizes(fd, pixelFormat);
  return ranges.empty() ? wanted : NearestFrameSize(ranges, wanted);
}

double HighestRate(int fd, std::uint32_t pixelFormat, cv::Size size) {
  double highest = 0;
  for (const FrameIntervalRange& range : ListFrameIntervals(fd, pixelFormat, size)) {
    highest = std::max(highest, FrameRate(range.min));
  }
  return highest;
}

std::vector<CaptureMode> ListCaptureModes(int fd, const VideoFormat& wanted) {
  std::vector<CaptureMode> modes;
  v4l2_fmtdesc format{};
  format.type = kCaptureType;
  for (; Ioctl(fd, VIDIOC_ENUM_FMT, &format); ++format.index) {
    if (!CanConvertPixelFormat(format.pixelformat)) continue;
    cv::Size size = NearestDeviceSize(fd, format.pixelformat, {wanted.width, wanted.height});
    modes.push_back({format.pixelformat, size, HighestRate(fd, format.pixelformat, size)});
  }
  return modes;
}

// Sets the mode and keeps what the device actually gives, which may differ from the mode.
bool SetFormat(V4l2Source& source, const CaptureMode& mode) {
  v4l2_format format{};
  format.type = kCaptureType;
  format.fmt.pix.width = mode.size.width;
  format.fmt.pix.height = mode.size.height;
  format.fmt.pix.pixelformat = mode.pixelFormat;
  format.fmt.pix.field = V4L2_FIELD_ANY;
  if (!Ioctl(source.fd, VIDIOC_S_FMT, &format) ||
      !CanConvertPixelFormat(format.fmt.pix.pixelformat)) {
    return false;
  }
  source.pixelFormat = format.fmt.pix.pixelformat;
  source.width = format.fmt.pix.width;
  source.height = format.fmt.pix.height;
  source.bytesPerLine = format.fmt.pix.bytesperline;
  return true;
}

// Best effort: a device without a settable rate runs at its own.
void SetFrameRate(const V4l2Source& source, double wantedRate) {
  v4l2_streamparm parameters{};
  parameters.type = kCaptureType;
  if (!(wantedRate > 0) || !Ioctl(source.fd, VIDIOC_G_PARM, &parameters) ||
      !(parameters.parm.capture.capability & V4L2_CAP_TIMEPERFRAME)) {
    return;
  }
  cv::Size size(source.width, source.height);
  parameters.parm.capture.timeperframe =
      NearestFrameInterval(ListFrameIntervals(source.fd, source.pixelFormat, size), wantedRate);
  Ioctl(source.fd, VIDIOC_S_PARM, &parameters);
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

bool Configure(V4l2Source& source, const VideoFormat& wanted) {
  if (!IsStreamingCaptureNode(source.fd)) return false;
  std::vector<CaptureMode> modes = ListCaptureModes(source.fd, wanted);
  if (modes.empty() || !SetFormat(source, ChooseCaptureMode(modes, wanted))) return false;
  SetFrameRate(source, wanted.frameRate);
  return MapBuffers(source);
}

}  // namespace

std::optional<V4l2Source> OpenV4l2Source(const std::string& devicePath, const VideoFormat& wanted) {
  V4l2Source source;
  source.devicePath = devicePath;
  // Non-blocking, so that neither opening nor dequeuing can wait on the device.
  source.fd = open(devicePath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (source.fd < 0) return std::nullopt;
  if (!Configure(source, wanted)) {
    CloseV4l2Source(source);
    return std::nullopt;
  }
  return source;
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

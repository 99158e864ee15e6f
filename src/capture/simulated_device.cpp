#include "capture/simulated_device.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <iterator>
#include <vector>

#include <linux/videodev2.h>

#include "capture/v4l2_modes.h"

namespace glintvane {
namespace {

constexpr std::uint32_t kNoiseLevelId = V4L2_CID_USER_BASE + 0x1000;
constexpr std::uint32_t kMeteorRateId = V4L2_CID_USER_BASE + 0x1001;
constexpr std::uint32_t kPixelFormat = V4L2_PIX_FMT_BGR24;
constexpr std::uint32_t kCaptureType = V4L2_BUF_TYPE_VIDEO_CAPTURE;

// One entry of the control list; a knob's setting is its value divided by `scale`.
struct SimulatedControl {
  std::uint32_t id;
  std::uint32_t type;
  const char* name;
  std::int32_t minimum, maximum;
  std::atomic<float> SimulationSettings::*setting;  // null for the class entry
  float scale;
};

// In the order of their ids, as the next-control query walks them.
const SimulatedControl kControls[] = {
    {V4L2_CID_USER_CLASS, V4L2_CTRL_TYPE_CTRL_CLASS, "Simulated sky", 0, 0, nullptr, 1},
    {V4L2_CID_GAIN, V4L2_CTRL_TYPE_INTEGER, "Gain", 10, 400, &SimulationSettings::gain, 100},
    {kNoiseLevelId, V4L2_CTRL_TYPE_INTEGER, "Noise level", 0, 400, &SimulationSettings::noiseLevel,
     100},
    {kMeteorRateId, V4L2_CTRL_TYPE_INTEGER, "Meteors per minute", 0, 120,
     &SimulationSettings::meteorsPerMinute, 1},
};

const std::vector<cv::Size> kSizes = {{640, 480}, {800, 600}, {1280, 720}, {1920, 1080}};
constexpr std::uint32_t kRates[] = {30, 25, 20, 15, 10};

std::int32_t ValueOf(const SimulatedControl& control, const SimulationSettings& settings) {
  return std::int32_t(std::lround((settings.*control.setting).load() * control.scale));
}

const SimulatedControl* FindControl(std::uint32_t id) {
  auto found = std::find_if(std::begin(kControls), std::end(kControls),
                            [&](const SimulatedControl& c) { return c.id == id; });
  return found == std::end(kControls) ? nullptr : found;
}

const SimulatedControl* ControlAfter(std::uint32_t id) {
  auto found = std::find_if(std::begin(kControls), std::end(kControls),
                            [&](const SimulatedControl& c) { return c.id > id; });
  return found == std::end(kControls) ? nullptr : found;
}

int QueryControl(v4l2_query_ext_ctrl& query) {
  constexpr std::uint32_t kNextFlags = V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND;
  std::uint32_t id = query.id & ~kNextFlags;
  const SimulatedControl* control =
      (query.id & V4L2_CTRL_FLAG_NEXT_CTRL) ? ControlAfter(id) : FindControl(id);
  if (!control) return EINVAL;
  static const SimulationSettings kDefaults;
  query = {};
  query.id = control->id;
  query.type = control->type;
  std::strncpy(query.name, control->name, sizeof query.name - 1);
  if (!control->setting) {
    query.flags = V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_WRITE_ONLY;
    return 0;
  }
  query.minimum = control->minimum;
  query.maximum = control->maximum;
  query.step = 1;
  query.default_value = ValueOf(*control, kDefaults);
  query.flags = V4L2_CTRL_FLAG_SLIDER;
  return 0;
}

int GetControl(const SimulationSettings& settings, v4l2_control& value) {
  const SimulatedControl* control = FindControl(value.id);
  if (!control || !control->setting) return EINVAL;
  value.value = ValueOf(*control, settings);
  return 0;
}

// Out-of-range values are clamped, as drivers do.
int SetControl(SimulationSettings& settings, const v4l2_control& value) {
  const SimulatedControl* control = FindControl(value.id);
  if (!control || !control->setting) return EINVAL;
  std::int32_t clamped = std::clamp(value.value, control->minimum, control->maximum);
  (settings.*control->setting).store(float(clamped) / control->scale);
  return 0;
}

int EnumerateFormat(v4l2_fmtdesc& format) {
  if (format.index != 0 || format.type != kCaptureType) return EINVAL;
  format.flags = 0;
  format.pixelformat = kPixelFormat;
  std::strncpy(reinterpret_cast<char*>(format.description), "24-bit BGR (simulated)",
               sizeof format.description - 1);
  return 0;
}

bool IsListedSize(std::uint32_t width, std::uint32_t height) {
  return std::find(kSizes.begin(), kSizes.end(), cv::Size(int(width), int(height))) != kSizes.end();
}

int EnumerateSize(v4l2_frmsizeenum& size) {
  if (size.pixel_format != kPixelFormat || size.index >= kSizes.size()) return EINVAL;
  size.type = V4L2_FRMSIZE_TYPE_DISCRETE;
  size.discrete = {std::uint32_t(kSizes[size.index].width),
                   std::uint32_t(kSizes[size.index].height)};
  return 0;
}

int EnumerateInterval(v4l2_frmivalenum& interval) {
  if (interval.pixel_format != kPixelFormat || interval.index >= std::size(kRates) ||
      !IsListedSize(interval.width, interval.height)) {
    return EINVAL;
  }
  interval.type = V4L2_FRMIVAL_TYPE_DISCRETE;
  interval.discrete = {1, kRates[interval.index]};
  return 0;
}

// The sizes as single-size ranges, for snapping a request to the nearest.
std::vector<FrameSizeRange> SizeRanges() {
  std::vector<FrameSizeRange> ranges;
  for (cv::Size size : kSizes) ranges.push_back({size, size, {1, 1}});
  return ranges;
}

// Reports `size` (the nearest listed one when setting) in the format.
int DescribeFormat(v4l2_format& format, cv::Size size) {
  if (format.type != kCaptureType) return EINVAL;
  size = NearestFrameSize(SizeRanges(), size);
  format.fmt.pix = {};
  format.fmt.pix.width = size.width;
  format.fmt.pix.height = size.height;
  format.fmt.pix.pixelformat = kPixelFormat;
  format.fmt.pix.field = V4L2_FIELD_NONE;
  format.fmt.pix.bytesperline = 3 * size.width;
  format.fmt.pix.sizeimage = 3 * size.width * size.height;
  return 0;
}

// Reports the listed interval nearest to `rate`.
int DescribeRate(v4l2_streamparm& parameters, double rate) {
  if (parameters.type != kCaptureType) return EINVAL;
  std::vector<FrameIntervalRange> intervals;
  for (std::uint32_t listed : kRates) intervals.push_back({{1, listed}, {1, listed}});
  parameters.parm.capture = {};
  parameters.parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
  parameters.parm.capture.timeperframe = NearestFrameInterval(intervals, rate);
  return 0;
}

int SimulatedRequest(SimulationSettings& settings, unsigned long request, void* argument) {
  // Before any choice the camera is in the mode the program asks for at start.
  const VideoFormat unchosen{};
  switch (request) {
    case VIDIOC_QUERY_EXT_CTRL:
      return QueryControl(*static_cast<v4l2_query_ext_ctrl*>(argument));
    case VIDIOC_G_CTRL:
      return GetControl(settings, *static_cast<v4l2_control*>(argument));
    case VIDIOC_S_CTRL:
      return SetControl(settings, *static_cast<v4l2_control*>(argument));
    case VIDIOC_ENUM_FMT:
      return EnumerateFormat(*static_cast<v4l2_fmtdesc*>(argument));
    case VIDIOC_ENUM_FRAMESIZES:
      return EnumerateSize(*static_cast<v4l2_frmsizeenum*>(argument));
    case VIDIOC_ENUM_FRAMEINTERVALS:
      return EnumerateInterval(*static_cast<v4l2_frmivalenum*>(argument));
    case VIDIOC_G_FMT:
      return DescribeFormat(*static_cast<v4l2_format*>(argument), SimulatedFrameSize(unchosen));
    case VIDIOC_S_FMT: {
      auto& format = *static_cast<v4l2_format*>(argument);
      return DescribeFormat(format, {int(format.fmt.pix.width), int(format.fmt.pix.height)});
    }
    case VIDIOC_G_PARM:
      return DescribeRate(*static_cast<v4l2_streamparm*>(argument), SimulatedFrameRate(unchosen));
    case VIDIOC_S_PARM: {
      auto& parameters = *static_cast<v4l2_streamparm*>(argument);
      return DescribeRate(parameters, FrameRate(parameters.parm.capture.timeperframe));
    }
    default:
      return ENOTTY;
  }
}

}  // namespace

DeviceIoctl SimulatedDeviceIoctl(SimulationSettings& settings) {
  return [&settings](unsigned long request, void* argument) {
    return SimulatedRequest(settings, request, argument);
  };
}

}  // namespace glintvane

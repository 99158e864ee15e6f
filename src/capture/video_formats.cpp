#include "capture/video_formats.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "capture/frame_conversion.h"

namespace glintvane {
namespace {

constexpr std::uint32_t kCaptureType = V4L2_BUF_TYPE_VIDEO_CAPTURE;

v4l2_streamparm ReadStreamParameters(const DeviceIoctl& device, int& error) {
  v4l2_streamparm parameters{};
  parameters.type = kCaptureType;
  error = device(VIDIOC_G_PARM, &parameters);
  return parameters;
}

}  // namespace

std::vector<PixelFormatEntry> ListPixelFormats(const DeviceIoctl& device) {
  std::vector<PixelFormatEntry> formats;
  v4l2_fmtdesc format{};
  format.type = kCaptureType;
  for (; device(VIDIOC_ENUM_FMT, &format) == 0; ++format.index) {
    const auto* description = reinterpret_cast<const char*>(format.description);
    formats.push_back({format.pixelformat,
                       std::string(description, strnlen(description, sizeof format.description)),
                       CanConvertPixelFormat(format.pixelformat)});
  }
  return formats;
}

std::vector<FrameSizeRange> ListFrameSizes(const DeviceIoctl& device, std::uint32_t pixelFormat) {
  std::vector<FrameSizeRange> ranges;
  v4l2_frmsizeenum size{};
  size.pixel_format = pixelFormat;
  for (; device(VIDIOC_ENUM_FRAMESIZES, &size) == 0; ++size.index) {
    if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
      cv::Size only(size.discrete.width, size.discrete.height);
      ranges.push_back({only, only, {1, 1}});
    } else {  // stepwise or continuous: one range says it all
      const auto& s = size.stepwise;
      ranges.push_back({{int(s.min_width), int(s.min_height)},
                        {int(s.max_width), int(s.max_height)},
                        {std::max(1, int(s.step_width)), std::max(1, int(s.step_height))}});
      break;
    }
  }
  return ranges;
}

std::vector<FrameIntervalRange> ListFrameIntervals(const DeviceIoctl& device,
                                                   std::uint32_t pixelFormat, cv::Size size) {
  std::vector<FrameIntervalRange> ranges;
  v4l2_frmivalenum interval{};
  interval.pixel_format = pixelFormat;
  interval.width = size.width;
  interval.height = size.height;
  for (; device(VIDIOC_ENUM_FRAMEINTERVALS, &interval) == 0; ++interval.index) {
    if (interval.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
      ranges.push_back({interval.discrete, interval.discrete});
    } else {
      ranges.push_back({interval.stepwise.min, interval.stepwise.max});
      break;
    }
  }
  return ranges;
}

int SetDeviceFormat(const DeviceIoctl& device, const CaptureMode& mode, v4l2_pix_format& given) {
  v4l2_format format{};
  format.type = kCaptureType;
  format.fmt.pix.width = mode.size.width;
  format.fmt.pix.height = mode.size.height;
  format.fmt.pix.pixelformat = mode.pixelFormat;
  format.fmt.pix.field = V4L2_FIELD_ANY;
  int error = device(VIDIOC_S_FMT, &format);
  given = format.fmt.pix;
  return error;
}

int SetDeviceFrameRate(const DeviceIoctl& device, std::uint32_t pixelFormat, cv::Size size,
                       double frameRate) {
  if (!(frameRate > 0)) return 0;
  int error;
  v4l2_streamparm parameters = ReadStreamParameters(device, error);
  if (error || !(parameters.parm.capture.capability & V4L2_CAP_TIMEPERFRAME)) return 0;
  parameters.parm.capture.timeperframe =
      NearestFrameInterval(ListFrameIntervals(device, pixelFormat, size), frameRate);
  return device(VIDIOC_S_PARM, &parameters);
}

double DeviceFrameRate(const DeviceIoctl& device) {
  int error;
  v4l2_streamparm parameters = ReadStreamParameters(device, error);
  return error ? 0.0 : FrameRate(parameters.parm.capture.timeperframe);
}

std::optional<CaptureMode> CurrentDeviceMode(const DeviceIoctl& device) {
  v4l2_format format{};
  format.type = kCaptureType;
  if (device(VIDIOC_G_FMT, &format) != 0) return std::nullopt;
  const v4l2_pix_format& pix = format.fmt.pix;
  return CaptureMode{pix.pixelformat, {int(pix.width), int(pix.height)}, DeviceFrameRate(device)};
}

int ApplyCaptureMode(const DeviceIoctl& device, const CaptureMode& mode) {
  v4l2_pix_format given{};
  if (int error = SetDeviceFormat(device, mode, given)) return error;
  return SetDeviceFrameRate(device, given.pixelformat, {int(given.width), int(given.height)},
                            mode.frameRate);
}

std::string FrameRateLabel(double frameRate) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", frameRate);
  std::string label(text);
  label.erase(label.find_last_not_of('0') + 1);
  if (label.back() == '.') label.pop_back();
  return label + " fps";
}

std::string FourccText(std::uint32_t pixelFormat) {
  std::string text;
  for (int shift = 0; shift < 32; shift += 8) text += char((pixelFormat >> shift) & 0xFF);
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

}  // namespace glintvane

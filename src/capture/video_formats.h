#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <linux/videodev2.h>
#include <opencv2/core/types.hpp>

#include "capture/camera_device.h"
#include "capture/v4l2_modes.h"

namespace glintvane {

// What a capture device offers, as VIDIOC_ENUM_FMT, VIDIOC_ENUM_FRAMESIZES and
// VIDIOC_ENUM_FRAMEINTERVALS tell it, and setting its mode.

struct PixelFormatEntry {
  std::uint32_t pixelFormat;
  std::string description;
  bool usable;  // Glintvane can turn its frames into pictures
};

std::vector<PixelFormatEntry> ListPixelFormats(const DeviceIoctl& device);

// Discrete sizes, or one stepwise or continuous range (steps of at least 1); empty when the
// device does not list sizes.
std::vector<FrameSizeRange> ListFrameSizes(const DeviceIoctl& device, std::uint32_t pixelFormat);

// Discrete intervals, or one stepwise or continuous range.
std::vector<FrameIntervalRange> ListFrameIntervals(const DeviceIoctl& device,
                                                   std::uint32_t pixelFormat, cv::Size size);

// Asks for the mode's format and size; `given` is what the device gives, which may differ.
int SetDeviceFormat(const DeviceIoctl& device, const CaptureMode& mode, v4l2_pix_format& given);

// Asks for the listed interval nearest to `frameRate`. Nothing is asked, and 0 returned, when
// the rate is not positive or the device has no settable rate.
int SetDeviceFrameRate(const DeviceIoctl& device, std::uint32_t pixelFormat, cv::Size size,
                       double frameRate);

// The device's present rate; 0 when it cannot tell.
double DeviceFrameRate(const DeviceIoctl& device);

// The device's present format, size and rate; none when it cannot tell.
std::optional<CaptureMode> CurrentDeviceMode(const DeviceIoctl& device);

// Sets format, size and rate: 0, or the error of the first request that failed.
int ApplyCaptureMode(const DeviceIoctl& device, const CaptureMode& mode);

// "30 fps", "29.97 fps", "7.5 fps".
std::string FrameRateLabel(double frameRate);

// The four characters of a pixel format code, such as "YUYV".
std::string FourccText(std::uint32_t pixelFormat);

}  // namespace glintvane

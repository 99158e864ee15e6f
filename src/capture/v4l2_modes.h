#pragma once

#include <cstdint>
#include <vector>

#include <linux/videodev2.h>
#include <opencv2/core/types.hpp>

#include "capture/cvcam.h"

namespace glintvane {

// Frame sizes as VIDIOC_ENUM_FRAMESIZES reports them: a discrete size has min == max.
struct FrameSizeRange {
  cv::Size min, max, step;
};

// Frame intervals (time per frame) as VIDIOC_ENUM_FRAMEINTERVALS reports them: a discrete
// interval has min == max.
struct FrameIntervalRange {
  v4l2_fract min, max;
};

// A pixel format at one size, and a rate: among a device's candidates, the highest rate it
// offers there; as a mode to set, the rate asked for (0: not known, or the device's own).
struct CaptureMode {
  std::uint32_t pixelFormat;
  cv::Size size;
  double frameRate;
};

// Frames per second of a time per frame; 0 for a zero interval.
double FrameRate(const v4l2_fract& interval);

// The size of any of the ranges nearest to `wanted`, on that range's steps. `ranges` must not
// be empty.
cv::Size NearestFrameSize(const std::vector<FrameSizeRange>& ranges, cv::Size wanted);

// The interval of any of the ranges whose rate is nearest to `wantedRate`.
v4l2_fract NearestFrameInterval(const std::vector<FrameIntervalRange>& ranges, double wantedRate);

// The candidate nearest in size to `wanted`, then closest to reaching its rate, then the
// cheapest to convert. `candidates` must not be empty.
CaptureMode ChooseCaptureMode(const std::vector<CaptureMode>& candidates,
                              const VideoFormat& wanted);

}  // namespace glintvane

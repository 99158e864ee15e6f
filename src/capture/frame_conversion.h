#pragma once

#include <cstddef>
#include <cstdint>

#include <opencv2/core/mat.hpp>

namespace glintvane {

// One frame as a V4L2 device delivers it.
struct RawFrame {
  std::uint32_t pixelFormat;
  int width, height, bytesPerLine;
  const std::uint8_t* data;
  std::size_t bytesUsed;
};

// Whether frames of this V4L2 pixel format can be converted to BGR.
bool CanConvertPixelFormat(std::uint32_t pixelFormat);

// The relative cost of converting the format, lower is cheaper; only for convertible formats.
int ConversionCost(std::uint32_t pixelFormat);

// Converts the frame to 8-bit 3-channel continuous BGR in `bgr`, whose memory is reused when
// the size stays the same. False for a short or undecodable frame.
bool ConvertToBgr(const RawFrame& raw, cv::Mat& bgr);

}  // namespace glintvane

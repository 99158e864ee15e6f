#include "capture/frame_conversion.h"

#include <algorithm>
#include <iterator>

#include <linux/videodev2.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace glintvane {
namespace {

// Convertible formats, cheapest first. A compressed format has no fixed line size.
struct FormatInfo {
  std::uint32_t pixelFormat;
  int bytesPerPixel;  // 0 for compressed
  int matType;
  int colorConversion;  // -1: the bytes are BGR already
};

constexpr FormatInfo kFormats[] = {
    {V4L2_PIX_FMT_BGR24, 3, CV_8UC3, -1},
    {V4L2_PIX_FMT_YUYV, 2, CV_8UC2, cv::COLOR_YUV2BGR_YUYV},
    {V4L2_PIX_FMT_UYVY, 2, CV_8UC2, cv::COLOR_YUV2BGR_UYVY},
    {V4L2_PIX_FMT_RGB24, 3, CV_8UC3, cv::COLOR_RGB2BGR},
    {V4L2_PIX_FMT_GREY, 1, CV_8UC1, cv::COLOR_GRAY2BGR},
    {V4L2_PIX_FMT_MJPEG, 0, CV_8UC1, -1},
    {V4L2_PIX_FMT_JPEG, 0, CV_8UC1, -1},
};

const FormatInfo* FindFormat(std::uint32_t pixelFormat) {
  auto found = std::find_if(std::begin(kFormats), std::end(kFormats),
                            [&](const FormatInfo& f) { return f.pixelFormat == pixelFormat; });
  return found == std::end(kFormats) ? nullptr : found;
}

bool DecodeJpeg(const RawFrame& raw, cv::Mat& bgr) {
  cv::Mat encoded(1, static_cast<int>(raw.bytesUsed), CV_8UC1, const_cast<std::uint8_t*>(raw.data));
  // A frame that fails to decode leaves a reused buffer as it was, so the last good frame would
  // pass for this one: decode into a new image. Next to the decoding, the allocation is nothing.
  cv::Mat decoded = cv::imdecode(encoded, cv::IMREAD_COLOR | cv::IMREAD_IGNORE_ORIENTATION);
  if (decoded.empty()) return false;
  bgr = decoded;
  return true;
}

bool ConvertUncompressed(const RawFrame& raw, const FormatInfo& format, cv::Mat& bgr) {
  if (raw.width <= 0 || raw.height <= 0) return false;
  std::size_t lineBytes = std::size_t(raw.width) * format.bytesPerPixel;
  // Some drivers leave the line size 0 for tightly packed lines.
  std::size_t stride = raw.bytesPerLine > 0 ? std::size_t(raw.bytesPerLine) : lineBytes;
  if (stride < lineBytes || raw.bytesUsed < stride * (raw.height - 1) + lineBytes) return false;
  cv::Mat source(raw.height, raw.width, format.matType, const_cast<std::uint8_t*>(raw.data),
                 stride);
  if (format.colorConversion < 0) {
    source.copyTo(bgr);
  } else {
    cv::cvtColor(source, bgr, format.colorConversion);
  }
  return true;
}

}  // namespace

bool CanConvertPixelFormat(std::uint32_t pixelFormat) { return FindFormat(pixelFormat) != nullptr; }

int ConversionCost(std::uint32_t pixelFormat) {
  const FormatInfo* format = FindFormat(pixelFormat);
  return format == nullptr ? std::size(kFormats) : static_cast<int>(format - std::begin(kFormats));
}

bool ConvertToBgr(const RawFrame& raw, cv::Mat& bgr) {
  const FormatInfo* format = FindFormat(raw.pixelFormat);
  if (format == nullptr || raw.data == nullptr || raw.bytesUsed == 0) return false;
  return format->bytesPerPixel == 0 ? DecodeJpeg(raw, bgr) : ConvertUncompressed(raw, *format, bgr);
}

}  // namespace glintvane

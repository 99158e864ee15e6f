#include "capture/frame_conversion.h"

#include <vector>

#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

namespace glintvane {
namespace {

constexpr int kWidth = 8, kHeight = 4;

RawFrame Raw(std::uint32_t format, int bytesPerLine, const std::vector<std::uint8_t>& bytes) {
  return {format, kWidth, kHeight, bytesPerLine, bytes.data(), bytes.size()};
}

// The last pixel of a frame that must be a whole continuous 8-bit BGR one.
cv::Vec3b LastPixel(const cv::Mat& bgr) {
  EXPECT_EQ(bgr.type(), CV_8UC3);
  EXPECT_EQ(bgr.size(), cv::Size(kWidth, kHeight));
  EXPECT_TRUE(bgr.isContinuous());
  return bgr.at<cv::Vec3b>(kHeight - 1, kWidth - 1);
}

TEST(ConvertToBgr, ConvertsTheSupportedFormatsAndRefusesBrokenFrames) {
  cv::Mat bgr;
  // Lines padded to 20 bytes; the padding must not be read as pixels.
  std::vector<std::uint8_t> yuyv(20 * kHeight, 0xEE);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < 2 * kWidth; ++x) yuyv[y * 20 + x] = x % 2 ? 128 : 100;
  }
  ASSERT_TRUE(ConvertToBgr(Raw(V4L2_PIX_FMT_YUYV, 20, yuyv), bgr));
  cv::Vec3b grey = LastPixel(bgr);
  EXPECT_NEAR(grey[0], 100, 2);
  EXPECT_EQ(grey[0], grey[2]);

  std::vector<std::uint8_t> rgb;
  for (int i = 0; i < kWidth * kHeight; ++i) rgb.insert(rgb.end(), {10, 20, 30});
  ASSERT_TRUE(ConvertToBgr(Raw(V4L2_PIX_FMT_RGB24, 0, rgb), bgr));
  EXPECT_EQ(LastPixel(bgr), cv::Vec3b(30, 20, 10));
  ASSERT_TRUE(ConvertToBgr(Raw(V4L2_PIX_FMT_BGR24, kWidth * 3, rgb), bgr));
  EXPECT_EQ(LastPixel(bgr), cv::Vec3b(10, 20, 30));
  std::vector<std::uint8_t> grey8(kWidth * kHeight, 77);
  ASSERT_TRUE(ConvertToBgr(Raw(V4L2_PIX_FMT_GREY, kWidth, grey8), bgr));
  EXPECT_EQ(LastPixel(bgr), cv::Vec3b(77, 77, 77));

  const cv::Vec3b colour(40, 120, 200);
  std::vector<std::uint8_t> jpeg;
  ASSERT_TRUE(cv::imencode(".jpg", cv::Mat(kHeight, kWidth, CV_8UC3, cv::Scalar(colour)), jpeg));
  ASSERT_TRUE(ConvertToBgr(Raw(V4L2_PIX_FMT_MJPEG, 0, jpeg), bgr));
  cv::Vec3b decoded = LastPixel(bgr);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(decoded[c], colour[c], 4);

  // Refused into the buffer that still holds the last good frame, as the capture loop does.
  std::vector<std::uint8_t> shortFrame(kWidth * 2 * kHeight - 1, 0);
  EXPECT_FALSE(ConvertToBgr(Raw(V4L2_PIX_FMT_YUYV, kWidth * 2, shortFrame), bgr));
  EXPECT_FALSE(ConvertToBgr(Raw(V4L2_PIX_FMT_YUYV, kWidth, yuyv), bgr));  // lines too short
  std::vector<std::uint8_t> garbage(100, 0x55);
  EXPECT_FALSE(ConvertToBgr(Raw(V4L2_PIX_FMT_MJPEG, 0, garbage), bgr));
  std::vector<std::uint8_t> brokenJpeg(jpeg.begin(), jpeg.begin() + 20);
  EXPECT_FALSE(ConvertToBgr(Raw(V4L2_PIX_FMT_MJPEG, 0, brokenJpeg), bgr));
  EXPECT_FALSE(ConvertToBgr(Raw(V4L2_PIX_FMT_NV12, 0, garbage), bgr));
}

}  // namespace
}  // namespace glintvane

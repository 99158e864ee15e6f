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

cv::Vec3b PixelOf(const cv::Mat& bgr) {
  EXPECT_EQ(bgr.type(), CV_8UC3);
  EXPECT_EQ(bgr.size(), cv::Size(kWidth, kHeight));
  EXPECT_TRUE(bgr.isContinuous());
  return bgr.at<cv::Vec3b>(kHeight - 1, kWidth - 1);
}

TEST(ConvertToBgr, UncompressedFormatsBecomeBgr) {
  cv::Mat bgr;
  // Lines padded to 20 bytes; the padding must not be read as pixels.
  std::vector<std::uint8_t> yuyv(20 * kHeight, 0xEE);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) yuyv[y * 20 + 2 * x] = 100, yuyv[y * 20 + 2 * x + 1] = 128;
  }
  ASSERT_TRUE(ConvertToBgr(Raw(V4L2_PIX_FMT_YUYV, 20, yuyv), bgr));
  cv::Vec3b grey = PixelOf(bgr);
  EXPECT_NEAR(grey[0], 100, 2);
  EXPECT_EQ(grey[0], grey[2]);

  std::vector<std::uint8_t> rgb;
  for (int i = 0; i < kWidth * kHeight; ++i) rgb.insert(rgb.end(), {10, 20, 30});
  ASSERT_TRUE(ConvertToBgr(Raw(V4L2_PIX_FMT_RGB24, 0, rgb), bgr));
  EXPECT_EQ(PixelOf(bgr), cv::Vec3b(30, 20, 10));
  ASSERT_TRUE(ConvertToBgr(Raw(V4L2_PIX_FMT_BGR24, kWidth * 3, rgb), bgr));
  EXPECT_EQ(PixelOf(bgr), cv::Vec3b(10, 20, 30));

  std::vector<std::uint8_t> grey8(kWidth * kHeight, 77);
  ASSERT_TRUE(ConvertToBgr(Raw(V4L2_PIX_FMT_GREY, kWidth, grey8), bgr));
  EXPECT_EQ(PixelOf(bgr), cv::Vec3b(77, 77, 77));
}

TEST(ConvertToBgr, JpegIsDecoded) {
  cv::Mat original(kHeight, kWidth, CV_8UC3, cv::Scalar(40, 120, 200));
  std::vector<std::uint8_t> jpeg;
  ASSERT_TRUE(cv::imencode(".jpg", original, jpeg));
  cv::Mat bgr;
  ASSERT_TRUE(ConvertToBgr(Raw(V4L2_PIX_FMT_MJPEG, 0, jpeg), bgr));
  cv::Vec3b pixel = PixelOf(bgr);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(pixel[c], original.at<cv::Vec3b>(0, 0)[c], 4);
}

TEST(ConvertToBgr, RefusesShortBrokenAndUnknownFrames) {
  cv::Mat bgr;
  std::vector<std::uint8_t> shortFrame(kWidth * 2 * kHeight - 1, 0);
  EXPECT_FALSE(ConvertToBgr(Raw(V4L2_PIX_FMT_YUYV, kWidth * 2, shortFrame), bgr));
  EXPECT_FALSE(ConvertToBgr(Raw(V4L2_PIX_FMT_YUYV, kWidth, shortFrame), bgr));  // line too short
  std::vector<std::uint8_t> garbage(100, 0x55);
  EXPECT_FALSE(ConvertToBgr(Raw(V4L2_PIX_FMT_MJPEG, 0, garbage), bgr));
  EXPECT_FALSE(ConvertToBgr(Raw(V4L2_PIX_FMT_NV12, 0, garbage), bgr));
  EXPECT_FALSE(CanConvertPixelFormat(V4L2_PIX_FMT_NV12));
}

TEST(ConvertToBgr, ReusesTheOutputMemoryFrameAfterFrame) {
  std::vector<std::uint8_t> grey8(kWidth * kHeight, 9);
  cv::Mat bgr;
  ASSERT_TRUE(ConvertToBgr(Raw(V4L2_PIX_FMT_GREY, kWidth, grey8), bgr));
  const std::uint8_t* memory = bgr.data;
  std::vector<std::uint8_t> yuyv(kWidth * kHeight * 2, 9);
  ASSERT_TRUE(ConvertToBgr(Raw(V4L2_PIX_FMT_YUYV, 0, yuyv), bgr));
  EXPECT_EQ(bgr.data, memory);
}

}  // namespace
}  // namespace glintvane

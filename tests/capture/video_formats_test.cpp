#include "capture/video_formats.h"

#include <gtest/gtest.h>

#include "fake_v4l2_device.h"

namespace glintvane {
namespace {

TEST(VideoFormats, ListsFormatsWithTheirSizesAndIntervals) {
  std::shared_ptr<FakeV4l2Device> camera = ExampleCamera();
  DeviceIoctl device = FakeIoctl(camera);
  std::vector<PixelFormatEntry> formats = ListPixelFormats(device);
  ASSERT_EQ(formats.size(), 3u);
  EXPECT_EQ(formats[0].description, "YUYV 4:2:2");
  EXPECT_EQ(FourccText(formats[1].pixelFormat), "MJPG");
  EXPECT_TRUE(formats[1].usable);
  EXPECT_FALSE(formats[2].usable);  // H.264

  std::vector<FrameSizeRange> sizes = ListFrameSizes(device, V4L2_PIX_FMT_YUYV);
  ASSERT_EQ(sizes.size(), 2u);
  EXPECT_EQ(sizes[1].min, cv::Size(1280, 720));
  EXPECT_EQ(sizes[1].max, cv::Size(1280, 720));
  sizes = ListFrameSizes(device, V4L2_PIX_FMT_MJPEG);
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(sizes[0].min, cv::Size(160, 120));
  EXPECT_EQ(sizes[0].max, cv::Size(1920, 1080));
  EXPECT_EQ(sizes[0].step, cv::Size(16, 8));

  std::vector<FrameIntervalRange> rates = ListFrameIntervals(device, V4L2_PIX_FMT_YUYV, {640, 480});
  ASSERT_EQ(rates.size(), 2u);
  EXPECT_EQ(FrameRateLabel(FrameRate(rates[0].min)), "29.97 fps");
  EXPECT_EQ(FrameRateLabel(FrameRate(rates[1].max)), "5 fps");
  rates = ListFrameIntervals(device, V4L2_PIX_FMT_MJPEG, {800, 600});
  ASSERT_EQ(rates.size(), 1u);
  EXPECT_DOUBLE_EQ(FrameRate(rates[0].min), 60.0);
  EXPECT_DOUBLE_EQ(FrameRate(rates[0].max), 1.0);
  EXPECT_EQ(FrameRateLabel(7.5), "7.5 fps");

  // A continuous range has no steps, but the size spin boxes need one.
  v4l2_frmsizeenum continuous{};
  continuous.type = V4L2_FRMSIZE_TYPE_CONTINUOUS;
  continuous.stepwise = {1, 4096, 0, 1, 2160, 0};
  camera->formats[0].sizes = {continuous};
  sizes = ListFrameSizes(device, V4L2_PIX_FMT_YUYV);
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(sizes[0].max, cv::Size(4096, 2160));
  EXPECT_EQ(sizes[0].step, cv::Size(1, 1));
}

}  // namespace
}  // namespace glintvane

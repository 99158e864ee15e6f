#include "capture/video_formats.h"

#include <cerrno>

#include <gtest/gtest.h>

#include "capture/simulated_device.h"
#include "fake_v4l2_device.h"

namespace glintvane {
namespace {

bool operator==(const v4l2_fract& a, const v4l2_fract& b) {
  return a.numerator == b.numerator && a.denominator == b.denominator;
}

class VideoFormatsTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeV4l2Device> camera_ = ExampleCamera();
  DeviceIoctl device_ = FakeIoctl(camera_);
};

TEST_F(VideoFormatsTest, PixelFormatsComeWithDescriptionsAndWhetherGlintvaneCanUseThem) {
  std::vector<PixelFormatEntry> formats = ListPixelFormats(device_);
  ASSERT_EQ(formats.size(), 3u);
  EXPECT_EQ(formats[0].description, "YUYV 4:2:2");
  EXPECT_EQ(FourccText(formats[0].pixelFormat), "YUYV");
  EXPECT_TRUE(formats[0].usable);
  EXPECT_TRUE(formats[1].usable);
  EXPECT_EQ(FourccText(formats[2].pixelFormat), "H264");
  EXPECT_FALSE(formats[2].usable);
  EXPECT_EQ(FourccText(V4L2_PIX_FMT_GREY), "GREY");
}

TEST_F(VideoFormatsTest, FrameSizesAreDiscreteOrOneRangeOnItsSteps) {
  std::vector<FrameSizeRange> discrete = ListFrameSizes(device_, V4L2_PIX_FMT_YUYV);
  ASSERT_EQ(discrete.size(), 3u);
  EXPECT_EQ(discrete[1].min, cv::Size(1280, 720));
  EXPECT_EQ(discrete[1].max, cv::Size(1280, 720));

  std::vector<FrameSizeRange> stepwise = ListFrameSizes(device_, V4L2_PIX_FMT_MJPEG);
  ASSERT_EQ(stepwise.size(), 1u);
  EXPECT_EQ(stepwise[0].min, cv::Size(160, 120));
  EXPECT_EQ(stepwise[0].max, cv::Size(1920, 1080));
  EXPECT_EQ(stepwise[0].step, cv::Size(16, 8));

  // Some drivers give a continuous range no steps: spin boxes still need a step.
  v4l2_frmsizeenum continuous{};
  continuous.type = V4L2_FRMSIZE_TYPE_CONTINUOUS;
  continuous.stepwise = {1, 4096, 0, 1, 2160, 0};
  camera_->formats[0].sizes = {continuous};
  std::vector<FrameSizeRange> any = ListFrameSizes(device_, V4L2_PIX_FMT_YUYV);
  ASSERT_EQ(any.size(), 1u);
  EXPECT_EQ(any[0].max, cv::Size(4096, 2160));
  EXPECT_EQ(any[0].step, cv::Size(1, 1));

  EXPECT_TRUE(ListFrameSizes(device_, V4L2_PIX_FMT_RGB24).empty());
}

TEST_F(VideoFormatsTest, FrameIntervalsAreDiscreteOrOneRange) {
  std::vector<FrameIntervalRange> discrete =
      ListFrameIntervals(device_, V4L2_PIX_FMT_YUYV, {640, 480});
  ASSERT_EQ(discrete.size(), 3u);
  EXPECT_TRUE(discrete[0].min == (v4l2_fract{1001, 30000}));
  EXPECT_TRUE(discrete[2].max == (v4l2_fract{1, 5}));

  std::vector<FrameIntervalRange> stepwise =
      ListFrameIntervals(device_, V4L2_PIX_FMT_MJPEG, {800, 600});
  ASSERT_EQ(stepwise.size(), 1u);
  EXPECT_DOUBLE_EQ(FrameRate(stepwise[0].min), 60.0);
  EXPECT_DOUBLE_EQ(FrameRate(stepwise[0].max), 1.0);
}

TEST(FrameRateLabel, ShowsTheRateOfAnIntervalAsPeopleWriteIt) {
  EXPECT_EQ(FrameRateLabel(FrameRate({1, 30})), "30 fps");
  EXPECT_EQ(FrameRateLabel(FrameRate({1001, 30000})), "29.97 fps");
  EXPECT_EQ(FrameRateLabel(FrameRate({2, 15})), "7.5 fps");
  EXPECT_EQ(FrameRateLabel(FrameRate({1, 5})), "5 fps");
  EXPECT_EQ(FrameRateLabel(FrameRate({333333, 10000000})), "30 fps");
}

TEST_F(VideoFormatsTest, ApplyingAModeSetsTheFormatAndTheNearestListedInterval) {
  EXPECT_EQ(ApplyCaptureMode(device_, {V4L2_PIX_FMT_YUYV, {1280, 720}, 29.97}), 0);
  EXPECT_EQ(camera_->format.pixelformat, std::uint32_t(V4L2_PIX_FMT_YUYV));
  EXPECT_EQ(camera_->format.width, 1280u);
  EXPECT_TRUE(camera_->interval == (v4l2_fract{1001, 30000}));  // exact, not 1000/29970

  std::optional<CaptureMode> now = CurrentDeviceMode(device_);
  ASSERT_TRUE(now);
  EXPECT_EQ(now->size, cv::Size(1280, 720));
  EXPECT_NEAR(now->frameRate, 29.97, 0.001);

  camera_->formatError = EBUSY;  // another program is streaming
  EXPECT_EQ(ApplyCaptureMode(device_, {V4L2_PIX_FMT_YUYV, {640, 480}, 15}), EBUSY);
  EXPECT_EQ(camera_->format.width, 1280u);
}

TEST(SimulatedVideoFormats, TheSimulatedCameraOffersItsOwnSizesAndRates) {
  SimulationSettings settings;
  DeviceIoctl device = SimulatedDeviceIoctl(settings);
  std::vector<PixelFormatEntry> formats = ListPixelFormats(device);
  ASSERT_EQ(formats.size(), 1u);
  EXPECT_TRUE(formats[0].usable);
  std::vector<FrameSizeRange> sizes = ListFrameSizes(device, formats[0].pixelFormat);
  ASSERT_EQ(sizes.size(), 4u);
  EXPECT_EQ(sizes[2].min, cv::Size(1280, 720));
  std::vector<FrameIntervalRange> intervals =
      ListFrameIntervals(device, formats[0].pixelFormat, {1920, 1080});
  std::vector<double> rates;
  for (const FrameIntervalRange& interval : intervals) rates.push_back(FrameRate(interval.min));
  EXPECT_EQ(rates, (std::vector<double>{30, 25, 20, 15, 10}));
  EXPECT_TRUE(ListFrameIntervals(device, formats[0].pixelFormat, {1000, 1000}).empty());

  std::optional<CaptureMode> unchosen = CurrentDeviceMode(device);
  ASSERT_TRUE(unchosen);
  EXPECT_EQ(unchosen->size, cv::Size(640, 480));
  EXPECT_DOUBLE_EQ(unchosen->frameRate, 20.0);
  EXPECT_EQ(ApplyCaptureMode(device, {formats[0].pixelFormat, {800, 600}, 25}), 0);
}

}  // namespace
}  // namespace glintvane

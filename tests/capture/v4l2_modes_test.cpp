#include "capture/v4l2_modes.h"

#include <gtest/gtest.h>

namespace glintvane {
namespace {

TEST(NearestFrameSize, TakesDiscreteSizesAsTheyAreAndRangesOnTheirSteps) {
  std::vector<FrameSizeRange> discrete = {{{320, 240}, {320, 240}, {1, 1}},
                                          {{640, 480}, {640, 480}, {1, 1}}};
  EXPECT_EQ(NearestFrameSize(discrete, {700, 500}), cv::Size(640, 480));
  FrameSizeRange stepped{{160, 120}, {1920, 1080}, {16, 8}};
  EXPECT_EQ(NearestFrameSize({stepped}, {650, 485}), cv::Size(656, 488));
  EXPECT_EQ(NearestFrameSize({stepped}, {10, 10}), cv::Size(160, 120));
  // The maximum is off the steps: the last step below it is taken.
  FrameSizeRange offSteps{{100, 100}, {250, 250}, {100, 100}};
  EXPECT_EQ(NearestFrameSize({offSteps}, {260, 240}), cv::Size(200, 200));
}

TEST(FrameRate, IsTheInverseOfTheTimePerFrameAndChoosesTheNearestInterval) {
  EXPECT_DOUBLE_EQ(FrameRate({1, 30}), 30.0);
  EXPECT_NEAR(FrameRate({1001, 30000}), 29.97, 0.001);
  EXPECT_EQ(FrameRate({0, 30}), 0.0);

  std::vector<FrameIntervalRange> discrete = {
      {{1, 30}, {1, 30}}, {{1, 15}, {1, 15}}, {{1, 5}, {1, 5}}};
  EXPECT_DOUBLE_EQ(FrameRate(NearestFrameInterval(discrete, 20)), 15.0);
  EXPECT_DOUBLE_EQ(FrameRate(NearestFrameInterval(discrete, 25)), 30.0);
  std::vector<FrameIntervalRange> stepwise = {{{1, 60}, {1, 1}}};
  EXPECT_DOUBLE_EQ(FrameRate(NearestFrameInterval(stepwise, 24)), 24.0);
  EXPECT_DOUBLE_EQ(FrameRate(NearestFrameInterval(stepwise, 120)), 60.0);
  EXPECT_DOUBLE_EQ(FrameRate(NearestFrameInterval(stepwise, 0.5)), 1.0);
}

TEST(ChooseCaptureMode, PrefersSizeThenRateThenCheapConversion) {
  const CaptureMode yuyvVga{V4L2_PIX_FMT_YUYV, {640, 480}, 30};
  const CaptureMode mjpegHd{V4L2_PIX_FMT_MJPEG, {1280, 720}, 30};
  EXPECT_EQ(ChooseCaptureMode({mjpegHd, yuyvVga}, {640, 480, 30}).pixelFormat, V4L2_PIX_FMT_YUYV);

  const CaptureMode yuyvSlow{V4L2_PIX_FMT_YUYV, {1920, 1080}, 5};
  const CaptureMode mjpegFast{V4L2_PIX_FMT_MJPEG, {1920, 1080}, 30};
  EXPECT_EQ(ChooseCaptureMode({yuyvSlow, mjpegFast}, {1920, 1080, 25}).pixelFormat,
            V4L2_PIX_FMT_MJPEG);
  EXPECT_EQ(ChooseCaptureMode({mjpegFast, yuyvSlow}, {1920, 1080, 5}).pixelFormat,
            V4L2_PIX_FMT_YUYV);

  // An unknown rate counts as reaching the wanted one.
  const CaptureMode yuyvVgaSlow{V4L2_PIX_FMT_YUYV, {640, 480}, 5};
  const CaptureMode greyRateUnknown{V4L2_PIX_FMT_GREY, {640, 480}, 0};
  EXPECT_EQ(ChooseCaptureMode({yuyvVgaSlow, greyRateUnknown}, {640, 480, 30}).pixelFormat,
            V4L2_PIX_FMT_GREY);
}

}  // namespace
}  // namespace glintvane

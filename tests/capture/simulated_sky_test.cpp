#include "capture/simulated_sky.h"

#include <cmath>
#include <thread>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

namespace glintvane {
namespace {

const cv::Size kSize(320, 240);
constexpr double kRate = 20;

std::vector<cv::Mat> Render(std::uint64_t seed, float meteorsPerMinute, int count) {
  SimulationSettings settings;
  settings.meteorsPerMinute = meteorsPerMinute;
  SimulatedSky sky = CreateSimulatedSky(kSize, seed);
  std::vector<cv::Mat> frames(count);
  for (cv::Mat& frame : frames) RenderSkyFrame(sky, settings, kRate, frame);
  return frames;
}

int CountWhere(const cv::Mat& mask) { return cv::countNonZero(mask.reshape(1)); }

TEST(SimulatedSky, TheSameSeedMakesTheSameFrames) {
  std::vector<cv::Mat> first = Render(7, 1200, 30), again = Render(7, 1200, 30),
                       other = Render(8, 1200, 30);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(cv::norm(first[i], again[i], cv::NORM_INF), 0) << i;
  EXPECT_GT(cv::norm(first[0], other[0], cv::NORM_INF), 0);
}

TEST(SimulatedSky, FixedStarsOverADarkBackgroundWhoseNoiseChangesEveryFrame) {
  std::vector<cv::Mat> frames = Render(3, 0, 2);
  const cv::Mat& frame = frames[0];
  ASSERT_EQ(frame.size(), kSize);
  ASSERT_EQ(frame.type(), CV_8UC3);
  double values = double(frame.total() * 3);
  EXPECT_GT(CountWhere((frame >= 8) & (frame <= 27)), 0.95 * values);
  EXPECT_NEAR(cv::mean(frame)[1], 17, 3);
  EXPECT_GT(CountWhere(frames[0] != frames[1]), 0.5 * values);
  EXPECT_GT(CountWhere(frame > 120), 20);                          // stars
  EXPECT_EQ(CountWhere((frames[0] > 120) & (frames[1] < 90)), 0);  // that stay put
}

TEST(SimulatedSky, MeteorsAreStreaksFarAboveTheBackground) {
  // Meteors draw from a random stream of their own, so without them the frames differ only
  // by the meteors.
  std::vector<cv::Mat> plain = Render(5, 0, 40), withMeteors = Render(5, 600, 40);
  int framesWithStreaks = 0;
  for (int i = 0; i < 40; ++i) {
    cv::Mat difference;
    cv::absdiff(plain[i], withMeteors[i], difference);
    if (CountWhere(difference > 100) >= 3 * 30) ++framesWithStreaks;
  }
  EXPECT_GE(framesWithStreaks, 5);
  std::vector<cv::Mat> none = Render(5, 0, 40);
  EXPECT_EQ(cv::norm(plain.back(), none.back(), cv::NORM_INF), 0);
}

TEST(SimulatedSky, GainAndNoiseLevelTakeEffectAtTheNextFrame) {
  SimulationSettings settings;
  settings.meteorsPerMinute = 0;
  SimulatedSky sky = CreateSimulatedSky(kSize, 1);
  cv::Mat frame;
  RenderSkyFrame(sky, settings, kRate, frame);
  double level = cv::mean(frame)[1];
  settings.gain = 2;
  RenderSkyFrame(sky, settings, kRate, frame);
  EXPECT_NEAR(cv::mean(frame)[1], 2 * level, 0.1 * level);
  settings.gain = 1;
  settings.noiseLevel = 0;
  RenderSkyFrame(sky, settings, kRate, frame);
  EXPECT_GT(CountWhere(frame == 17), 0.9 * frame.total() * 3);
}

TEST(SimulatedCamera, NonsenseFormatsFallBackToVgaAtTwentyFramesPerSecond) {
  EXPECT_EQ(SimulatedFrameSize({123, 77, 5}), cv::Size(123, 77));
  EXPECT_EQ(SimulatedFrameSize({0, 0, 5}), cv::Size(640, 480));
  EXPECT_EQ(SimulatedFrameSize({-4, 480, 5}), cv::Size(640, 480));
  EXPECT_EQ(SimulatedFrameSize({100000, 480, 5}), cv::Size(640, 480));
  EXPECT_EQ(SimulatedFrameRate({1, 1, 7.5}), 7.5);
  for (double rate : {0.0, -3.0, std::nan(""), 1e9})
    EXPECT_EQ(SimulatedFrameRate({1, 1, rate}), 20);
}

TEST(SimulatedCamera, FramesKeepTimeAndDoNotBurstAfterAGap) {
  SimulationSettings settings;
  SimulatedCamera camera = OpenSimulatedCamera({32, 24, 100}, settings);
  StartSimulatedFrames(camera);
  cv::Mat frame;
  auto framesWithin = [&](std::chrono::milliseconds span) {
    int frames = 0;
    for (auto end = std::chrono::steady_clock::now() + span;
         std::chrono::steady_clock::now() < end;) {
      frames += ReadSimulatedFrame(camera, frame, true, std::chrono::milliseconds(5));
    }
    return frames;
  };
  EXPECT_NEAR(framesWithin(std::chrono::milliseconds(200)), 20, 3);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // ten frames nobody took
  EXPECT_NEAR(framesWithin(std::chrono::milliseconds(50)), 5, 2);
}

}  // namespace
}  // namespace glintvane

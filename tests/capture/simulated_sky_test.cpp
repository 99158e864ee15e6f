#include "capture/simulated_sky.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

namespace glintvane {
namespace {

std::vector<cv::Mat> Render(std::uint64_t seed, float meteorsPerMinute, int count) {
  SimulationSettings settings;
  settings.meteorsPerMinute = meteorsPerMinute;
  SimulatedSky sky = CreateSimulatedSky({320, 240}, seed);
  std::vector<cv::Mat> frames(count);
  for (cv::Mat& frame : frames) RenderSkyFrame(sky, settings, 20, frame);
  return frames;
}

TEST(SimulatedSky, IsTheSameForTheSameSeedAndHasMeteors) {
  std::vector<cv::Mat> first = Render(5, 600, 40), again = Render(5, 600, 40);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(cv::norm(first[i], again[i], cv::NORM_INF), 0) << i;
  EXPECT_GT(cv::norm(first[0], Render(6, 600, 1)[0], cv::NORM_INF), 0);

  // Meteors draw on a random stream of their own, so the frames without them differ only by
  // the meteors: bright streaks, in several frames.
  std::vector<cv::Mat> plain = Render(5, 0, 40);
  int framesWithStreaks = 0;
  for (int i = 0; i < 40; ++i) {
    cv::Mat difference;
    cv::absdiff(plain[i], first[i], difference);
    framesWithStreaks += cv::countNonZero(difference.reshape(1) > 100) >= 3 * 30;
  }
  EXPECT_GE(framesWithStreaks, 5);
}

}  // namespace
}  // namespace glintvane

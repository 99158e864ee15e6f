#pragma once

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/core/mat.hpp>

namespace glintvane {

// Local wall-clock time as the clock's calendar time.
std::time_t AtLocal(int year, int month, int day, int hour, int minute, int second);

// Every test starts from the program's start-up state, with a temporary
// archive root and a clock it sets by hand.
class ArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Relative paths of every file under the archive root, sorted.
  std::vector<std::string> ArchivedFiles() const;

  std::filesystem::path root_;
  std::atomic<std::time_t> now_{0};
};

// A dark frame of the given size with a flat square of `colour` (B, G, R) at
// rows [top, top + side) and columns [left, left + side), in memory order.
cv::Mat FrameWithSquare(int width, int height, cv::Vec3b colour, int top, int left, int side);
cv::Mat DarkFrame(int width, int height);

// Polls the condition until it holds or the limit passes; true when it held.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(10));

}  // namespace glintvane

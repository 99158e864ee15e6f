#include "test_support.h"

#include <algorithm>
#include <thread>

#include "archive/archive.h"
#include "shared/local_time.h"
#include "stacking/stacking.h"

namespace glintvane {

std::time_t AtLocal(int year, int month, int day, int hour, int minute, int second) {
  std::tm parts{};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  parts.tm_isdst = -1;
  return std::mktime(&parts);
}

void ArchiveTest::SetUp() {
  ResetProgramState();
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  root_ = std::filesystem::temp_directory_path() /
          (std::string("glintvane-") + info->test_suite_name() + "-" + info->name());
  std::filesystem::remove_all(root_);
  SetArchiveRoot(root_.string());
  SetClockForTesting([this] { return now_.load(); });
}

void ArchiveTest::TearDown() {
  SetClockForTesting({});
  ResetProgramState();
  std::filesystem::remove_all(root_);
}

std::vector<std::string> ArchiveTest::ArchivedFiles() const {
  std::vector<std::string> files;
  if (!std::filesystem::exists(root_)) return files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root_)) {
    if (entry.is_regular_file()) files.push_back(entry.path().lexically_relative(root_).string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

cv::Mat DarkFrame(int width, int height) {
  return cv::Mat(height, width, CV_8UC3, cv::Scalar(12, 12, 12));
}

cv::Mat FrameWithSquare(int width, int height, cv::Vec3b colour, int top, int left, int side) {
  cv::Mat frame = DarkFrame(width, height);
  frame(cv::Rect(left, top, side, side)).setTo(cv::Scalar(colour[0], colour[1], colour[2]));
  return frame;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace glintvane

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "archive/archive.h"
#include "shared/session_state.h"
#include "stacking/stacking.h"
#include "test_support.h"

namespace glintvane {
namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;
const cv::Vec3b kBright{200, 60, 120};

// The rule as first built: odd targets step back one minute, then one
// subtraction of 60.
int FirstRuleTarget(int minute, int period) {
  int target = minute + period;
  if (target % 2 != 0) target -= 1;
  if (target > 59) target -= 60;
  return target;
}

TEST(TargetMinute, FollowsTheEvenMinuteRuleAndAlwaysEndsWithinTheHour) {
  EXPECT_EQ(ComputeTargetMinute(37, 2), 38);
  EXPECT_EQ(ComputeTargetMinute(58, 2), 0);
  EXPECT_EQ(ComputeTargetMinute(59, 2), 0);
  EXPECT_EQ(ComputeTargetMinute(55, 10), 4);
  EXPECT_EQ(ComputeTargetMinute(10, 70), 20);
  // Targets the single subtraction left outside the hour now fold into it.
  EXPECT_EQ(ComputeTargetMinute(30, 100), 10);
  EXPECT_EQ(ComputeTargetMinute(59, 61), 0);
  EXPECT_EQ(ComputeTargetMinute(3, -10), 52);
  for (int minute = 0; minute < 60; ++minute) {
    for (int period = -999; period <= 9999; ++period) {
      const int target = ComputeTargetMinute(minute, period);
      ASSERT_TRUE(target >= 0 && target <= 58 && target % 2 == 0) << minute << " " << period;
      if (minute + period >= 0 && minute + period < 120) {
        ASSERT_EQ(target, FirstRuleTarget(minute, period)) << minute << " " << period;
      }
    }
  }
}

class StackingTest : public ArchiveTest {
 protected:
  void SetUp() override {
    ArchiveTest::SetUp();
    gSession.processingEnabled = 1;
  }

  // One frame at the given time of 1 August 2008.
  void FrameAt(int hour, int minute, int second, const cv::Mat& frame) {
    now_ = AtLocal(2008, 8, 1, hour, minute, second);
    OnFrame(frame);
  }

  // One dark frame per second from start to end, both included.
  void DarkSeconds(std::time_t start, std::time_t end) {
    const cv::Mat frame = DarkFrame(kWidth, kHeight);
    for (std::time_t t = start; t <= end; ++t) {
      now_ = t;
      OnFrame(frame);
    }
  }

  cv::Mat ReadPicture(const std::string& relative) const {
    return cv::imread((root_ / relative).string(), cv::IMREAD_COLOR);
  }
};

// Mean colour of a square region of a decoded picture.
cv::Vec3b MeanOf(const cv::Mat& picture, int top, int left, int side) {
  const cv::Scalar mean = cv::mean(picture(cv::Rect(left, top, side, side)));
  return {cv::saturate_cast<uchar>(mean[0]), cv::saturate_cast<uchar>(mean[1]),
          cv::saturate_cast<uchar>(mean[2])};
}

void ExpectNear(cv::Vec3b actual, cv::Vec3b expected) {
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(actual[c], expected[c], 6) << "component " << c;
}

TEST_F(StackingTest, BothFiltersWriteTheirStacksAtTheEndOfEachPeriod) {
  gFilter2.enabled = 1;  // frame count 3, period 10
  // The square is in the first frame after the stacks began: filter 1 merges
  // it, filter 2 counts it as 1 of 3 and leaves it out.
  FrameAt(21, 29, 10, DarkFrame(kWidth, kHeight));
  FrameAt(21, 29, 11, FrameWithSquare(kWidth, kHeight, kBright, 0, 0, 16));
  DarkSeconds(AtLocal(2008, 8, 1, 21, 29, 12), AtLocal(2008, 8, 1, 21, 38, 5));

  const std::vector<std::string> expected = {
      "2008/08/01/Cam1/Met1_20080801_213000.jpg", "2008/08/01/Cam1/Met1_20080801_213200.jpg",
      "2008/08/01/Cam1/Met1_20080801_213400.jpg", "2008/08/01/Cam1/Met1_20080801_213600.jpg",
      "2008/08/01/Cam1/Met1_20080801_213800.jpg", "2008/08/01/Cam1/Met3_20080801_213800.jpg"};
  EXPECT_EQ(ArchivedFiles(), expected);

  // Rows are stored bottom-first: the square at the top of the frame's memory
  // lands at the bottom of the upright picture.
  const cv::Mat first = ReadPicture(expected[0]);
  ASSERT_EQ(first.size(), cv::Size(kWidth, kHeight));
  ExpectNear(MeanOf(first, kHeight - 16 + 4, 4, 8), kBright);
  ExpectNear(MeanOf(first, 4, 4, 8), {12, 12, 12});
  // The next stack began after the square and does not hold it.
  ExpectNear(MeanOf(ReadPicture(expected[1]), kHeight - 16 + 4, 4, 8), {12, 12, 12});
  ExpectNear(MeanOf(ReadPicture(expected[5]), kHeight - 16 + 4, 4, 8), {12, 12, 12});
}

TEST_F(StackingTest, MergesOneFrameInFrameCountAndHonoursALoweredCount) {
  gFilter1.frameCount = 3;
  const cv::Mat square = FrameWithSquare(kWidth, kHeight, kBright, 8, 8, 4);
  FrameAt(21, 29, 10, DarkFrame(kWidth, kHeight));
  FrameAt(21, 29, 11, square);  // counted 1: skipped
  FrameAt(21, 29, 12, square);  // counted 2: skipped
  EXPECT_EQ(gFilter1.accumulator.at<cv::Vec3b>(9, 9), cv::Vec3b(12, 12, 12));
  FrameAt(21, 29, 13, square);  // counted 3: merged
  EXPECT_EQ(gFilter1.accumulator.at<cv::Vec3b>(9, 9), kBright);

  // Lowered below the running count, the very next frame is merged.
  gFilter1.frameCount = 5;
  FrameAt(21, 29, 14, DarkFrame(kWidth, kHeight));
  FrameAt(21, 29, 15, DarkFrame(kWidth, kHeight));
  gFilter1.frameCount = 1;
  FrameAt(21, 29, 16, FrameWithSquare(kWidth, kHeight, {255, 0, 0}, 20, 20, 4));
  EXPECT_EQ(gFilter1.accumulator.at<cv::Vec3b>(21, 21), cv::Vec3b(255, 0, 0));

  // A count of 0 or less keeps the stack's first frame only.
  gFilter1.frameCount = 0;
  FrameAt(21, 29, 17, FrameWithSquare(kWidth, kHeight, {255, 0, 0}, 30, 30, 4));
  gFilter1.frameCount = -2;
  FrameAt(21, 29, 18, FrameWithSquare(kWidth, kHeight, {255, 0, 0}, 30, 30, 4));
  EXPECT_EQ(gFilter1.accumulator.at<cv::Vec3b>(31, 31), cv::Vec3b(12, 12, 12));

  // The frame count in the name is the one in force when the stack is written.
  gFilter1.frameCount = 7;
  FrameAt(21, 30, 0, DarkFrame(kWidth, kHeight));
  EXPECT_EQ(ArchivedFiles(), std::vector<std::string>{"2008/08/01/Cam1/Met7_20080801_213000.jpg"});
}

TEST_F(StackingTest, NeverEndsAStackInTheSecondItBegan) {
  gFilter1.periodMinutes = 0;
  // Begun during second 0 of an even minute, the stack is not written that
  // second, however many frames arrive in it, but in the same minute an hour on.
  FrameAt(21, 30, 0, DarkFrame(kWidth, kHeight));
  FrameAt(21, 30, 0, DarkFrame(kWidth, kHeight));
  FrameAt(21, 30, 1, DarkFrame(kWidth, kHeight));
  EXPECT_TRUE(ArchivedFiles().empty());
  FrameAt(22, 30, 0, DarkFrame(kWidth, kHeight));
  EXPECT_EQ(ArchivedFiles(), std::vector<std::string>{"2008/08/01/Cam1/Met1_20080801_223000.jpg"});

  // With a period of 60 begun in an odd minute the stack ends at the minute
  // before, in the next hour.
  gFilter1.periodMinutes = 60;
  FrameAt(22, 31, 0, DarkFrame(kWidth, kHeight));
  FrameAt(23, 0, 0, DarkFrame(kWidth, kHeight));
  FrameAt(23, 30, 0, DarkFrame(kWidth, kHeight));
  EXPECT_EQ(ArchivedFiles(),
            (std::vector<std::string>{"2008/08/01/Cam1/Met1_20080801_223000.jpg",
                                      "2008/08/01/Cam1/Met1_20080801_233000.jpg"}));
}

TEST_F(StackingTest, SwitchedOffFilterKeepsItsStackUntilSwitchedOnAgain) {
  gSession.sessionCamera = 9;
  FrameAt(21, 29, 10, FrameWithSquare(kWidth, kHeight, kBright, 0, 0, 4));
  gFilter1.enabled = 0;
  FrameAt(21, 30, 0, DarkFrame(kWidth, kHeight));
  EXPECT_TRUE(ArchivedFiles().empty());
  EXPECT_EQ(gFilter1.accumulator.at<cv::Vec3b>(1, 1), kBright);
  gFilter1.enabled = 1;
  FrameAt(22, 30, 0, DarkFrame(kWidth, kHeight));  // the old target minute, an hour on
  EXPECT_EQ(ArchivedFiles(), std::vector<std::string>{"2008/08/01/Cam10/Met1_20080801_223000.jpg"});
}

TEST_F(StackingTest, SnapshotWritesFilterOnesStackAsBuiltSoFar) {
  // Requested while nothing is processed, the snapshot waits.
  gSession.processingEnabled = 0;
  gSession.snapshotRequested = 1;
  FrameAt(21, 30, 10, DarkFrame(kWidth, kHeight));
  EXPECT_EQ(gSession.snapshotRequested, 1);
  EXPECT_TRUE(ArchivedFiles().empty());

  // The first processed frame begins filter 1's stack and serves the request.
  gSession.processingEnabled = 1;
  FrameAt(21, 30, 15, FrameWithSquare(kWidth, kHeight, kBright, 0, 0, 16));
  EXPECT_EQ(gSession.snapshotRequested, 0);
  ASSERT_EQ(ArchivedFiles(), std::vector<std::string>{"2008/08/01/Cam1/Snap20080801_213015.jpg"});
  ExpectNear(MeanOf(ReadPicture("2008/08/01/Cam1/Snap20080801_213015.jpg"), kHeight - 12, 4, 8),
             kBright);
  // The stack goes on, in its own row order.
  EXPECT_EQ(gFilter1.accumulator.at<cv::Vec3b>(1, 1), kBright);
}

TEST_F(StackingTest, SnapshotWithoutAStackWaitsOnlyWhileFilterOneRuns) {
  // On the frame that ends filter 1's period its stack is gone before the
  // snapshot is served: the request waits for the stack the next frame begins.
  FrameAt(21, 31, 50, DarkFrame(kWidth, kHeight));
  gSession.snapshotRequested = 1;
  FrameAt(21, 32, 0, DarkFrame(kWidth, kHeight));
  EXPECT_EQ(gSession.snapshotRequested, 1);
  FrameAt(21, 32, 1, DarkFrame(kWidth, kHeight));
  EXPECT_EQ(gSession.snapshotRequested, 0);
  EXPECT_EQ(ArchivedFiles(), (std::vector<std::string>{"2008/08/01/Cam1/Met1_20080801_213200.jpg",
                                                       "2008/08/01/Cam1/Snap20080801_213201.jpg"}));

  // Filter 1 off with no stack: the request is dropped, nothing written.
  gFilter1.enabled = 0;
  gFilter1.accumulator.release();
  gSession.snapshotRequested = 1;
  const auto before = ArchivedFiles();
  FrameAt(21, 33, 0, DarkFrame(kWidth, kHeight));
  EXPECT_EQ(gSession.snapshotRequested, 0);
  EXPECT_EQ(ArchivedFiles(), before);
}

TEST_F(StackingTest, FolderAndNameComeFromTheSameReadingAtMidnight) {
  // The clock steps a second at every reading: the frame is read at 23:59:59,
  // the snapshot's folders and name at 00:00:00 of the next day.
  std::atomic<std::time_t> next{AtLocal(2008, 8, 1, 23, 59, 59)};
  SetClockForTesting([&next] { return next.fetch_add(1); });
  OnFrame(DarkFrame(kWidth, kHeight));
  gSession.snapshotRequested = 1;
  next = AtLocal(2008, 8, 1, 23, 59, 59);
  OnFrame(DarkFrame(kWidth, kHeight));
  EXPECT_EQ(ArchivedFiles(), std::vector<std::string>{"2008/08/02/Cam1/Snap20080802_000000.jpg"});
}

TEST_F(StackingTest, IgnoresUnfitFramesAndRestartsOnANewSize) {
  FrameAt(21, 29, 10, FrameWithSquare(kWidth, kHeight, kBright, 0, 0, 4));
  const cv::Mat before = gFilter1.accumulator.clone();

  cv::Mat grey(kHeight, kWidth, CV_8UC1, cv::Scalar(255));
  cv::Mat wide(kHeight, kWidth + 8, CV_8UC3, cv::Scalar(255, 255, 255));
  FrameAt(21, 29, 11, grey);
  FrameAt(21, 29, 12, wide(cv::Rect(0, 0, kWidth, kHeight)));  // rows with padding
  FrameAt(21, 29, 13, cv::Mat());
  EXPECT_EQ(cv::norm(gFilter1.accumulator, before, cv::NORM_INF), 0);

  // A new size drops the stacks unwritten and begins new ones at that size.
  gFilter2.enabled = 1;
  FrameAt(21, 29, 14, DarkFrame(kWidth / 2, kHeight / 2));
  EXPECT_EQ(gFilter1.accumulator.size(), cv::Size(kWidth / 2, kHeight / 2));
  EXPECT_EQ(gSession.outputImage.size(), cv::Size(kWidth / 2, kHeight / 2));
  EXPECT_EQ(gFilter1.accumulator.at<cv::Vec3b>(1, 1), cv::Vec3b(12, 12, 12));
  FrameAt(21, 30, 0, DarkFrame(kWidth / 2, kHeight / 2));
  ASSERT_EQ(ArchivedFiles(), std::vector<std::string>{"2008/08/01/Cam1/Met1_20080801_213000.jpg"});
  EXPECT_EQ(ReadPicture(ArchivedFiles()[0]).size(), cv::Size(kWidth / 2, kHeight / 2));
}

}  // namespace
}  // namespace glintvane

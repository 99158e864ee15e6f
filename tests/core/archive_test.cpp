#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "archive/archive.h"
#include "shared/local_time.h"
#include "shared/session_state.h"
#include "test_support.h"

namespace glintvane {
namespace {

class ArchiveNamesTest : public ArchiveTest {};

TEST_F(ArchiveNamesTest, BuildsTheDatedTreeAndNamesFromOneClockReading) {
  now_ = AtLocal(2008, 8, 1, 21, 30, 0);
  EXPECT_EQ(EnsureArchiveDirs(0), 1);
  EXPECT_TRUE(std::filesystem::is_directory(root_ / "2008/08/01/Cam1"));
  const std::string monthPath = root_.string() + "/2008/08";
  EXPECT_EQ(BuildPeakName(1), monthPath + "/01/Cam1/Met1_20080801_213000.jpg");

  // The names keep the reading of the last EnsureArchiveDirs even when the
  // clock has moved on since.
  now_ = AtLocal(2008, 8, 1, 21, 30, 15);
  EnsureArchiveDirs(0);
  now_ = AtLocal(2009, 1, 1, 0, 0, 0);
  EXPECT_EQ(BuildSnapshotName(), monthPath + "/01/Cam1/Snap20080801_213015.jpg");

  // The camera in names is the session's; the folder's is the one asked for.
  gSession.sessionCamera = 9;
  now_ = AtLocal(2010, 12, 31, 3, 4, 5);
  EnsureArchiveDirs(9);
  EXPECT_TRUE(std::filesystem::is_directory(root_ / "2010/12/31/Cam10"));
  EXPECT_EQ(BuildPeakName(1234), root_.string() + "/2010/12/31/Cam10/Met1234_20101231_030405.jpg");
  EXPECT_EQ(BuildPeakName(-5), root_.string() + "/2010/12/31/Cam10/Met-5_20101231_030405.jpg");

  // A second call on an existing tree is harmless.
  EXPECT_EQ(EnsureArchiveDirs(9), 1);
}

TEST_F(ArchiveNamesTest, WritesTheStackUpsideDownAndLeavesItUnchanged) {
  cv::Mat stack(40, 30, CV_8UC3, cv::Scalar(10, 10, 10));
  stack(cv::Rect(0, 0, 30, 10)).setTo(cv::Scalar(240, 30, 90));
  const cv::Mat original = stack.clone();
  gSession.outputImage.create(stack.size(), stack.type());
  const uchar* outputPixels = gSession.outputImage.data;

  now_ = AtLocal(2008, 8, 1, 21, 30, 0);
  EnsureArchiveDirs(0);
  const std::string name = BuildPeakName(1);
  WriteStack(stack, name);

  EXPECT_EQ(cv::norm(stack, original, cv::NORM_INF), 0);
  EXPECT_EQ(gSession.outputImage.data, outputPixels);  // written through, not reallocated
  const cv::Mat picture = cv::imread(name, cv::IMREAD_COLOR);
  ASSERT_EQ(picture.size(), stack.size());
  const cv::Scalar bottom = cv::mean(picture(cv::Rect(4, 32, 22, 6)));
  const cv::Scalar top = cv::mean(picture(cv::Rect(4, 2, 22, 6)));
  EXPECT_NEAR(bottom[0], 240, 6);
  EXPECT_NEAR(bottom[2], 90, 6);
  EXPECT_NEAR(top[0], 10, 6);
}

TEST_F(ArchiveNamesTest, FailedWritesAreLostQuietly) {
  const cv::Mat stack(8, 8, CV_8UC3, cv::Scalar(1, 2, 3));
  // A folder that does not exist, and a name no image writer takes.
  EXPECT_NO_THROW(WriteStack(stack, (root_ / "missing/dir/Met1.jpg").string()));
  EXPECT_NO_THROW(WriteStack(stack, (root_ / "Met1.unknown").string()));
  EXPECT_TRUE(ArchivedFiles().empty());
}

}  // namespace
}  // namespace glintvane

#include <atomic>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "capture/cvcam.h"
#include "capture/cvcam_library.h"
#include "fake_camera_tree.h"
#include "test_support.h"

namespace glintvane {
namespace {

using std::chrono::milliseconds;

// The size of the frames the handler gets, and how many there were since the last reset.
std::mutex gSizeMutex;
cv::Size gLastSize;
std::atomic<int> gFrames{0}, gClears{0};

void RecordSize(const cv::Mat& frame) {
  std::lock_guard lock(gSizeMutex);
  gLastSize = frame.size();
  ++gFrames;
}

bool FramesArriveAt(cv::Size size) {
  return WaitUntil(
      [&] {
        std::lock_guard lock(gSizeMutex);
        return gLastSize == size;
      },
      milliseconds(3000));
}

class CaptureModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tree_ = MakeFakeCameraTree();
    AddFakeNode(tree_, "video0", "Night Cam", "capture");
    SetCameraTreeForTesting(tree_.sysfs(), tree_.dev(), FakeCapabilityQuery);
    sky_ = cvcamGetCamerasCount() - 1;
    gLastSize = {};
    gFrames = gClears = 0;
  }
  void TearDown() override {
    cvcamExit();
    SetCameraTreeForTesting("/sys", "/dev", QueryDeviceCapability);
    RemoveFakeCameraTree(tree_);
  }

  // As the program starts every session: it always asks for the same format.
  int StartSky() {
    cvcamSetVideoFormat(sky_, {160, 120, 100});
    cvcamEnable(sky_, 1);
    cvcamSetCallback(sky_, RecordSize);
    cvcamSetWindow(sky_, {{}, [] { ++gClears; }});
    return cvcamInit() && cvcamStart();
  }

  FakeCameraTree tree_;
  int sky_ = 0;
};

const CaptureMode kChosen{V4L2_PIX_FMT_BGR24, {320, 240}, 100};

TEST_F(CaptureModeTest, TheUsersChoiceWinsOverTheRequestedFormatAtEveryInit) {
  EXPECT_FALSE(CaptureModeOf(sky_));
  EXPECT_EQ(SetCaptureMode(sky_, kChosen), ModeChange::kRemembered);
  EXPECT_EQ(CaptureModeOf(sky_)->size, kChosen.size);
  for (int init = 0; init < 2; ++init) {
    gLastSize = {};
    ASSERT_TRUE(StartSky());
    EXPECT_TRUE(FramesArriveAt({320, 240}));
    cvcamExit();
  }
  EXPECT_EQ(SetCaptureMode(sky_ + 1, kChosen), ModeChange::kNoCamera);
  EXPECT_EQ(ListedCamera(0)->devicePath, tree_.dev() + "/video0");
  EXPECT_FALSE(ListedCamera(sky_ + 1));
}

// Running, paused or stopped, the session stays so, and the window loses the old frames.
TEST_F(CaptureModeTest, AnOpenSessionSwitchesToTheChosenModeAndCarriesOnAsItWas) {
  ASSERT_TRUE(StartSky());
  ASSERT_TRUE(FramesArriveAt({160, 120}));
  EXPECT_EQ(SetCaptureMode(sky_, {V4L2_PIX_FMT_BGR24, {200, 150}, 100}), ModeChange::kSwitched);
  EXPECT_EQ(gClears, 1);
  EXPECT_TRUE(FramesArriveAt({200, 150}));
  EXPECT_EQ(CaptureModeOf(sky_)->size, cv::Size(200, 150));

  cvcamPause();
  EXPECT_EQ(SetCaptureMode(sky_, kChosen), ModeChange::kSwitched);
  int frames = gFrames;
  std::this_thread::sleep_for(milliseconds(60));
  EXPECT_EQ(gFrames, frames);
  EXPECT_EQ(cvcamResume(), 1);
  EXPECT_TRUE(FramesArriveAt({320, 240}));

  cvcamStop();
  EXPECT_EQ(SetCaptureMode(sky_, {V4L2_PIX_FMT_BGR24, {200, 150}, 100}), ModeChange::kSwitched);
  frames = gFrames;
  std::this_thread::sleep_for(milliseconds(60));
  EXPECT_EQ(gFrames, frames);
  ASSERT_EQ(cvcamStart(), 1);
  EXPECT_TRUE(FramesArriveAt({200, 150}));
}

}  // namespace
}  // namespace glintvane

#include "capture/cvcam.h"

#include <atomic>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include "capture/cvcam_library.h"
#include "fake_camera_tree.h"
#include "test_support.h"

namespace glintvane {
namespace {

using std::chrono::milliseconds;

// What the capture thread handed over, and whether each frame was as promised.
struct Recorder {
  std::mutex mutex;
  cv::Mat lastUpright;  // the window's latest frame
  std::atomic<int> frames{0}, faults{0}, clears{0};
  std::atomic<bool> inHandler{false};
  std::thread::id testThread;
  cv::Size expectedSize;
  milliseconds handlerDelay{0};
};
Recorder gRecorder;

void RecordFrame(const cv::Mat& frame) {
  gRecorder.inHandler = true;
  bool asPromised = frame.type() == CV_8UC3 && frame.isContinuous() &&
                    frame.size() == gRecorder.expectedSize &&
                    std::this_thread::get_id() != gRecorder.testThread;
  {
    std::lock_guard lock(gRecorder.mutex);
    if (!gRecorder.lastUpright.empty()) {
      cv::Mat bottomFirst;
      cv::flip(gRecorder.lastUpright, bottomFirst, 0);
      asPromised = asPromised && cv::norm(bottomFirst, frame, cv::NORM_INF) == 0;
    }
  }
  gRecorder.faults += !asPromised;
  std::this_thread::sleep_for(gRecorder.handlerDelay);
  ++gRecorder.frames;
  gRecorder.inHandler = false;
}

CameraWindow RecordingWindow() {
  return {[](const cv::Mat& upright) {
            std::lock_guard lock(gRecorder.mutex);
            upright.copyTo(gRecorder.lastUpright);
          },
          [] { ++gRecorder.clears; }};
}

bool FramesReach(int count) {
  return WaitUntil([count] { return gRecorder.frames >= count; }, milliseconds(3000));
}

class CvcamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tree_ = MakeFakeCameraTree();
    SetCameraTreeForTesting(tree_.sysfs(), tree_.dev(), FakeCapabilityQuery);
    gRecorder.lastUpright.release();
    gRecorder.frames = gRecorder.faults = gRecorder.clears = 0;
    gRecorder.testThread = std::this_thread::get_id();
    gRecorder.handlerDelay = milliseconds(0);
  }
  void TearDown() override {
    cvcamExit();
    SetCameraTreeForTesting("/sys", "/dev", QueryDeviceCapability);
    RemoveFakeCameraTree(tree_);
  }

  static int StartSky(const VideoFormat& format, const CameraWindow& window = {}) {
    int sky = cvcamGetCamerasCount() - 1;
    gRecorder.expectedSize = {format.width, format.height};
    cvcamSetVideoFormat(sky, format);
    cvcamEnable(sky, 1);
    cvcamSetCallback(sky, RecordFrame);
    cvcamSetWindow(sky, window);
    return cvcamInit() && cvcamStart();
  }

  FakeCameraTree tree_;
};

TEST_F(CvcamTest, TheWindowGetsUprightFramesAndTheHandlerTheSameBottomFirst) {
  ASSERT_TRUE(StartSky({320, 240, 100}, RecordingWindow()));
  ASSERT_TRUE(FramesReach(5));
  cvcamStop();
  EXPECT_EQ(gRecorder.faults, 0);
  EXPECT_EQ(gRecorder.clears, 1);
}

TEST_F(CvcamTest, NoFrameComesOnceStopHasReturnedAndStartCarriesOn) {
  gRecorder.handlerDelay = milliseconds(3);
  ASSERT_TRUE(StartSky({160, 120, 200}));
  ASSERT_TRUE(FramesReach(3));
  cvcamStop();
  EXPECT_FALSE(gRecorder.inHandler);
  int frames = gRecorder.frames;
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(gRecorder.frames, frames);
  ASSERT_EQ(cvcamStart(), 1);
  EXPECT_TRUE(FramesReach(frames + 3));
}

TEST_F(CvcamTest, PauseHoldsFramesBackAndResumeLetsThemFlow) {
  gRecorder.handlerDelay = milliseconds(3);
  ASSERT_TRUE(StartSky({160, 120, 200}));
  ASSERT_TRUE(FramesReach(3));
  ASSERT_EQ(cvcamPause(), 1);
  EXPECT_FALSE(gRecorder.inHandler);
  int frames = gRecorder.frames;
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(gRecorder.frames, frames);
  ASSERT_EQ(cvcamResume(), 1);
  EXPECT_TRUE(FramesReach(frames + 3));
}

TEST_F(CvcamTest, CallsOutOfOrderAreHarmless) {
  cvcamStop();
  EXPECT_EQ(cvcamPause(), 0);
  EXPECT_EQ(cvcamResume(), 0);
  EXPECT_EQ(cvcamStart(), 0);  // nothing initialised
  cvcamExit();
  cvcamExit();
  ASSERT_TRUE(StartSky({160, 120, 200}));
  EXPECT_EQ(cvcamStart(), 1);
  EXPECT_EQ(cvcamInit(), 1);  // replaces the running session
  EXPECT_EQ(cvcamStart(), 1);
  EXPECT_TRUE(FramesReach(3));
  cvcamStop();
  cvcamStop();
  EXPECT_EQ(cvcamPause(), 0);
  cvcamExit();
  EXPECT_EQ(cvcamStart(), 0);
}

TEST_F(CvcamTest, CamerasAreListedOnceAndKept) {
  AddFakeNode(tree_, "video0", "Night Cam", "capture");
  ASSERT_EQ(cvcamGetCamerasCount(), 2);
  AddFakeNode(tree_, "video1", "Plugged in later", "capture");
  EXPECT_EQ(cvcamGetCamerasCount(), 2);

  char area[kDescriptionAreaSize];
  EXPECT_EQ(cvcamGetDescription(0, area), 1);
  EXPECT_STREQ(area, "Night Cam");
  EXPECT_EQ(cvcamGetDescription(1, area), 1);
  EXPECT_STREQ(area, "Simulated sky");
  EXPECT_EQ(cvcamGetDescription(2, area), 0);
  EXPECT_STREQ(area, "");
  EXPECT_EQ(cvcamGetDescription(-1, area), 0);
}

TEST_F(CvcamTest, InitFailsWithoutAUsableCamera) {
  AddFakeNode(tree_, "video0", "Not really a camera", "capture");  // a plain file
  AddFakeNode(tree_, "video1", "Unplugged", "capture");
  ASSERT_EQ(cvcamGetCamerasCount(), 3);
  std::filesystem::remove(tree_.dev() + "/video1");

  EXPECT_EQ(cvcamInit(), 0);  // none enabled
  EXPECT_EQ(cvcamEnable(3, 1), 0);
  EXPECT_EQ(cvcamSetVideoFormat(-1, {640, 480, 20}), 0);
  EXPECT_EQ(cvcamInit(), 0);
  cvcamEnable(0, 1);
  EXPECT_EQ(cvcamInit(), 0);
  cvcamEnable(1, 1);
  EXPECT_EQ(cvcamInit(), 0);
  EXPECT_EQ(OpenedCamera().camera, -1);
  cvcamEnable(2, 1);
  EXPECT_EQ(cvcamInit(), 1);
  cvcamEnable(2, 0);
  EXPECT_EQ(cvcamInit(), 0);
  cvcamEnable(2, 1);
  cvcamEnable(3, 1);
  EXPECT_EQ(cvcamInit(), 0);
}

TEST_F(CvcamTest, OpenedCameraNamesTheSessionsCamera) {
  AddFakeNode(tree_, "video0", "Night Cam", "capture");
  EXPECT_EQ(OpenedCamera().camera, -1);
  ASSERT_TRUE(StartSky({160, 120, 20}));
  EXPECT_EQ(OpenedCamera().camera, 1);
  EXPECT_EQ(OpenedCamera().devicePath, "");
  cvcamExit();
  EXPECT_EQ(OpenedCamera().camera, -1);
}

TEST_F(CvcamTest, PropertyPagesShowOnlyOnceInstalledAndForAListedCamera) {
  EXPECT_EQ(cvcamShowCameraPages(0), 0);
  static std::vector<std::string> shown;
  shown.clear();
  cvcamSetPropertyPages({[](int camera) { shown.push_back("camera " + std::to_string(camera)); },
                         [](int camera) { shown.push_back("video " + std::to_string(camera)); }});
  EXPECT_EQ(cvcamShowCameraPages(0), 1);
  EXPECT_EQ(cvcamShowVideoPages(0), 1);
  EXPECT_EQ(cvcamShowVideoPages(1), 0);
  EXPECT_EQ(shown, (std::vector<std::string>{"camera 0", "video 0"}));
  cvcamSetPropertyPages({});
}

// The library alone, driven hard: sessions come and go while frames flow fast and another
// thread turns the simulated camera's knobs and asks for the open camera.
TEST_F(CvcamTest, StressSessionsComeAndGoWhileFramesFlow) {
  std::atomic<bool> done{false};
  std::thread meddler([&] {
    SimulationSettings& settings = SimulatedCameraSettings();
    for (int i = 0; !done; ++i) {
      settings.gain = i % 2 ? 1.5f : 1.0f;
      settings.meteorsPerMinute = float(i % 1000);
      OpenedCamera();
      std::this_thread::sleep_for(milliseconds(1));
    }
    settings.gain = 1;
    settings.meteorsPerMinute = 4;
  });
  for (int round = 0; round < 25; ++round) {
    int before = gRecorder.frames;
    ASSERT_TRUE(StartSky({160, 120, 200}, RecordingWindow()));
    ASSERT_TRUE(FramesReach(before + 1));
    cvcamPause();
    cvcamResume();
    if (round % 2) cvcamStop();
    cvcamExit();
    EXPECT_FALSE(gRecorder.inHandler);
  }
  done = true;
  meddler.join();
  EXPECT_EQ(gRecorder.faults, 0);
  EXPECT_EQ(gRecorder.clears, 25);
}

}  // namespace
}  // namespace glintvane

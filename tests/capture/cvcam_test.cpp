#include "capture/cvcam.h"

#include <atomic>
#include <filesystem>
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

// What the capture thread handed over; a fault is a frame not as the handler was promised.
struct Recorder {
  std::mutex mutex;
  cv::Mat upright;  // the window's latest frame
  cv::Size size;    // the handler's latest frame's
  std::atomic<int> frames{0}, faults{0}, clears{0};
  std::atomic<bool> inHandler{false};
  std::thread::id testThread;
} gRecorder;

// Each frame must be 8-bit BGR, continuous, on a thread of the library's own, and the window's
// upright frame with its rows bottom-first.
void RecordFrame(const cv::Mat& frame) {
  gRecorder.inHandler = true;
  std::this_thread::sleep_for(milliseconds(2));  // long enough for a stop to overtake it
  std::lock_guard lock(gRecorder.mutex);
  cv::Mat bottomFirst;
  cv::flip(gRecorder.upright, bottomFirst, 0);
  bool asPromised = frame.type() == CV_8UC3 && frame.isContinuous() &&
                    std::this_thread::get_id() != gRecorder.testThread &&
                    bottomFirst.size() == frame.size() &&
                    cv::norm(bottomFirst, frame, cv::NORM_INF) == 0;
  gRecorder.faults += !asPromised;
  gRecorder.size = frame.size();
  ++gRecorder.frames;
  gRecorder.inHandler = false;
}

class CvcamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCameraTreeForTesting(tree_.sysfs(), tree_.dev(), FakeCapabilityQuery);
    gRecorder.upright.release();
    gRecorder.size = {};
    gRecorder.frames = gRecorder.faults = gRecorder.clears = 0;
    gRecorder.testThread = std::this_thread::get_id();
  }
  void TearDown() override {
    cvcamExit();
    SetCameraTreeForTesting("/sys", "/dev", QueryDeviceCapability);
    RemoveFakeCameraTree(tree_);
  }

  // As the program starts every session with the simulated sky.
  static int StartSky() {
    int sky = cvcamGetCamerasCount() - 1;
    cvcamSetVideoFormat(sky, {160, 120, 200});
    cvcamEnable(sky, 1);
    cvcamSetCallback(sky, RecordFrame);
    cvcamSetWindow(sky, {[](const cv::Mat& upright) {
                           std::lock_guard lock(gRecorder.mutex);
                           upright.copyTo(gRecorder.upright);
                         },
                         [] {
                           std::lock_guard lock(gRecorder.mutex);
                           gRecorder.upright.release();
                           ++gRecorder.clears;
                         }});
    return cvcamInit() && cvcamStart();
  }
  static cv::Size LastSize() {
    std::lock_guard lock(gRecorder.mutex);
    return gRecorder.size;
  }
  static bool FramesReach(int count) {
    return WaitUntil([count] { return gRecorder.frames >= count; });
  }
  static bool FramesArriveAt(cv::Size size) {
    return WaitUntil([size] { return LastSize() == size; });
  }
  // True when no frame is being handled and none comes for a while.
  static bool FramesHeld() {
    int frames = gRecorder.frames;
    bool idle = !gRecorder.inHandler;
    std::this_thread::sleep_for(milliseconds(50));
    return idle && gRecorder.frames == frames;
  }

  FakeCameraTree tree_ = MakeFakeCameraTree();
};

// Frames come on the capture thread until stop or pause returns. The user's mode wins over the
// format the program asks for at every init, and switches the session, which carries on
// running, paused or stopped as it was.
TEST_F(CvcamTest, ASessionDeliversFramesInTheUsersModeUntilStopOrPause) {
  const int sky = cvcamGetCamerasCount() - 1;
  const CaptureMode small{V4L2_PIX_FMT_BGR24, {200, 150}, 100};
  const CaptureMode large{V4L2_PIX_FMT_BGR24, {320, 240}, 100};
  EXPECT_EQ(SetCaptureMode(sky + 1, small), ModeChange::kNoCamera);
  EXPECT_EQ(SetCaptureMode(sky, small), ModeChange::kRemembered);
  ASSERT_TRUE(StartSky());
  ASSERT_TRUE(FramesArriveAt({200, 150}));
  EXPECT_EQ(OpenedCamera().camera, sky);
  EXPECT_EQ(SetCaptureMode(sky, large), ModeChange::kSwitched);
  EXPECT_EQ(gRecorder.clears, 1);
  EXPECT_TRUE(FramesArriveAt({320, 240}));
  EXPECT_EQ(CaptureModeOf(sky)->size, cv::Size(320, 240));

  ASSERT_EQ(cvcamPause(), 1);
  EXPECT_TRUE(FramesHeld());
  EXPECT_EQ(SetCaptureMode(sky, small), ModeChange::kSwitched);
  EXPECT_TRUE(FramesHeld());
  ASSERT_EQ(cvcamResume(), 1);
  EXPECT_TRUE(FramesArriveAt({200, 150}));
  cvcamStop();
  EXPECT_TRUE(FramesHeld());
  EXPECT_EQ(SetCaptureMode(sky, large), ModeChange::kSwitched);
  EXPECT_TRUE(FramesHeld());
  ASSERT_EQ(cvcamStart(), 1);
  EXPECT_TRUE(FramesArriveAt({320, 240}));

  cvcamExit();
  int frames = gRecorder.frames;
  ASSERT_TRUE(StartSky());
  ASSERT_TRUE(FramesReach(frames + 2));
  EXPECT_EQ(LastSize(), cv::Size(320, 240));
  EXPECT_EQ(gRecorder.faults, 0);
}

TEST_F(CvcamTest, CallsOutOfOrderAreHarmlessAndInitFailsWithoutAUsableCamera) {
  AddFakeNode(tree_, "video0", "Not really a camera", "capture");  // a plain file
  AddFakeNode(tree_, "video1", "Unplugged", "capture");
  ASSERT_EQ(cvcamGetCamerasCount(), 3);
  std::filesystem::remove(tree_.dev() + "/video1");
  cvcamStop();
  EXPECT_EQ(cvcamPause(), 0);
  EXPECT_EQ(cvcamResume(), 0);
  EXPECT_EQ(cvcamStart(), 0);
  EXPECT_EQ(cvcamInit(), 0);  // none enabled
  for (int camera : {0, 1}) {
    cvcamEnable(camera, 1);
    EXPECT_EQ(cvcamInit(), 0) << camera;
  }
  ASSERT_TRUE(StartSky());
  EXPECT_EQ(cvcamInit(), 1);  // replaces the running session
  EXPECT_EQ(cvcamStart(), 1);
  EXPECT_EQ(cvcamStart(), 1);
  EXPECT_TRUE(FramesReach(3));
  cvcamStop();
  cvcamStop();
  EXPECT_EQ(cvcamPause(), 0);
  // A camera not in the list leaves no earlier choice to be opened.
  EXPECT_EQ(cvcamEnable(3, 1), 0);
  EXPECT_EQ(cvcamInit(), 0);
}

// Sessions come and go while frames flow fast and another thread turns the simulated camera's
// knobs and asks for the open camera.
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
    ASSERT_TRUE(StartSky());
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

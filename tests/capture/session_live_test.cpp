#include <mutex>
#include <random>
#include <thread>

#include "capture/session.h"
#include "shared/session_state.h"
#include "stacking/stacking.h"
#include "test_support.h"

namespace glintvane {
namespace {

// Sessions with the simulated sky camera, the one camera every machine has.
class LiveSessionTest : public ArchiveTest {
 protected:
  void SetUp() override {
    ArchiveTest::SetUp();
    now_ = AtLocal(2008, 8, 1, 21, 29, 10);
  }
  void TearDown() override {
    StopCapture();
    ArchiveTest::TearDown();
  }

  static int SimulatedCamera() { return cvcamGetCamerasCount() - 1; }

  static int Start(int width = 160, int height = 120, float rate = 100.0f) {
    return StartCapture(CameraWindow{}, SimulatedCamera(), width, height, rate);
  }

  template <typename Read>
  static auto UnderLock(Read read) {
    std::lock_guard lock(gSessionImagesLock);
    return read();
  }

  static bool HasStack() {
    return UnderLock([] { return !gFilter1.accumulator.empty(); });
  }
};

TEST_F(LiveSessionTest, FramesFromTheCaptureThreadBecomeAPictureAtThePeriodsEnd) {
  ASSERT_EQ(Start(), 1);
  ASSERT_TRUE(WaitUntil(HasStack));
  EXPECT_EQ(UnderLock([] { return gFilter1.targetMinute; }), 30);
  EXPECT_EQ(UnderLock([] { return gSession.outputImage.size(); }), cv::Size(160, 120));

  now_ = AtLocal(2008, 8, 1, 21, 30, 0);
  const std::string expected =
      "2008/08/01/Cam" + std::to_string(SimulatedCamera() + 1) + "/Met1_20080801_213000.jpg";
  ASSERT_TRUE(WaitUntil([&] { return ArchivedFiles() == std::vector<std::string>{expected}; }));

  // After stop no frame is processed: the stacks stay released.
  StopCapture();
  EXPECT_EQ(gSession.captureRunning, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(HasStack());
}

TEST_F(LiveSessionTest, PropertyPagesWhileRunningBeginNewStacksFromTheNextFrame) {
  ASSERT_EQ(Start(), 1);
  ASSERT_TRUE(WaitUntil(HasStack));
  now_ = AtLocal(2008, 8, 1, 21, 31, 10);
  ShowVideoProperties(SimulatedCamera());
  ASSERT_TRUE(WaitUntil(HasStack));
  EXPECT_EQ(UnderLock([] { return gFilter1.targetMinute; }), 32);
  EXPECT_TRUE(ArchivedFiles().empty());
}

TEST_F(LiveSessionTest, SnapshotRequestedWhileStoppedIsServedByTheNextSession) {
  gSession.snapshotRequested = 1;
  ASSERT_EQ(Start(), 1);
  ASSERT_TRUE(WaitUntil([] { return gSession.snapshotRequested == 0; }));
  const std::string expected =
      "2008/08/01/Cam" + std::to_string(SimulatedCamera() + 1) + "/Snap20080801_212910.jpg";
  EXPECT_EQ(ArchivedFiles(), std::vector<std::string>{expected});

  // Pause holds the frames back; resume lets them flow again.
  PauseCapture();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  gSession.snapshotRequested = 1;
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(gSession.snapshotRequested, 1);
  ResumeCapture();
  EXPECT_TRUE(WaitUntil([] { return gSession.snapshotRequested == 0; }));
}

// Runs the operations a user can reach, in a random order, while frames flow
// fast and the clock races so that periods end and pictures are written.
TEST_F(LiveSessionTest, SurvivesEveryOperationInAnyOrderWhileFramesFlow) {
  std::atomic<std::time_t> racing{AtLocal(2008, 8, 1, 21, 0, 0)};
  SetClockForTesting([&racing] { return racing.fetch_add(7); });
  gFilter2.enabled = 1;
  gFilter2.periodMinutes = 0;
  std::mt19937 random(7);
  for (int step = 0; step < 300; ++step) {
    switch (random() % 7) {
      case 0:
        Start(64 + 16 * static_cast<int>(random() % 4), 48, 400.0f);
        break;
      case 1:
        StopCapture();
        break;
      case 2:
        PauseCapture();
        break;
      case 3:
        ResumeCapture();
        break;
      case 4:
        ShowCameraProperties(SimulatedCamera());
        break;
      case 5:
        gSession.snapshotRequested = 1;
        break;
      default:
        gFilter1.frameCount = static_cast<int>(random() % 4) - 1;
        break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
  }
  StopCapture();
  EXPECT_EQ(gSession.captureRunning, 0);
  EXPECT_FALSE(ArchivedFiles().empty());
}

}  // namespace
}  // namespace glintvane

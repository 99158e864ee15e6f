#include "capture/ui/live_video.h"

#include <memory>
#include <random>
#include <thread>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QEvent>
#include <QMainWindow>
#include <opencv2/core.hpp>

#include "capture/cvcam_library.h"
#include "capture_ui_test_support.h"
#include "test_support.h"

namespace glintvane {
namespace {

const QColor kRed(255, 0, 0), kBlue(0, 0, 255);

// An upright frame: red above, blue below.
cv::Mat RedOverBlue(int width, int height) {
  cv::Mat frame(height, width, CV_8UC3, cv::Scalar(255, 0, 0));
  frame.rowRange(0, height / 2).setTo(cv::Scalar(0, 0, 255));
  return frame;
}

// Counts the queued calls and the paints of the widget it watches.
struct EventCounter : QObject {
  int queuedCalls = 0, paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    queuedCalls += event->type() == QEvent::MetaCall;
    paints += event->type() == QEvent::Paint;
    return false;
  }
};

class LiveVideoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_->resize(340, 300);
    video_ = LiveVideoWindow(window_.get());
    window_->show();
    Settle();
  }

  // As the capture thread calls it.
  void ShowFromAnotherThread(const cv::Mat& frame) {
    std::thread([&] { video_.showFrame(frame); }).join();
  }

  QColor At(int x, int y) { return ScreenOf(*window_).pixelColor(x, y); }
  QColor Background() { return window_->palette().window().color(); }
  bool ShowsOnly(const QColor& colour) {
    QImage screen = ScreenOf(*window_);
    for (int y = 0; y < screen.height(); y += 7) {
      for (int x = 0; x < screen.width(); x += 7) {
        if (screen.pixelColor(x, y) != colour) return false;
      }
    }
    return true;
  }

  std::unique_ptr<QMainWindow> window_ = std::make_unique<QMainWindow>();
  CameraWindow video_;
};

TEST_F(LiveVideoTest, AFrameShowsUprightFittedToTheWindowOnADarkBackground) {
  EXPECT_TRUE(ShowsOnly(Background()));
  ShowFromAnotherThread(RedOverBlue(640, 480));
  Settle();
  // 640x480 in 340x300 becomes 340x255, with bars of 22 or 23 rows above and below.
  QColor bar = At(170, 5);
  EXPECT_LT(bar.lightness(), 40);
  EXPECT_NE(bar, Background());
  EXPECT_EQ(At(170, 30), kRed);
  EXPECT_EQ(At(5, 140), kRed);
  EXPECT_EQ(At(170, 270), kBlue);
  EXPECT_EQ(At(170, 295), bar);

  // A tall frame gets bars at its sides instead.
  ShowFromAnotherThread(RedOverBlue(100, 300));
  Settle();
  EXPECT_EQ(At(5, 60), bar);
  EXPECT_EQ(At(170, 60), kRed);
  EXPECT_EQ(At(170, 240), kBlue);
  EXPECT_EQ(At(335, 240), bar);

  // A frame too flat to take up a single row of the window leaves only the background.
  ShowFromAnotherThread(RedOverBlue(4000, 2));
  Settle();
  EXPECT_TRUE(ShowsOnly(bar));
}

TEST_F(LiveVideoTest, WhenTheSessionEndsTheWindowGoesBackToItsEmptyBackground) {
  ShowFromAnotherThread(RedOverBlue(640, 480));
  Settle();
  ASSERT_EQ(At(170, 30), kRed);
  std::thread([&] { video_.clear(); }).join();
  Settle();
  EXPECT_TRUE(ShowsOnly(Background()));
  // A repaint for any other reason, such as a resize, brings nothing back.
  window_->resize(400, 320);
  Settle();
  EXPECT_TRUE(ShowsOnly(Background()));
}

TEST_F(LiveVideoTest, AnEndRacingAPendingFrameLeavesNothingAndANewSessionShowsAgain) {
  video_.showFrame(RedOverBlue(640, 480));  // its repaint is queued, not yet done
  video_.clear();
  Settle();
  EXPECT_TRUE(ShowsOnly(Background()));

  video_.clear();
  video_.showFrame(RedOverBlue(640, 480));  // the next session's first frame
  Settle();
  EXPECT_EQ(At(170, 30), kRed);
}

TEST_F(LiveVideoTest, ManyFramesBeforeARepaintAskForOnlyOneAndTheLatestIsShown) {
  EventCounter counter;
  window_->centralWidget()->installEventFilter(&counter);
  cv::Mat blue(480, 640, CV_8UC3, cv::Scalar(255, 0, 0));
  std::thread([&] {
    for (int i = 0; i < 50; ++i) video_.showFrame(RedOverBlue(640, 480));
    video_.showFrame(blue);
  }).join();
  Settle();
  EXPECT_EQ(counter.queuedCalls, 1);
  EXPECT_EQ(counter.paints, 1);
  EXPECT_EQ(At(170, 30), kBlue);
}

TEST_F(LiveVideoTest, TheVideoAreaIsMadeOnce) {
  QWidget* area = window_->centralWidget();
  ASSERT_TRUE(area);
  CameraWindow again = LiveVideoWindow(window_.get());
  EXPECT_EQ(window_->centralWidget(), area);
  std::thread([&] { again.showFrame(RedOverBlue(640, 480)); }).join();
  Settle();
  EXPECT_EQ(At(170, 30), kRed);
}

// The capture thread may still deliver frames when the window has gone, whether or not a
// repaint was on its way when it went.
TEST_F(LiveVideoTest, FramesAfterTheWindowHasGoneTouchNothing) {
  for (bool repaintPending : {true, false}) {
    auto window = std::make_unique<QMainWindow>();
    CameraWindow video = LiveVideoWindow(window.get());
    window->show();
    std::thread([&] { video.showFrame(RedOverBlue(640, 480)); }).join();
    if (!repaintPending) Settle();
    window.reset();
    Settle();
    std::thread([&] {
      video.showFrame(RedOverBlue(640, 480));
      video.clear();
    }).join();
    Settle();
  }
}

// The simulated sky camera through the capture library, as the program runs it.
class LiveSessionVideoTest : public LiveVideoTest {
 protected:
  void SetUp() override {
    LiveVideoTest::SetUp();
    SimulatedCameraSettings().gain = 8;  // a bright sky, nothing like the empty background
  }
  void TearDown() override {
    cvcamExit();
    SimulatedCameraSettings().gain = 1;
  }

  bool StartSky(int rate) {
    cvcamSetVideoFormat(cameras_.simulated, {320, 240, float(rate)});
    cvcamEnable(cameras_.simulated, 1);
    cvcamSetWindow(cameras_.simulated, video_);
    return cvcamInit() && cvcamStart();
  }

  bool ShowsSky() {
    QColor centre = At(170, 150);
    return centre != Background() && centre.lightness() > 60;
  }

  bool SkyAppears() {
    for (int round = 0; round < 300 && !ShowsSky(); ++round) {
      Settle();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ShowsSky();
  }

  CameraTreeForTest cameras_;
};

// The sky shows while capture runs, and stops fall at random moments against a fast camera:
// pending repaints, frames being copied, and the window going while frames still come.
TEST_F(LiveSessionVideoTest, StressStopsRacingPendingFramesLeaveNothingStale) {
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    ASSERT_TRUE(StartSky(200));
    ASSERT_TRUE(SkyAppears());
    for (int spins = std::uniform_int_distribution(0, 30)(random); spins > 0; --spins) {
      QCoreApplication::processEvents();
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    if (round % 2) {
      cvcamStop();
    } else {
      cvcamExit();
    }
    Settle();
    ASSERT_TRUE(ShowsOnly(Background())) << "round " << round;
  }
  ASSERT_TRUE(StartSky(200));
  ASSERT_TRUE(SkyAppears());
  window_.reset();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  Settle();
  cvcamStop();
}

}  // namespace
}  // namespace glintvane

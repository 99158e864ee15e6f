#include <filesystem>
#include <functional>
#include <mutex>
#include <random>
#include <thread>

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <opencv2/core.hpp>

#include "capture/cvcam.h"
#include "capture/cvcam_library.h"
#include "capture/ui/camera_pages.h"
#include "capture/ui/live_video.h"
#include "capture/ui/property_pages.h"
#include "fake_camera_tree.h"
#include "fake_v4l2_device.h"
#include "test_support.h"

#if defined(__SANITIZE_THREAD__)
// Qt is not built with ThreadSanitizer, so its thread pools' own locking is out of its sight:
// what Qt allocates on one thread and frees on another would be reported. Only the allocator
// calls Qt's libraries make themselves are ignored; every access of ours is still checked.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n";
}
#endif

namespace glintvane {
namespace {

// Lets queued calls, repaints and paints happen.
void Settle() {
  for (int round = 0; round < 5; ++round) QCoreApplication::processEvents();
}

// The library's cameras for a test: one V4L2 node, "video0", then the simulated sky, whose
// settings go back to their defaults afterwards.
struct CameraTree {
  CameraTree() {
    AddFakeNode(tree, "video0", "Night Cam", "capture");
    SetCameraTreeForTesting(tree.sysfs(), tree.dev(), FakeCapabilityQuery);
    sky = cvcamGetCamerasCount() - 1;
    InstallPropertyPages();
  }
  ~CameraTree() {
    cvcamExit();
    cvcamSetPropertyPages({});
    SimulatedCameraSettings().gain = 1;
    SimulatedCameraSettings().meteorsPerMinute = 4;
    SetCameraTreeForTesting("/sys", "/dev", QueryDeviceCapability);
    RemoveFakeCameraTree(tree);
  }
  const FakeCameraTree tree = MakeFakeCameraTree();
  int sky = -1;
};

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
    Settle();
  }

  // What the window shows on its screen, as painted through the event loop.
  QImage Screen() {
    QPixmap grab = window_->screen()->grabWindow(window_->winId());
    return grab.toImage().convertToFormat(QImage::Format_RGB32);
  }
  QColor At(int x, int y) { return Screen().pixelColor(x, y); }
  QColor Background() { return window_->palette().window().color(); }
  bool ShowsOnly(const QColor& colour) {
    QImage screen = Screen();
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
  // 640x480 in 340x300 becomes 340x255, with bars of 22 or 23 rows above and below.
  QColor bar = At(170, 5);
  EXPECT_LT(bar.lightness(), 40);
  EXPECT_NE(bar, Background());
  EXPECT_EQ(At(170, 30), kRed);
  EXPECT_EQ(At(5, 140), kRed);
  EXPECT_EQ(At(170, 270), kBlue);
  EXPECT_EQ(At(170, 295), bar);
  ShowFromAnotherThread(RedOverBlue(100, 300));  // a tall frame has bars at its sides
  EXPECT_EQ(At(5, 60), bar);
  EXPECT_EQ(At(170, 60), kRed);
  // A frame too flat to take up a single row of the window leaves only the bars.
  ShowFromAnotherThread(RedOverBlue(4000, 2));
  EXPECT_TRUE(ShowsOnly(bar));
}

TEST_F(LiveVideoTest, AnEndedSessionLeavesNothingEvenRacingAPendingFrame) {
  ShowFromAnotherThread(RedOverBlue(640, 480));
  ASSERT_EQ(At(170, 30), kRed);
  std::thread([&] { video_.clear(); }).join();
  Settle();
  EXPECT_TRUE(ShowsOnly(Background()));
  window_->resize(400, 320);  // a repaint for any other reason brings nothing back
  Settle();
  EXPECT_TRUE(ShowsOnly(Background()));

  video_.showFrame(RedOverBlue(640, 480));  // its repaint is queued, not yet done
  video_.clear();
  Settle();
  EXPECT_TRUE(ShowsOnly(Background()));
  video_.showFrame(RedOverBlue(640, 480));  // the next session's first frame
  Settle();
  EXPECT_EQ(At(170, 30), kRed);
}

TEST_F(LiveVideoTest, ManyFramesBeforeARepaintAskForOnlyOneAndTheLatestIsShown) {
  EventCounter counter;
  window_->centralWidget()->installEventFilter(&counter);
  std::thread([&] {
    for (int i = 0; i < 50; ++i) video_.showFrame(RedOverBlue(640, 480));
    video_.showFrame(cv::Mat(480, 640, CV_8UC3, cv::Scalar(255, 0, 0)));
  }).join();
  Settle();
  EXPECT_EQ(counter.queuedCalls, 1);
  EXPECT_EQ(counter.paints, 1);
  EXPECT_EQ(At(170, 30), kBlue);
}

// The capture thread may still deliver frames after the window has gone with a repaint pending.
TEST_F(LiveVideoTest, FramesAfterTheWindowHasGoneTouchNothing) {
  std::thread([&] { video_.showFrame(RedOverBlue(640, 480)); }).join();
  window_.reset();
  Settle();
  std::thread([&] {
    video_.showFrame(RedOverBlue(640, 480));
    video_.clear();
  }).join();
  Settle();
}

// The simulated sky through the capture library, with stops at random moments against a fast
// camera: pending repaints, frames being copied, and the window going while frames still come.
TEST_F(LiveVideoTest, StopsRacingTheSimulatedSkysFramesLeaveNothingStale) {
  CameraTree cameras;
  SimulatedCameraSettings().gain = 8;  // a bright sky, nothing like the empty background
  const auto startSky = [&] {
    cvcamSetVideoFormat(cameras.sky, {320, 240, 200});
    cvcamEnable(cameras.sky, 1);
    cvcamSetWindow(cameras.sky, video_);
    return cvcamInit() && cvcamStart() && WaitUntil([&] {
             Settle();
             QColor centre = At(170, 150);
             return centre != Background() && centre.lightness() > 60;
           });
  };
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    ASSERT_TRUE(startSky());
    for (int spins = std::uniform_int_distribution(0, 30)(random); spins > 0; --spins) {
      QCoreApplication::processEvents();
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    round % 2 ? cvcamStop() : cvcamExit();
    Settle();
    ASSERT_TRUE(ShowsOnly(Background())) << "round " << round;
  }
  ASSERT_TRUE(startSky());
  window_.reset();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  Settle();
}

template <typename Widget = QWidget>
Widget* Find(QWidget& pages, const char* name) {
  return pages.findChild<Widget*>(QString::fromUtf8(name));
}

QString ProblemOf(QWidget& pages) {
  auto* problem = Find<QLabel>(pages, "problem");
  return problem->isVisibleTo(&pages) ? problem->text() : QString();
}

void Press(QWidget& pages, QDialogButtonBox::StandardButton button) {
  pages.findChild<QDialogButtonBox*>()->button(button)->click();
}

void Choose(QWidget& pages, const char* comboBox, const QString& item) {
  auto* box = Find<QComboBox>(pages, comboBox);
  ASSERT_GE(box->findText(item), 0) << item.toStdString();
  box->setCurrentIndex(box->findText(item));
}

// Calls `showModal`, which shows modal pages; once they show, calls `act` with them and closes
// them, unless `act` did. True when that happened.
bool ActOnModal(const std::function<void()>& showModal, const std::function<void(QDialog&)>& act) {
  bool done = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    poll.stop();
    act(*dialog);
    if (dialog->isVisible()) dialog->reject();
    done = true;
  });
  poll.start(5);
  showModal();
  return done;
}

using PropertyPagesTest = ::testing::Test;

TEST_F(PropertyPagesTest, CameraPagesShowTheDevicesControlsAndSetThemAtOnce) {
  std::shared_ptr<FakeV4l2Device> camera = ExampleCamera();
  std::unique_ptr<QDialog> pages = CreateCameraPages(0, CameraDevice{FakeIoctl(camera)}, nullptr);
  auto* tabs = pages->findChild<QTabWidget*>();
  auto* slider = Find<QSlider>(*pages, "Brightness");
  auto* spinBox = Find<QSpinBox>(*pages, "Brightness");
  auto* powerLine = Find<QComboBox>(*pages, "Power Line Frequency");
  auto* exposureTime = Find<QSlider>(*pages, "Exposure Time, Absolute");
  ASSERT_TRUE(tabs && slider && spinBox && powerLine && exposureTime);
  EXPECT_EQ(tabs->tabText(1), "Camera Controls");
  EXPECT_EQ(QList<int>({slider->minimum(), slider->maximum(), slider->value(), spinBox->value()}),
            QList<int>({-64, 64, 10, 10}));
  EXPECT_EQ(powerLine->currentText(), "50 Hz");
  // Read-only and inactive controls show but cannot be changed.
  EXPECT_FALSE(Find(*pages, "Focus, Absolute")->isEnabledTo(pages.get()));
  EXPECT_FALSE(exposureTime->isEnabledTo(pages.get()));

  spinBox->setValue(20);
  EXPECT_EQ(FakeControlOf(*camera, V4L2_CID_BRIGHTNESS).value, 20);
  EXPECT_EQ(slider->value(), 20);
  Choose(*pages, "Power Line Frequency", "Auto");  // its value, 3, is not its row
  EXPECT_EQ(FakeControlOf(*camera, V4L2_CID_POWER_LINE_FREQUENCY).value, 3);
  Find<QComboBox>(*pages, "Auto Exposure")->setCurrentIndex(0);
  EXPECT_EQ(FakeControlOf(*camera, V4L2_CID_EXPOSURE_AUTO).value, V4L2_EXPOSURE_MANUAL);
  EXPECT_TRUE(exposureTime->isEnabledTo(pages.get()));
  Press(*pages, QDialogButtonBox::RestoreDefaults);
  EXPECT_EQ(FakeControlOf(*camera, V4L2_CID_BRIGHTNESS).value, 0);
  EXPECT_EQ(spinBox->value(), 0);
  EXPECT_EQ(powerLine->currentText(), "50 Hz");
  EXPECT_EQ(ProblemOf(*pages), "");
  camera->goneError = ENODEV;
  spinBox->setValue(5);
  EXPECT_EQ(ProblemOf(*pages), "The camera is not available.");

  // A camera unplugged since it was listed cannot be opened.
  CameraTree cameras;
  std::filesystem::remove(cameras.tree.dev() + "/video0");
  auto saysGone = [](QDialog& gone) { EXPECT_EQ(ProblemOf(gone), "The camera is not available."); };
  EXPECT_TRUE(ActOnModal([] { cvcamShowCameraPages(0); }, saysGone));
  EXPECT_TRUE(ActOnModal([] { cvcamShowVideoPages(0); }, saysGone));
}

std::mutex gSizeMutex;
cv::Size gLastSize;

void RecordSize(const cv::Mat& frame) {
  std::lock_guard lock(gSizeMutex);
  gLastSize = frame.size();
}

bool FramesArriveAt(cv::Size size) {
  return WaitUntil([&] {
    std::lock_guard lock(gSizeMutex);
    return gLastSize == size;
  });
}

// As the program runs it: 640x480 at 20 fps asked for at every start.
bool StartSky(int camera) {
  cvcamSetVideoFormat(camera, {640, 480, 20});
  cvcamEnable(camera, 1);
  cvcamSetCallback(camera, RecordSize);
  return cvcamInit() && cvcamStart();
}

TEST_F(PropertyPagesTest, TheSimulatedCamerasPagesSetItsKnobsAndItsRunningSize) {
  CameraTree cameras;
  SimulationSettings& settings = SimulatedCameraSettings();
  EXPECT_TRUE(ActOnModal([&] { cvcamShowCameraPages(cameras.sky); },
                         [](QDialog& pages) {
                           EXPECT_EQ(pages.findChild<QTabWidget*>()->tabText(0), "Simulated sky");
                           EXPECT_EQ(Find<QSpinBox>(pages, "Gain")->value(), 100);
                           Find<QSpinBox>(pages, "Gain")->setValue(250);
                           Find<QSlider>(pages, "Meteors per minute")->setValue(30);
                         }));
  EXPECT_FLOAT_EQ(settings.gain, 2.5f);
  EXPECT_FLOAT_EQ(settings.meteorsPerMinute, 30.0f);
  EXPECT_TRUE(ActOnModal([&] { cvcamShowCameraPages(cameras.sky); },
                         [](QDialog& pages) {
                           EXPECT_EQ(Find<QSpinBox>(pages, "Gain")->value(), 250);
                           Press(pages, QDialogButtonBox::RestoreDefaults);
                         }));
  EXPECT_FLOAT_EQ(settings.gain, 1.0f);
  EXPECT_FLOAT_EQ(settings.meteorsPerMinute, 4.0f);

  ASSERT_TRUE(StartSky(cameras.sky));
  ASSERT_TRUE(FramesArriveAt({640, 480}));
  EXPECT_TRUE(ActOnModal([&] { cvcamShowVideoPages(cameras.sky); },
                         [](QDialog& pages) {
                           EXPECT_EQ(Find<QComboBox>(pages, "frameSize")->currentText(),
                                     "640 \u00d7 480");
                           EXPECT_EQ(Find<QComboBox>(pages, "frameRate")->currentText(), "20 fps");
                           Choose(pages, "frameSize", "800 \u00d7 600");
                           Choose(pages, "frameRate", "30 fps");
                           Press(pages, QDialogButtonBox::Ok);
                         }));
  EXPECT_TRUE(FramesArriveAt({800, 600}));
  EXPECT_DOUBLE_EQ(CaptureModeOf(cameras.sky)->frameRate, 30.0);
  cvcamExit();
  ASSERT_TRUE(StartSky(cameras.sky));
  EXPECT_TRUE(FramesArriveAt({800, 600}));  // the choice is kept for the next session
}

}  // namespace
}  // namespace glintvane

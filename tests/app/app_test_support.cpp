#include "app_test_support.h"

#include <cstring>
#include <sstream>

#include <QApplication>
#include <QMenuBar>
#include <QTest>

#include "app/main_window.h"
#include "capture/cvcam.h"

namespace glintvane {

FakeLibrary gFakeLibrary;

namespace {

template <typename... Args>
int Record(const char* call, Args... args) {
  std::ostringstream text;
  text << call;
  ((text << ' ' << args), ...);
  gFakeLibrary.calls.push_back(text.str());
  return 1;
}

CvcamCalls FakeCvcamCalls() {
  return {
      [] { return static_cast<int>(gFakeLibrary.cameraNames.size()); },
      [](int camera, char(&area)[kDescriptionAreaSize]) {
        // Like a careless library, a long name fills the area with no NUL.
        std::strncpy(area, gFakeLibrary.cameraNames.at(camera).c_str(), sizeof area);
        return 1;
      },
      [](int c, const VideoFormat& f) {
        return Record("format", c, f.width, f.height, f.frameRate);
      },
      [](int c, int on) { return Record("enable", c, on); },
      [](int c, FrameHandler) { return Record("callback", c); },
      [](int c, const CameraWindow&) { return Record("window", c); },
      [] { return Record("init"); },
      [] { return Record("start"); },
      [] { return Record("stop"); },
      [] { return Record("pause"); },
      [] { return Record("resume"); },
      [] { return Record("exit"); },
      [](int c) { return Record("camera_pp", c); },
      [](int c) { return Record("video_pp", c); },
  };
}

}  // namespace

std::vector<std::string> CameraNames(int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back("Camera " + std::to_string(i));
  return names;
}

void AppTest::SetUp() {
  ArchiveTest::SetUp();
  gFakeLibrary = {};
  SetCvcamCallsForTesting(FakeCvcamCalls());
}

void AppTest::TearDown() {
  window_.reset();
  SetCvcamCallsForTesting(LibraryCvcamCalls());
  ArchiveTest::TearDown();
}

void AppTest::OpenWindow(std::vector<std::string> cameraNames) {
  gFakeLibrary.cameraNames = std::move(cameraNames);
  window_ = CreateMainWindow();
  ASSERT_NE(window_, nullptr);
  // With no window manager nothing activates a window, not even after a dialog.
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
}

QAction* ItemFor(QMainWindow* window, int command) {
  for (QAction* popup : window->menuBar()->actions()) {
    for (QAction* item : popup->menu()->actions()) {
      if (item->data().toInt() == command) return item;
    }
  }
  return nullptr;
}

std::vector<int> CheckedPositions(QMenu* menu) {
  std::vector<int> positions;
  for (int i = 0; i < menu->actions().size(); ++i) {
    if (menu->actions().at(i)->isChecked()) positions.push_back(i);
  }
  return positions;
}

std::unique_ptr<QTimer> WhenModalShown(std::function<void(QWidget*)> act) {
  auto timer = std::make_unique<QTimer>();
  QTimer* watch = timer.get();
  QObject::connect(watch, &QTimer::timeout, [watch, act] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    watch->stop();
    EXPECT_TRUE(QTest::qWaitForWindowActive(modal));
    act(modal);
    QTimer::singleShot(2000, modal, [modal] {
      ADD_FAILURE() << "the dialog stayed open";
      modal->close();
    });
  });
  timer->start(5);
  return timer;
}

}  // namespace glintvane

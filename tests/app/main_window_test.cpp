#include <QMenuBar>
#include <QTest>

#include "app/main_window.h"
#include "app_test_support.h"
#include "shared/session_state.h"

namespace glintvane {
namespace {

using Items = std::vector<std::pair<std::string, int>>;

using MainWindowTest = AppTest;

TEST_F(MainWindowTest, MenuBarHasThePopupsAndItemsInOrder) {
  OpenWindow({"Cam A", "Cam B"});
  const std::vector<std::pair<std::string, Items>> expected = {
      {"&File", {{"E&xit", 105}}},
      {"&Cameras", {{"Cam A", 200}, {"Cam B", 201}}},
      {"&Options",
       {{"Camera properties...", 32774},
        {"Video properties...", 32775},
        {"Filter settings...", 32805},
        {"Detection settings...", 32808}}},
      {"&Run",
       {{"Start", 32771},
        {"Stop", 32772},
        {"Pause", 32776},
        {"Resume", 32777},
        {"Snapshot", 32802}}},
      {"&Help", {{"&About ...", 104}}},
  };
  std::vector<std::pair<std::string, Items>> actual;
  for (QAction* popup : window_->menuBar()->actions()) {
    actual.push_back({popup->text().toStdString(), {}});
    for (QAction* item : popup->menu()->actions()) {
      // Every item, Detection settings too, looks like a command.
      EXPECT_FALSE(item->isSeparator());
      EXPECT_TRUE(item->isEnabled());
      actual.back().second.push_back({item->text().toStdString(), item->data().toInt()});
    }
  }
  EXPECT_EQ(actual, expected);
  EXPECT_EQ(window_->size(), QSize(340, 300));
}

TEST_F(MainWindowTest, AltWithQuestionMarkOrSlashOpensAbout) {
  OpenWindow(CameraNames(1));
  const auto aboutTitleAfter = [this](Qt::Key key, Qt::KeyboardModifiers modifiers) {
    window_->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    QString title;
    const auto watch = WhenModalShown([&](QWidget* modal) {
      title = modal->windowTitle();
      modal->close();
    });
    QTest::keyClick(window_.get(), key, modifiers);
    return title;
  };
  // On a US keyboard "?" is Shift+/, and the key press carries the Shift.
  EXPECT_EQ(aboutTitleAfter(Qt::Key_Question, Qt::AltModifier | Qt::ShiftModifier), "About");
  EXPECT_EQ(aboutTitleAfter(Qt::Key_Question, Qt::AltModifier), "About");
  EXPECT_EQ(aboutTitleAfter(Qt::Key_Slash, Qt::AltModifier), "About");
  EXPECT_EQ(aboutTitleAfter(Qt::Key_Slash, Qt::NoModifier), "");
}

TEST_F(MainWindowTest, RunAndOptionItemsReachTheSession) {
  OpenWindow(CameraNames(3));
  ItemFor(window_.get(), 202)->trigger();
  for (int command : {32771, 32776, 32777, 32774, 32775, 32772, 32802}) {
    ItemFor(window_.get(), command)->trigger();
  }
  EXPECT_EQ(gFakeLibrary.calls,
            std::vector<std::string>({"format 2 640 480 20", "enable 2 1", "callback 2", "window 2",
                                      "init", "start", "pause", "resume", "camera_pp 2",
                                      "video_pp 2", "stop", "exit"}));
  EXPECT_EQ(gSession.sessionCamera, 2);
  EXPECT_EQ(gSession.captureRunning, 0);
  EXPECT_EQ(gSession.snapshotRequested, 1);
}

TEST_F(MainWindowTest, InertCommandsChangeNothing) {
  OpenWindow(CameraNames(12));
  const QString title = window_->windowTitle();
  int dialogs = 0;
  const auto watch = WhenModalShown([&](QWidget* modal) {
    ++dialogs;
    modal->close();
  });
  for (int command : {32808, 210, 211}) ItemFor(window_.get(), command)->trigger();
  for (int command : {32789, 212, 0, 199, 106}) DispatchCommand(window_.get(), command);
  QTest::qWait(20);
  EXPECT_EQ(dialogs, 0);
  EXPECT_TRUE(gFakeLibrary.calls.empty());
  EXPECT_EQ(gSession.selectedCamera, 0);
  EXPECT_EQ(CheckedPositions(CameraMenu(window_.get())), std::vector<int>{0});
  EXPECT_EQ(window_->windowTitle(), title);
  EXPECT_TRUE(window_->isVisible());
}

TEST_F(MainWindowTest, TheCloseBoxAndExitStopCapture) {
  OpenWindow(CameraNames(1));
  window_->close();  // nothing running, nothing to stop
  EXPECT_TRUE(gFakeLibrary.calls.empty());
  OpenWindow(CameraNames(1));
  ItemFor(window_.get(), 105)->trigger();  // Exit stops in any case
  EXPECT_EQ(gFakeLibrary.calls, std::vector<std::string>({"stop", "exit"}));

  for (const auto& end : std::vector<std::function<void()>>{
           [this] { window_->close(); }, [this] { ItemFor(window_.get(), 105)->trigger(); }}) {
    OpenWindow(CameraNames(1));
    ItemFor(window_.get(), 32771)->trigger();
    gFakeLibrary.calls.clear();
    end();
    EXPECT_EQ(gFakeLibrary.calls, std::vector<std::string>({"stop", "exit"}));
    EXPECT_EQ(gSession.captureRunning, 0);
    EXPECT_FALSE(window_->isVisible());
  }
}

}  // namespace
}  // namespace glintvane

#include <cstring>
#include <mutex>
#include <sstream>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/main_window.h"
#include "capture/cvcam.h"
#include "shared/session_state.h"
#include "stacking/stacking.h"
#include "test_support.h"

namespace glintvane {
namespace {

using Strings = std::vector<std::string>;

// The capture library's calls go to a fake that lists these cameras and records each call.
struct {
  Strings cameraNames, calls;
} gFakeLibrary;

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
      [] { return int(gFakeLibrary.cameraNames.size()); },
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

// The menu item sending `command`, or null.
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

// Each test starts from the program's start-up state with the fake in place.
class AppTest : public ArchiveTest {
 protected:
  void SetUp() override {
    ArchiveTest::SetUp();
    SetCvcamCallsForTesting(FakeCvcamCalls());
  }

  void TearDown() override {
    window_.reset();
    SetCvcamCallsForTesting(LibraryCvcamCalls());
    ArchiveTest::TearDown();
  }

  void OpenWindow(std::vector<std::string> cameraNames) {
    gFakeLibrary = {std::move(cameraNames), {}};
    window_ = CreateMainWindow();
    ASSERT_NE(window_, nullptr);
  }

  // Runs `open`; calls `act` with the modal dialog it shows, which `act` must close. True when
  // one showed.
  bool WithModal(const std::function<void()>& open, const std::function<void(QWidget*)>& act) {
    // With no window manager nothing activates a window, not even after a dialog.
    window_->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    bool shown = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr) return;
      poll.stop();
      shown = true;
      EXPECT_TRUE(QTest::qWaitForWindowActive(modal));
      act(modal);
      if (modal->isVisible()) {
        ADD_FAILURE() << "the dialog stayed open";
        modal->close();
      }
    });
    poll.start(5);
    open();
    return shown;
  }

  void Choose(int command) {
    QAction* item = ItemFor(window_.get(), command);
    ASSERT_NE(item, nullptr) << command;
    item->trigger();
  }

  bool Run(int command, const std::function<void(QWidget*)>& act) {
    return WithModal([&] { Choose(command); }, act);
  }

  std::unique_ptr<QMainWindow> window_;
};

TEST_F(AppTest, MenuBarHasThePopupsAndItemsInOrder) {
  OpenWindow({"Cam A", "Cam B"});
  QStringList menus;
  for (QAction* popup : window_->menuBar()->actions()) {
    menus << popup->text() + ":";
    for (QAction* item : popup->menu()->actions()) {
      menus.back() += QString(" %1=%2").arg(item->text()).arg(item->data().toInt());
      // Every item, Detection settings too, looks like a command.
      EXPECT_TRUE(item->isEnabled() && !item->isSeparator()) << item->text().toStdString();
    }
  }
  EXPECT_EQ(menus, QStringList({"&File: E&xit=105", "&Cameras: Cam A=200 Cam B=201",
                                "&Options: Camera properties...=32774 Video properties...=32775 "
                                "Filter settings...=32805 Detection settings...=32808",
                                "&Run: Start=32771 Stop=32772 Pause=32776 Resume=32777 "
                                "Snapshot=32802",
                                "&Help: &About ...=104"}));
  EXPECT_EQ(window_->size(), QSize(340, 300));
}

TEST_F(AppTest, ChoosingACameraMovesTheCheckAndTheTitleUnlessCaptureRuns) {
  OpenWindow({"Cam A", "Cam B", "Cam C", std::string(80, 'x'), "Sky & Co"});
  QMenu* menu = CameraMenu(window_.get());
  EXPECT_EQ(CheckedPositions(menu), std::vector<int>{0});
  EXPECT_EQ(window_->windowTitle(), "Glintvane Cam A");
  Choose(202);
  EXPECT_EQ(gSession.selectedCamera, 2);
  EXPECT_EQ(CheckedPositions(menu), std::vector<int>{2});
  EXPECT_EQ(window_->windowTitle(), "Glintvane Cam C");
  // Choosing the selected camera reads its description again.
  gFakeLibrary.cameraNames[2] = "Cam C, renamed";
  Choose(202);
  EXPECT_EQ(CheckedPositions(menu), std::vector<int>{2});
  EXPECT_EQ(window_->windowTitle(), "Glintvane Cam C, renamed");
  // A description that fills the whole area is cut to fit it; an & is shown as written.
  EXPECT_EQ(menu->actions().at(3)->text(), QString(51, 'x'));
  EXPECT_EQ(menu->actions().at(4)->text(), "Sky && Co");
  Choose(204);
  EXPECT_EQ(window_->windowTitle(), "Glintvane Sky & Co");

  Choose(32771);
  EXPECT_TRUE(WithModal([this] { Choose(201); },
                        [this](QWidget* modal) {
                          auto* box = qobject_cast<QMessageBox*>(modal);
                          ASSERT_NE(box, nullptr);
                          EXPECT_EQ(box->parentWidget(), window_.get());
                          EXPECT_EQ(box->text(), "Camera is running!         ");
                          EXPECT_EQ(box->windowTitle(), "Glintvane");
                          EXPECT_EQ(box->icon(), QMessageBox::Warning);
                          EXPECT_EQ(box->buttons().size(), 1);
                          EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
                          box->close();
                        }));
  EXPECT_EQ(gSession.selectedCamera, 4);
  EXPECT_EQ(CheckedPositions(menu), std::vector<int>{4});
  EXPECT_EQ(window_->windowTitle(), "Glintvane Sky & Co");
}

TEST_F(AppTest, NoCamerasOrMoreThanTenAndInertCommands) {
  OpenWindow({});
  EXPECT_TRUE(CameraMenu(window_.get())->actions().isEmpty());
  EXPECT_EQ(window_->windowTitle(), "Glintvane");

  Strings names;
  for (int i = 0; i < 12; ++i) names.push_back("Camera " + std::to_string(i));
  OpenWindow(names);
  QMenu* menu = CameraMenu(window_.get());
  ASSERT_EQ(menu->actions().size(), 12);
  EXPECT_EQ(menu->actions().at(11)->text(), "Camera 11");
  Choose(209);
  // Cameras past the tenth, Detection settings, the placeholder and unknown numbers do nothing.
  EXPECT_FALSE(WithModal(
      [this] {
        for (int command : {32808, 210, 211}) Choose(command);
        for (int command : {32789, 212, 0, 199, 106}) DispatchCommand(window_.get(), command);
      },
      [](QWidget* modal) { modal->close(); }));
  EXPECT_TRUE(gFakeLibrary.calls.empty());
  EXPECT_EQ(gSession.selectedCamera, 9);
  EXPECT_EQ(CheckedPositions(menu), std::vector<int>{9});
  EXPECT_EQ(window_->windowTitle(), "Glintvane Camera 9");
  EXPECT_TRUE(window_->isVisible());
}

TEST_F(AppTest, CommandsReachTheSessionAndClosingOrExitStopsCapture) {
  OpenWindow({"A", "B", "C"});
  window_->close();  // nothing running, nothing to stop
  EXPECT_TRUE(gFakeLibrary.calls.empty());

  OpenWindow({"A", "B", "C"});
  for (int command : {202, 32771, 32776, 32777, 32774, 32775, 32802}) Choose(command);
  EXPECT_EQ(gSession.sessionCamera, 2);
  EXPECT_EQ(gSession.snapshotRequested, 1);
  window_->close();
  EXPECT_EQ(gFakeLibrary.calls,
            Strings({"format 2 640 480 20", "enable 2 1", "callback 2", "window 2", "init", "start",
                     "pause", "resume", "camera_pp 2", "video_pp 2", "stop", "exit"}));
  EXPECT_EQ(gSession.captureRunning, 0);
  EXPECT_FALSE(window_->isVisible());

  OpenWindow({"A"});
  Choose(32771);
  gFakeLibrary.calls.clear();
  Choose(105);
  EXPECT_EQ(gFakeLibrary.calls, Strings({"stop", "exit"}));
  EXPECT_EQ(gSession.captureRunning, 0);
  EXPECT_FALSE(window_->isVisible());
}

// The filter dialog's check boxes and edits in tab order.
const char* const kFilterControls[] = {"1014", "1015", "1016", "1017", "1011", "1012"};

// Each control's state: "on" or "off" for a check box, else its text.
QStringList Shown(QWidget* dialog) {
  QStringList values;
  for (const char* id : kFilterControls) {
    auto* box = dialog->findChild<QCheckBox*>(id);
    auto* edit = dialog->findChild<QLineEdit*>(id);
    values << (box ? (box->isChecked() ? "on" : "off") : edit ? edit->text() : "missing");
  }
  return values;
}

void Fill(QWidget* dialog, const QStringList& values) {
  for (int i = 0; i < values.size(); ++i) {
    if (auto* box = dialog->findChild<QCheckBox*>(kFilterControls[i])) {
      box->setChecked(values[i] == "on");
    } else if (auto* edit = dialog->findChild<QLineEdit*>(kFilterControls[i])) {
      edit->setText(values[i]);
    }
  }
  ASSERT_EQ(Shown(dialog), values);
}

void PressKey(QWidget* dialog, Qt::Key key) { QTest::keyClick(dialog->focusWidget(), key); }

void Focus(QWidget* dialog, const char* id) { dialog->findChild<QWidget*>(id)->setFocus(); }

std::vector<int> FilterSettings() {
  return {gFilter1.enabled, gFilter1.frameCount, gFilter1.periodMinutes,
          gFilter2.enabled, gFilter2.frameCount, gFilter2.periodMinutes};
}

TEST_F(AppTest, FilterDialogLoadsTheFiltersAndOkOrEnterSavesWhatItReads) {
  OpenWindow({"Cam A"});
  gFilter1.frameCount = 7;
  gFilter1.periodMinutes = 4;
  EXPECT_TRUE(Run(32805, [](QWidget* dialog) {
    EXPECT_EQ(dialog->windowTitle(), "Glintvane Filter Settings");
    EXPECT_EQ(Shown(dialog), QStringList({"on", "7", "4", "off", "3", "10"}));
    QStringList order = {dialog->focusWidget()->objectName()};
    for (int i = 0; i < 8; ++i) {
      PressKey(dialog, Qt::Key_Tab);
      order << dialog->focusWidget()->objectName();
    }
    EXPECT_EQ(order, QStringList(
                         {"1014", "1015", "1016", "1017", "1011", "1012", "1013", "1018", "1014"}));
    // Each edit's first four characters are read as a number; no number keeps the old value.
    Fill(dialog, {"off", "12abc", "abc", "on", "-5", "123456"});
    dialog->findChild<QPushButton*>("1013")->click();
  }));
  EXPECT_EQ(FilterSettings(), std::vector<int>({0, 12, 4, 1, -5, 1234}));

  EXPECT_TRUE(Run(32805, [](QWidget* dialog) {
    EXPECT_EQ(Shown(dialog), QStringList({"off", "12", "4", "on", "-5", "1234"}));
    Fill(dialog, {"off", " +8", "", "on", "-", "0"});
    Focus(dialog, "1012");
    PressKey(dialog, Qt::Key_Return);
  }));
  EXPECT_EQ(FilterSettings(), std::vector<int>({0, 8, 4, 1, -5, 0}));

  // Cancel, Escape, or Enter on Cancel change nothing.
  for (Qt::Key key : {Qt::Key_Space, Qt::Key_Escape, Qt::Key_Return}) {
    EXPECT_TRUE(Run(32805, [key](QWidget* dialog) {
      Fill(dialog, {"on", "1", "2", "off", "3", "4"});
      Focus(dialog, "1018");
      PressKey(dialog, key);
    }));
    EXPECT_EQ(FilterSettings(), std::vector<int>({0, 8, 4, 1, -5, 0})) << key;
  }
}

TEST_F(AppTest, AboutOpensFromItsItemOrAltQuestionMarkAndClosesOnOkEnterOrEscape) {
  OpenWindow({"Cam A"});
  const std::function<void(QWidget*)> closers[] = {
      [](QWidget* dialog) { dialog->findChild<QPushButton*>()->click(); },
      [](QWidget* dialog) { PressKey(dialog, Qt::Key_Return); },
      [](QWidget* dialog) { PressKey(dialog, Qt::Key_Escape); },
  };
  for (const auto& close : closers) {
    EXPECT_TRUE(Run(104, [&](QWidget* dialog) {
      EXPECT_EQ(dialog->parentWidget(), window_.get());
      EXPECT_EQ(dialog->findChild<QPushButton*>()->text(), "OK");
      close(dialog);
    }));
  }
  // On a US keyboard "?" is Shift+/, and the key press carries the Shift.
  for (QKeyCombination keys : {Qt::ALT | Qt::SHIFT | Qt::Key_Question, Qt::ALT | Qt::Key_Question,
                               Qt::ALT | Qt::Key_Slash, QKeyCombination(Qt::Key_Slash)}) {
    QString title;
    WithModal([&] { QTest::keyClick(window_.get(), keys.key(), keys.keyboardModifiers()); },
              [&](QWidget* dialog) {
                title = dialog->windowTitle();
                dialog->close();
              });
    EXPECT_EQ(title, keys.keyboardModifiers() ? "About" : "") << keys.toCombined();
  }
}

bool HasStack() {
  std::lock_guard lock(gSessionImagesLock);
  return !gFilter1.accumulator.empty();
}

// The real window on the real capture library, whose last camera is the simulated sky.
using EndToEndTest = ArchiveTest;

TEST_F(EndToEndTest, SnapshotOfTheSimulatedSky) {
  now_ = AtLocal(2008, 8, 1, 21, 29, 10);
  const std::unique_ptr<QMainWindow> window = CreateMainWindow();
  ASSERT_NE(window, nullptr);
  const QList<QAction*> cameras = CameraMenu(window.get())->actions();
  ASSERT_EQ(cameras.last()->text(), "Simulated sky");
  cameras.last()->trigger();
  ItemFor(window.get(), 32771)->trigger();
  const bool stacked = QTest::qWaitFor(HasStack, 5000);
  ItemFor(window.get(), 32802)->trigger();
  const bool snapped = QTest::qWaitFor([] { return gSession.snapshotRequested == 0; }, 5000);
  ItemFor(window.get(), 32772)->trigger();
  ASSERT_TRUE(stacked && snapped);
  EXPECT_EQ(gSession.captureRunning, 0);
  EXPECT_EQ(ArchivedFiles(), Strings{"2008/08/01/Cam" + std::to_string(cameras.size()) +
                                     "/Snap20080801_212910.jpg"});
}

}  // namespace
}  // namespace glintvane

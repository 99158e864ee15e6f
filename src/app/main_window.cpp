#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QKeySequence>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcut>
#include <opencv2/core/utility.hpp>

#include "app/camera_menu.h"
#include "app/dialogs/about_dialog.h"
#include "app/dialogs/filter_dialog.h"
#include "app/resources/resources.h"
#include "capture/session.h"
#include "capture/ui/live_video.h"
#include "capture/ui/property_pages.h"
#include "shared/session_state.h"

namespace glintvane {
namespace {

constexpr int kWindowWidth = 340;
constexpr int kWindowHeight = 300;
constexpr int kCaptureWidth = 640;
constexpr int kCaptureHeight = 480;
constexpr float kCaptureFrameRate = 20.0f;

void StopRunningCapture() {
  if (gSession.captureRunning) StopCapture();
}

// Qt reports a window closing only to the window itself: the close box, Alt+F4
// and the window manager all end up here.
class MainWindow : public QMainWindow {
 protected:
  void closeEvent(QCloseEvent* event) override {
    StopRunningCapture();
    QMainWindow::closeEvent(event);
  }
};

QIcon ProgramIcon() {
  QIcon icon;
  icon.addFile(ResourceIconPath(ICON_MAIN));
  icon.addFile(ResourceIconPath(ICON_SMALL));
  return icon;
}

void AddMenuBar(QMainWindow* window) {
  QMenuBar* bar = window->menuBar();
  bar->setObjectName(QString::number(MENU_MAIN));
  for (const MenuPopup& popup : kMainMenu) {
    QMenu* menu = bar->addMenu(popup.title);
    for (const MenuItem& item : popup.items) {
      AddCommandItem(window, menu, item.text, item.command);
    }
  }
}

// An accelerator names a character: the Shift some layouts need to type it
// (? on a US keyboard) must not stop it.
QList<QKeySequence> KeysWithAndWithoutShift(const char* keys) {
  const QKeyCombination plain = QKeySequence(keys)[0];
  const QKeyCombination shifted(plain.keyboardModifiers() | Qt::ShiftModifier, plain.key());
  return {QKeySequence(plain), QKeySequence(shifted)};
}

void AddAccelerators(QMainWindow* window) {
  for (const Accelerator& accelerator : kMainAccelerators) {
    auto* shortcut = new QShortcut(window);
    shortcut->setObjectName(QString::number(ACCEL_MAIN));
    shortcut->setKeys(KeysWithAndWithoutShift(accelerator.keys));
    const int command = accelerator.command;
    const auto dispatch = [window, command] { DispatchCommand(window, command); };
    QObject::connect(shortcut, &QShortcut::activated, window, dispatch);
    // Where the window system offers one key press as several sequences, more
    // than one may match: Qt calls that ambiguous, yet it is still this command.
    QObject::connect(shortcut, &QShortcut::activatedAmbiguously, window, dispatch);
  }
}

void ChooseCamera(QMainWindow* window, int camera) {
  if (gSession.captureRunning) {
    QMessageBox::warning(window, ResourceString(STR_APP_TITLE), kCameraRunningText);
    return;
  }
  SelectCamera(window, camera);
}

bool IsHandledCameraCommand(int command) {
  return command >= CMD_CAMERA_BASE && command < CMD_CAMERA_BASE + CMD_CAMERA_COUNT;
}

}  // namespace

int AppMain(int argc, char** argv) {
  // OpenCV's worker threads would spin between the small jobs of every frame; the frames are
  // small enough for the thread that has them.
  cv::setNumThreads(0);
  QApplication app(argc, argv);
  // On X11 the application name becomes the class part of WM_CLASS.
  QApplication::setApplicationName(ResourceString(STR_WINDOW_CLASS));
  QGuiApplication::setDesktopFileName("glintvane");
  QApplication::setWindowIcon(ProgramIcon());
  InstallPropertyPages();
  const std::unique_ptr<QMainWindow> window = CreateMainWindow();
  if (!window) return 0;
  QApplication::exec();
  return 0;
}

std::unique_ptr<QMainWindow> CreateMainWindow() {
  auto window = std::make_unique<MainWindow>();
  window->setWindowTitle(ResourceString(STR_APP_TITLE));
  window->resize(kWindowWidth, kWindowHeight);
  AddMenuBar(window.get());
  AddAccelerators(window.get());
  // winId() creates the native window; 0 means the window system refused it.
  if (window->winId() == 0) return nullptr;
  BuildCameraMenu(window.get());
  window->show();
  return window;
}

void DispatchCommand(QMainWindow* window, int command) {
  if (IsHandledCameraCommand(command)) {
    ChooseCamera(window, command - CMD_CAMERA_BASE);
    return;
  }
  switch (command) {
    case CMD_ABOUT:
      ShowAboutDialog(window);
      break;
    case CMD_EXIT:
      StopCapture();
      window->close();
      break;
    case CMD_START:
      StartCapture(LiveVideoWindow(window), gSession.selectedCamera, kCaptureWidth, kCaptureHeight,
                   kCaptureFrameRate);
      break;
    case CMD_STOP:
      StopCapture();
      break;
    case CMD_CAMERA_PROPERTIES:
      ShowCameraProperties(gSession.selectedCamera);
      break;
    case CMD_VIDEO_PROPERTIES:
      ShowVideoProperties(gSession.selectedCamera);
      break;
    case CMD_PAUSE:
      PauseCapture();
      break;
    case CMD_RESUME:
      ResumeCapture();
      break;
    case CMD_SNAPSHOT:
      gSession.snapshotRequested = 1;
      break;
    case CMD_FILTER_SETTINGS:
      ShowFilterDialog(window);
      break;
    default:  // the placeholder, cameras past the tenth, Detection settings
      break;
  }
}

QAction* AddCommandItem(QMainWindow* window, QMenu* menu, const QString& text, int command) {
  QAction* action = menu->addAction(text);
  action->setData(command);
  QObject::connect(action, &QAction::triggered, window, [window, action](bool checked) {
    // Check marks show the selected camera only: undo the toggle Qt makes on a click.
    if (action->isCheckable()) action->setChecked(!checked);
    DispatchCommand(window, action->data().toInt());
  });
  return action;
}

QMenu* CameraMenu(QMainWindow* window) {
  return window->menuBar()->actions().at(kCamerasPopup)->menu();
}

}  // namespace glintvane

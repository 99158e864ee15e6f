#include "capture_ui_test_support.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

#include "capture/cvcam.h"
#include "capture/cvcam_library.h"

namespace glintvane {

void Settle() {
  for (int round = 0; round < 5; ++round) QCoreApplication::processEvents();
}

QImage ScreenOf(QMainWindow& window) {
  return window.screen()
      ->grabWindow(window.winId())
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

bool ActOnModal(const std::function<void()>& showModal,
                const std::function<void(QDialog& dialog)>& act) {
  bool done = false;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    poll.stop();
    act(*dialog);
    if (dialog->isVisible()) dialog->reject();
    done = true;
  });
  poll.start();
  showModal();
  return done;
}

CameraTreeForTest::CameraTreeForTest() : tree(MakeFakeCameraTree()) {
  AddFakeNode(tree, "video0", "Night Cam", "capture");
  SetCameraTreeForTesting(tree.sysfs(), tree.dev(), FakeCapabilityQuery);
  simulated = cvcamGetCamerasCount() - 1;
}

CameraTreeForTest::~CameraTreeForTest() {
  cvcamExit();
  SetCameraTreeForTesting("/sys", "/dev", QueryDeviceCapability);
  RemoveFakeCameraTree(tree);
}

}  // namespace glintvane

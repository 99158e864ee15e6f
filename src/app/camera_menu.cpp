#include "app/camera_menu.h"

#include <QAction>
#include <QMenu>

#include "app/main_window.h"
#include "app/resources/resources.h"
#include "shared/session_state.h"

namespace glintvane {
namespace {

// Positions past the end are ignored, as with an empty menu.
void SetCheckAt(QMenu* menu, int position, bool checked) {
  const QList<QAction*> items = menu->actions();
  if (position >= 0 && position < items.size()) items.at(position)->setChecked(checked);
}

}  // namespace

void BuildCameraMenu(QMainWindow* window) {
  QMenu* menu = CameraMenu(window);
  const int count = Cvcam().getCamerasCount();
  if (!menu->actions().isEmpty()) delete menu->actions().first();
  for (int camera = 0; camera < count; ++camera) {
    char description[kDescriptionAreaSize];
    GetCameraDescription(camera, description);
    // A menu text takes & as a mnemonic marker; a camera's name means it literally.
    const QString text = QString::fromUtf8(description).replace('&', "&&");
    QAction* item = AddCommandItem(window, menu, text, CMD_CAMERA_BASE + camera);
    item->setCheckable(true);
  }
  gSession.selectedCamera = 0;
  SetCheckAt(menu, 0, true);
  UpdateTitle(window);
}

void SelectCamera(QMainWindow* window, int camera) {
  if (camera != gSession.selectedCamera) {
    QMenu* menu = CameraMenu(window);
    SetCheckAt(menu, gSession.selectedCamera, false);
    gSession.selectedCamera = camera;
    SetCheckAt(menu, camera, true);
  }
  UpdateTitle(window);
}

void UpdateTitle(QMainWindow* window) {
  char description[kDescriptionAreaSize];
  QString title = ResourceString(STR_APP_TITLE);
  if (GetCameraDescription(gSession.selectedCamera, description)) {
    title += ' ' + QString::fromUtf8(description);
  }
  window->setWindowTitle(title);
}

int GetCameraDescription(int camera, char (&area)[kDescriptionAreaSize]) {
  area[0] = '\0';
  if (camera < 0 || camera >= Cvcam().getCamerasCount()) return 0;
  Cvcam().getDescription(camera, area);
  // Whatever the library left there, the area ends as a string.
  area[kDescriptionAreaSize - 1] = '\0';
  return 1;
}

}  // namespace glintvane

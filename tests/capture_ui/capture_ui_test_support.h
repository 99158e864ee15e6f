#pragma once

#include <functional>

#include <QDialog>
#include <QImage>
#include <QMainWindow>

#include "fake_camera_tree.h"

namespace glintvane {

// Lets queued calls, repaints and paints happen.
void Settle();

// What the window shows on its screen, as painted through the event loop.
QImage ScreenOf(QMainWindow& window);

// Calls `showModal`, which shows a modal dialog; once it shows, calls `act` with it and closes
// it, unless `act` did. True when that happened.
bool ActOnModal(const std::function<void()>& showModal,
                const std::function<void(QDialog& dialog)>& act);

// A camera tree of one V4L2 node, "video0", then the simulated sky camera, for the library.
struct CameraTreeForTest {
  CameraTreeForTest();
  ~CameraTreeForTest();
  FakeCameraTree tree;
  int simulated = 1;
};

}  // namespace glintvane

#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <QMainWindow>
#include <QTimer>

#include "test_support.h"

namespace glintvane {

// The capture library's place is taken by a fake with cameras named by the test
// that records the session's calls in order.
struct FakeLibrary {
  std::vector<std::string> cameraNames, calls;
};
extern FakeLibrary gFakeLibrary;

std::vector<std::string> CameraNames(int count);

// Every test starts from the program's start-up state with the fake in place;
// OpenWindow creates the main window on whatever cameras the fake then has.
class AppTest : public ArchiveTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  void OpenWindow(std::vector<std::string> cameraNames);

  std::unique_ptr<QMainWindow> window_;
};

// The menu item sending `command`, or null.
QAction* ItemFor(QMainWindow* window, int command);
std::vector<int> CheckedPositions(QMenu* menu);

// Calls `act` with the first modal widget shown while the returned timer lives.
// A dialog `act` leaves open is closed after two seconds, failing the test.
std::unique_ptr<QTimer> WhenModalShown(std::function<void(QWidget*)> act);

}  // namespace glintvane

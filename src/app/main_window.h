#pragma once

#include <memory>

#include <QMainWindow>
#include <QMenu>
#include <QString>

#include "capture/cvcam.h"

namespace glintvane {

// The program: creates the application and its main window and runs the event
// loop. Returns the process exit code.
int AppMain(int argc, char** argv);

// The main window with its menu bar and accelerators and the Cameras menu
// built, shown. Null when the window system could not create the window.
std::unique_ptr<QMainWindow> CreateMainWindow();

// Carries out a menu or accelerator command; unknown numbers do nothing.
void DispatchCommand(QMainWindow* window, int command);

// Appends an item that sends `command` to DispatchCommand when chosen.
QAction* AddCommandItem(QMainWindow* window, QMenu* menu, const QString& text, int command);

QMenu* CameraMenu(QMainWindow* window);

}  // namespace glintvane

#pragma once

#include <QWidget>

namespace glintvane {

// The modal About box; returns when the user closes it.
void ShowAboutDialog(QWidget* owner);

}  // namespace glintvane

#pragma once

#include <Qt>

namespace glintvane {

// The program's dialogs have a caption with a system menu and a close box, and
// nothing to minimise, maximise or resize them with.
inline constexpr Qt::WindowFlags kDialogFrame = Qt::Dialog | Qt::CustomizeWindowHint |
                                                Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                                Qt::WindowCloseButtonHint;

}  // namespace glintvane

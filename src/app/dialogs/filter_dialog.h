#pragma once

#include <QWidget>

namespace glintvane {

// The modal filter settings dialog; on OK its values go straight into the two
// filters' settings, which the capture thread reads as they change.
void ShowFilterDialog(QWidget* owner);

}  // namespace glintvane

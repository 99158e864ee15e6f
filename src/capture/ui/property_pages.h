#pragma once

namespace glintvane {

// Installs the camera and the video property pages with the capture library. Each call opens
// the camera for itself, whether or not it is capturing, and shows the pages as a modal dialog
// over the active window.
void InstallPropertyPages();

}  // namespace glintvane

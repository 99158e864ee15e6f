#include "capture/ui/property_pages.h"

#include <cerrno>
#include <memory>
#include <optional>

#include <QApplication>
#include <QDialog>

#include "capture/cvcam.h"
#include "capture/cvcam_library.h"
#include "capture/ui/camera_pages.h"
#include "capture/ui/video_pages.h"

namespace glintvane {
namespace {

using PagesMaker = std::unique_ptr<QDialog> (*)(int camera, CameraDevice device, QWidget* parent);

void ShowModal(PagesMaker createPages, int camera) {
  std::optional<CameraEntry> entry = ListedCamera(camera);
  CameraDevice device =
      entry ? OpenCameraDevice(*entry, SimulatedCameraSettings()) : CameraDevice{{}, ENODEV};
  createPages(camera, std::move(device), QApplication::activeWindow())->exec();
}

}  // namespace

void InstallPropertyPages() {
  cvcamSetPropertyPages({[](int camera) { ShowModal(CreateCameraPages, camera); },
                         [](int camera) { ShowModal(CreateVideoPages, camera); }});
}

}  // namespace glintvane

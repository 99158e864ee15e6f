#include "capture/session.h"

#include <mutex>

#include "archive/archive.h"
#include "shared/session_state.h"
#include "stacking/stacking.h"

namespace glintvane {
namespace {

// The pages may change the video format: the next frame begins every image
// anew at the size then in force.
int ShowPropertyPages(int (*showPages)(int camera), int camera) {
  gSession.processingEnabled = 0;
  showPages(camera);
  ReleaseSessionImages();
  gSession.processingEnabled = 1;
  return 1;
}

}  // namespace

int StartCapture(const CameraWindow& window, int camera, int width, int height, float frameRate) {
  // Repeating the start sequence on a running library is undefined: refuse it.
  if (gSession.captureRunning) return 0;
  const CvcamCalls& cvcam = Cvcam();
  gSession.processingEnabled = 0;
  gSession.sessionCamera = camera;
  cvcam.getCamerasCount();
  cvcam.setVideoFormat(camera, VideoFormat{width, height, frameRate});
  cvcam.enable(camera, 1);
  cvcam.setCallback(camera, OnFrame);
  cvcam.setWindow(camera, window);
  if (!cvcam.init()) {
    cvcam.exit();
    return 0;
  }
  EnsureArchiveDirs(camera);
  cvcam.start();
  gSession.captureRunning = 1;
  gSession.processingEnabled = 1;
  return 1;
}

int StopCapture() {
  const CvcamCalls& cvcam = Cvcam();
  gSession.processingEnabled = 0;
  cvcam.stop();
  cvcam.exit();
  ReleaseSessionImages();
  gSession.captureRunning = 0;
  return 1;
}

int PauseCapture() {
  Cvcam().pause();
  return 1;
}

int ResumeCapture() {
  Cvcam().resume();
  return 1;
}

int ShowCameraProperties(int camera) { return ShowPropertyPages(Cvcam().showCameraPages, camera); }

int ShowVideoProperties(int camera) { return ShowPropertyPages(Cvcam().showVideoPages, camera); }

void ReleaseSessionImages() {
  std::lock_guard lock(gSessionImagesLock);
  DropSessionImages();
}

}  // namespace glintvane

#include "capture/cvcam.h"

#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <opencv2/core.hpp>

#include "capture/cvcam_library.h"
#include "capture/frame_source.h"

namespace glintvane {
namespace {

constexpr VideoFormat kDefaultFormat{640, 480, 20};

// What the next session of one camera uses.
struct CameraRequest {
  VideoFormat format = kDefaultFormat;
  std::optional<CaptureMode> chosenMode;  // chosen in the video pages: wins over `format`
  FrameHandler handler = nullptr;
  CameraWindow window;
};

// The open camera and, while it runs, its capture thread.
struct Session {
  int camera = -1;
  std::optional<FrameSource> source;
  std::thread thread;
  std::atomic<bool> stopRequested{false}, threadEnded{false};
  std::mutex deliveryMutex;         // held while a frame is delivered, so that pausing waits for it
  std::atomic<bool> paused{false};  // changed only under deliveryMutex
};

struct Library {
  std::mutex mutex;  // serialises the calls; the capture thread never takes it
  std::string sysfsRoot = "/sys", devRoot = "/dev";
  CapabilityQuery query = QueryDeviceCapability;
  std::optional<std::vector<CameraEntry>> cameras;  // listed once, then kept
  std::vector<CameraRequest> requests;              // one per camera
  int enabledCamera = -1;
  PropertyPages pages;
  Session session;
};

// Never destroyed, so that a capture thread still running at program exit finds it intact.
Library& TheLibrary() {
  static Library& library = *new Library;
  return library;
}

const std::vector<CameraEntry>& Cameras(Library& library) {
  if (!library.cameras) {
    library.cameras = EnumerateCameras(library.sysfsRoot, library.devRoot, library.query);
    library.requests.assign(library.cameras->size(), {});
  }
  return *library.cameras;
}

bool IsCamera(Library& library, int camera) {
  return camera >= 0 && camera < int(Cameras(library).size());
}

bool IsRunning(const Session& session) { return session.thread.joinable() && !session.threadEnded; }

void DeliverFrame(Session& session, const cv::Mat& upright, cv::Mat& flipped, FrameHandler handler,
                  const CameraWindow& window) {
  std::lock_guard lock(session.deliveryMutex);
  if (session.paused) return;
  if (window.showFrame) window.showFrame(upright);
  if (handler) {
    TurnBottomFirst(upright, flipped);
    handler(flipped);
  }
}

void CaptureLoop(Session& session, FrameHandler handler, CameraWindow window) {
  cv::Mat upright, flipped;
  while (!session.stopRequested) {
    ReadResult read = ReadFrame(*session.source, upright, !session.paused);
    if (read == ReadResult::kGone) break;  // unplugged: the session ends quietly
    if (read == ReadResult::kFrame) DeliverFrame(session, upright, flipped, handler, window);
  }
  if (window.clear) window.clear();
  session.threadEnded = true;
}

void StopSession(Session& session) {
  if (!session.thread.joinable()) return;
  session.stopRequested = true;
  session.thread.join();
  StopFrames(*session.source);
}

void EndSession(Session& session) {
  StopSession(session);
  if (session.source) CloseFrameSource(*session.source);
  session.source.reset();
  session.camera = -1;
}

// The user's choice first; when the device no longer takes it, the program's request.
std::optional<FrameSource> OpenRequested(Library& library, int camera) {
  const CameraRequest& request = library.requests[camera];
  const CameraEntry& entry = Cameras(library)[camera];
  if (request.chosenMode) {
    auto source = OpenFrameSourceInMode(entry, *request.chosenMode, SimulatedCameraSettings());
    if (source) return source;
  }
  return OpenFrameSource(entry, request.format, SimulatedCameraSettings());
}

bool LaunchCapture(Library& library, bool paused) {
  Session& session = library.session;
  if (!StartFrames(*session.source)) return false;
  session.stopRequested = false;
  session.threadEnded = false;
  session.paused = paused;
  const CameraRequest& request = library.requests[session.camera];
  session.thread = std::thread(CaptureLoop, std::ref(session), request.handler, request.window);
  return true;
}

// Reopens the session's camera in `mode`, or failing that in the mode it had, and carries on
// as it was: running or not, paused or not.
ModeChange SwitchSessionMode(Library& library, const CaptureMode& mode) {
  Session& session = library.session;
  bool wasRunning = IsRunning(session);
  bool wasPaused = session.paused;
  CaptureMode previous = FrameSourceMode(*session.source);
  StopSession(session);
  CloseFrameSource(*session.source);
  const CameraEntry& camera = Cameras(library)[session.camera];
  ModeChange change = ModeChange::kSwitched;
  session.source = OpenFrameSourceInMode(camera, mode, SimulatedCameraSettings());
  if (session.source) {
    library.requests[session.camera].chosenMode = mode;
  } else {
    change = ModeChange::kRefused;
    session.source = OpenFrameSourceInMode(camera, previous, SimulatedCameraSettings());
  }
  if (!session.source || (wasRunning && !LaunchCapture(library, wasPaused))) {
    EndSession(session);
    return ModeChange::kLost;
  }
  return change;
}

// Changes what the camera's next session uses; 0 for a camera not in the list.
int ChangeRequest(int camera, const std::function<void(CameraRequest&)>& change) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  if (!IsCamera(library, camera)) return 0;
  change(library.requests[camera]);
  return 1;
}

int SetPaused(bool paused) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  if (!IsRunning(library.session)) return 0;
  std::lock_guard delivery(library.session.deliveryMutex);
  library.session.paused = paused;
  return 1;
}

int ShowPages(int camera, std::function<void(int)> PropertyPages::*pages) {
  std::function<void(int)> show;
  {
    Library& library = TheLibrary();
    std::lock_guard lock(library.mutex);
    if (!IsCamera(library, camera)) return 0;
    show = library.pages.*pages;
  }
  if (!show) return 0;
  show(camera);  // modal: the pages may call the library themselves
  return 1;
}

CvcamCalls& CallsInForce() {
  static CvcamCalls calls = LibraryCvcamCalls();
  return calls;
}

}  // namespace

int cvcamGetCamerasCount() {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  return int(Cameras(library).size());
}

int cvcamGetDescription(int camera, char (&area)[kDescriptionAreaSize]) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  area[0] = '\0';
  if (!IsCamera(library, camera)) return 0;
  const std::string& description = Cameras(library)[camera].description;
  std::size_t length = std::min(description.size(), std::size_t(kDescriptionAreaSize - 1));
  std::memcpy(area, description.data(), length);
  area[length] = '\0';
  return 1;
}

int cvcamSetVideoFormat(int camera, const VideoFormat& format) {
  return ChangeRequest(camera, [&](CameraRequest& request) { request.format = format; });
}

int cvcamEnable(int camera, int enable) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  if (!IsCamera(library, camera)) {
    // Asking for a camera that is not there must not leave an earlier choice to be opened.
    if (enable) library.enabledCamera = -1;
    return 0;
  }
  if (enable) {
    library.enabledCamera = camera;
  } else if (library.enabledCamera == camera) {
    library.enabledCamera = -1;
  }
  return 1;
}

int cvcamSetCallback(int camera, FrameHandler handler) {
  return ChangeRequest(camera, [&](CameraRequest& request) { request.handler = handler; });
}

int cvcamSetWindow(int camera, const CameraWindow& window) {
  return ChangeRequest(camera, [&](CameraRequest& request) { request.window = window; });
}

int cvcamInit() {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  EndSession(library.session);  // a new init replaces whatever was open
  int camera = library.enabledCamera;
  if (!IsCamera(library, camera)) return 0;
  std::optional<FrameSource> source = OpenRequested(library, camera);
  if (!source) return 0;
  library.session.source = std::move(source);
  library.session.camera = camera;
  return 1;
}

int cvcamStart() {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  Session& session = library.session;
  if (!session.source) return 0;
  if (IsRunning(session)) return 1;
  StopSession(session);  // collects a thread that ended on its own
  return LaunchCapture(library, false);
}

int cvcamStop() {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  StopSession(library.session);
  return 1;
}

int cvcamPause() { return SetPaused(true); }

int cvcamResume() { return SetPaused(false); }

int cvcamExit() {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  EndSession(library.session);
  return 1;
}

int cvcamShowCameraPages(int camera) { return ShowPages(camera, &PropertyPages::showCameraPages); }

int cvcamShowVideoPages(int camera) { return ShowPages(camera, &PropertyPages::showVideoPages); }

void cvcamSetPropertyPages(const PropertyPages& pages) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  library.pages = pages;
}

const CvcamCalls& Cvcam() { return CallsInForce(); }

CvcamCalls LibraryCvcamCalls() {
  return {cvcamGetCamerasCount,
          cvcamGetDescription,
          cvcamSetVideoFormat,
          cvcamEnable,
          cvcamSetCallback,
          cvcamSetWindow,
          cvcamInit,
          cvcamStart,
          cvcamStop,
          cvcamPause,
          cvcamResume,
          cvcamExit,
          cvcamShowCameraPages,
          cvcamShowVideoPages};
}

void SetCvcamCallsForTesting(const CvcamCalls& calls) { CallsInForce() = calls; }

// A copy row by row costs less than half of cv::flip.
void TurnBottomFirst(const cv::Mat& upright, cv::Mat& flipped) {
  flipped.create(upright.size(), upright.type());
  const std::size_t rowBytes = upright.cols * upright.elemSize();
  for (int row = 0; row < upright.rows; ++row) {
    std::memcpy(flipped.ptr(upright.rows - 1 - row), upright.ptr(row), rowBytes);
  }
}

OpenCamera OpenedCamera() {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  const Session& session = library.session;
  if (session.camera < 0) return {};
  return {session.camera, Cameras(library)[session.camera].devicePath};
}

std::optional<CameraEntry> ListedCamera(int camera) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  if (!IsCamera(library, camera)) return std::nullopt;
  return Cameras(library)[camera];
}

ModeChange SetCaptureMode(int camera, const CaptureMode& mode) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  if (!IsCamera(library, camera)) return ModeChange::kNoCamera;
  if (library.session.camera == camera) return SwitchSessionMode(library, mode);
  library.requests[camera].chosenMode = mode;
  return ModeChange::kRemembered;
}

std::optional<CaptureMode> CaptureModeOf(int camera) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  if (!IsCamera(library, camera)) return std::nullopt;
  if (library.session.camera == camera) return FrameSourceMode(*library.session.source);
  return library.requests[camera].chosenMode;
}

SimulationSettings& SimulatedCameraSettings() {
  static SimulationSettings settings;
  return settings;
}

void SetCameraTreeForTesting(const std::string& sysfsRoot, const std::string& devRoot,
                             CapabilityQuery query) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  EndSession(library.session);
  library.sysfsRoot = sysfsRoot;
  library.devRoot = devRoot;
  library.query = query;
  library.cameras.reset();
  library.requests.clear();
  library.enabledCamera = -1;
}

}  // namespace glintvane

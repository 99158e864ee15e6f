#pragma once

#include <cstdint>
#include <functional>

#include <opencv2/core/mat.hpp>

namespace glintvane {

// Our camera capture library. Cameras are named by their index in its list:
// every V4L2 video-capture node in the order of its number, then the built-in
// simulated sky camera, always last. One session runs at a time; frames are
// delivered on a capture thread of the library's own.

struct VideoFormat {
  std::int32_t width;
  std::int32_t height;
  double frameRate;
};

// Receives every frame of a session on the capture thread: 8-bit, 3 channels,
// continuous, rows bottom-first. The frame is valid only during the call.
using FrameHandler = void (*)(const cv::Mat& frame);

// The window a session shows its frames in. Both calls come from the capture
// thread; either may be empty.
struct CameraWindow {
  std::function<void(const cv::Mat& uprightFrame)> showFrame;
  std::function<void()> clear;  // the session ended: nothing of it should stay on screen
};

// The property pages of a camera, shown by the Qt side of the library. Each
// call is modal and returns when the user closes the pages.
struct PropertyPages {
  std::function<void(int camera)> showCameraPages;
  std::function<void(int camera)> showVideoPages;
};

constexpr int kDescriptionAreaSize = 52;

int cvcamGetCamerasCount();
// "description": the camera's display name, NUL-terminated, cut to fit the area.
int cvcamGetDescription(int camera, char (&area)[kDescriptionAreaSize]);
// "set_video_format": the size and rate the camera is asked for at the next init.
int cvcamSetVideoFormat(int camera, const VideoFormat& format);
// "enable": the camera takes part in the next init and start.
int cvcamEnable(int camera, int enable);
// "callback": the frame handler of the next session.
int cvcamSetCallback(int camera, FrameHandler handler);
// "window": the library keeps its own copy of the record.
int cvcamSetWindow(int camera, const CameraWindow& window);
// Opens the enabled camera; non-zero when it is ready, 0 on failure.
int cvcamInit();
int cvcamStart();
// Returns only when no further frame will be delivered.
int cvcamStop();
int cvcamPause();
int cvcamResume();
// Ends the session and frees the device.
int cvcamExit();
// "camera_pp" and "video_pp": modal; return when the user closes the pages.
int cvcamShowCameraPages(int camera);
int cvcamShowVideoPages(int camera);

// Installed by the Qt side; until then the page calls return at once.
void cvcamSetPropertyPages(const PropertyPages& pages);

// The calls the capture session makes, as a table so that tests can put a
// recording fake in the library's place.
struct CvcamCalls {
  int (*getCamerasCount)();
  int (*getDescription)(int camera, char (&area)[kDescriptionAreaSize]);
  int (*setVideoFormat)(int camera, const VideoFormat& format);
  int (*enable)(int camera, int enable);
  int (*setCallback)(int camera, FrameHandler handler);
  int (*setWindow)(int camera, const CameraWindow& window);
  int (*init)();
  int (*start)();
  int (*stop)();
  int (*pause)();
  int (*resume)();
  int (*exit)();
  int (*showCameraPages)(int camera);
  int (*showVideoPages)(int camera);
};

// The table in force: the library's own calls unless a test replaced them.
const CvcamCalls& Cvcam();
CvcamCalls LibraryCvcamCalls();
void SetCvcamCallsForTesting(const CvcamCalls& calls);

}  // namespace glintvane

#pragma once

#include <atomic>
#include <mutex>

#include <opencv2/core/mat.hpp>

namespace glintvane {

// The program-wide capture state, shared by the user-interface thread and the
// capture thread. Flags are 0 or 1.
struct SessionState {
  std::atomic<int> selectedCamera{0}, sessionCamera{0}, captureRunning{0}, processingEnabled{0},
      snapshotRequested{0};
  cv::Mat outputImage;  // receives a flipped stack before it is written; empty until needed
};
extern SessionState gSession;

// Held by the frame handler for its whole call and by whoever releases the
// session's images, so that no frame ever touches an image being released.
extern std::mutex gSessionImagesLock;

}  // namespace glintvane

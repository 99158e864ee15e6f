#include "stacking/stacking.h"

#include <climits>
#include <mutex>

#include "archive/archive.h"
#include "shared/session_state.h"

namespace glintvane {

StackingFilter gFilter1{{1}, {1}, {2}, 0, 0, {}, {}};
StackingFilter gFilter2{{0}, {3}, {10}, 0, 0, {}, {}};

namespace {

void ResetFilter(StackingFilter& filter, int enabled, int frameCount, int periodMinutes) {
  filter.enabled = enabled;
  filter.frameCount = frameCount;
  filter.periodMinutes = periodMinutes;
  filter.frameCounter = 0;
  filter.targetMinute = 0;
  filter.accumulator.release();
  filter.stackBegan = {};
}

// Frames the merge can read safely: 8-bit, 3 channels, no row padding.
bool IsStackable(const cv::Mat& frame) {
  return !frame.empty() && frame.type() == CV_8UC3 && frame.isContinuous();
}

bool FitsFrame(const cv::Mat& image, const cv::Mat& frame) {
  return image.empty() || image.size() == frame.size();
}

bool SessionImagesFit(const cv::Mat& frame) {
  return FitsFrame(gSession.outputImage, frame) && FitsFrame(gFilter1.accumulator, frame) &&
         FitsFrame(gFilter2.accumulator, frame);
}

void BeginStack(StackingFilter& filter, const cv::Mat& frame) {
  frame.copyTo(filter.accumulator);
  filter.stackBegan = LatestLocalTime();
  filter.targetMinute = ComputeTargetMinute(filter.stackBegan.minute, filter.periodMinutes);
  filter.frameCounter = 0;
}

// One frame in every frameCount is merged. Counting on past the count (after
// the count was lowered) still merges; a count of 0 or less merges nothing.
void CountAndMerge(StackingFilter& filter, const cv::Mat& frame) {
  if (filter.frameCounter < INT_MAX) ++filter.frameCounter;
  const int frameCount = filter.frameCount;
  if (frameCount >= 1 && filter.frameCounter >= frameCount) {
    MergePeak(frame, filter.accumulator);
    filter.frameCounter = 0;
  }
}

// A stack ends at second 0 of its target minute, but never in the second it
// began: that would overwrite the finished picture with one-frame pictures of
// the same name.
bool PeriodEnded(const StackingFilter& filter) {
  const LocalTime now = LatestLocalTime();
  return filter.targetMinute == now.minute && now.second == 0 && !(now == filter.stackBegan);
}

void WritePeakPicture(StackingFilter& filter) {
  EnsureArchiveDirs(gSession.sessionCamera);
  WriteStack(filter.accumulator, BuildPeakName(filter.frameCount));
  filter.accumulator.release();
}

void RunFilter(StackingFilter& filter, const cv::Mat& frame) {
  if (filter.accumulator.empty()) {
    BeginStack(filter, frame);
  } else {
    CountAndMerge(filter, frame);
  }
  if (PeriodEnded(filter)) WritePeakPicture(filter);
}

// Without a filter-1 stack there is nothing to write: the request waits for
// the stack the next frame begins, unless filter 1 is off and none will come.
void ServeSnapshot() {
  if (gFilter1.accumulator.empty()) {
    if (!gFilter1.enabled) gSession.snapshotRequested = 0;
    return;
  }
  EnsureArchiveDirs(gSession.sessionCamera);
  WriteStack(gFilter1.accumulator, BuildSnapshotName());
  gSession.snapshotRequested = 0;
}

}  // namespace

void ResetProgramState() {
  std::lock_guard lock(gSessionImagesLock);
  ResetFilter(gFilter1, 1, 1, 2);
  ResetFilter(gFilter2, 0, 3, 10);
  gSession.selectedCamera = 0;
  gSession.sessionCamera = 0;
  gSession.captureRunning = 0;
  gSession.processingEnabled = 0;
  gSession.snapshotRequested = 0;
  gSession.outputImage.release();
}

void DropSessionImages() {
  gSession.outputImage.release();
  gFilter1.accumulator.release();
  gFilter2.accumulator.release();
}

void OnFrame(const cv::Mat& frame) {
  ReadLocalTime();
  std::lock_guard lock(gSessionImagesLock);
  if (!gSession.processingEnabled || !IsStackable(frame)) return;
  // A new frame size (the video format changed) starts new stacks.
  if (!SessionImagesFit(frame)) DropSessionImages();
  if (gSession.outputImage.empty()) gSession.outputImage.create(frame.size(), frame.type());
  if (gFilter1.enabled) RunFilter(gFilter1, frame);
  if (gFilter2.enabled) RunFilter(gFilter2, frame);
  if (gSession.snapshotRequested) ServeSnapshot();
}

int ComputeTargetMinute(int minute, int periodMinutes) {
  long long target = static_cast<long long>(minute) + periodMinutes;
  if (target % 2 != 0) target -= 1;
  // A true modulo keeps every even target inside the hour, so every stack ends.
  target %= 60;
  if (target < 0) target += 60;
  return static_cast<int>(target);
}

}  // namespace glintvane

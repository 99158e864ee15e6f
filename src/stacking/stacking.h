#pragma once

#include <atomic>

#include <opencv2/core/mat.hpp>

#include "shared/local_time.h"

namespace glintvane {

// One peak-hold filter: its settings, written by the filter settings dialog,
// and its run state, owned by the frame handler.
struct StackingFilter {
  std::atomic<int> enabled, frameCount, periodMinutes;  // settings
  int frameCounter = 0, targetMinute = 0;               // run state
  cv::Mat accumulator;                                  // empty: no stack
  LocalTime stackBegan{};                               // clock reading of the stack's first frame
};
extern StackingFilter gFilter1, gFilter2;

// Every setting and state back to its start-up value.
void ResetProgramState();

// Drops the output image and both stacks without writing anything; the caller
// holds gSessionImagesLock.
void DropSessionImages();

// The frame handler: runs both filters on one frame and serves snapshot requests.
void OnFrame(const cv::Mat& frame);

// Merges a frame into a stack: a pixel's three bytes are taken from the frame
// where its first byte is strictly greater than the stack's.
void MergePeak(const cv::Mat& frame, cv::Mat& accumulator);

// Minute of the hour at which a stack begun in minute `minute` is written.
int ComputeTargetMinute(int minute, int periodMinutes);

}  // namespace glintvane

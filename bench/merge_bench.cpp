#include <cstdint>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "stacking/merge_kernels.h"
#include "stacking/stacking.h"

namespace glintvane {
namespace {

constexpr int kFrameCount = 6;

// Dark noisy sky with a few bright trails and stars.
cv::Mat SkyFrame(int width, int height, cv::RNG& rng) {
  cv::Mat frame(height, width, CV_8UC3);
  rng.fill(frame, cv::RNG::UNIFORM, 10, 31);
  for (int i = 0; i < 4; ++i) {
    const cv::Point from(rng.uniform(0, width), rng.uniform(0, height));
    const cv::Point to(rng.uniform(0, width), rng.uniform(0, height));
    const cv::Scalar colour(rng.uniform(180, 256), rng.uniform(180, 256), rng.uniform(180, 256));
    cv::line(frame, from, to, colour, 2, cv::LINE_AA);
  }
  for (int i = 0; i < width * height / 5000; ++i) {
    const cv::Point at(rng.uniform(0, width), rng.uniform(0, height));
    cv::circle(frame, at, 1, cv::Scalar::all(rng.uniform(60, 256)), cv::FILLED);
  }
  return frame;
}

// Built once per size: making 4K frames takes longer than many merges.
const std::vector<cv::Mat>& SkyFrames(int width, int height) {
  static std::map<std::pair<int, int>, std::vector<cv::Mat>> cache;
  auto& frames = cache[{width, height}];
  if (frames.empty()) {
    cv::RNG rng(width * 7919 + height);
    for (int i = 0; i <= kFrameCount; ++i) frames.push_back(SkyFrame(width, height, rng));
  }
  return frames;
}

// Runs `merge(frame, stack)` over the frames in turn, the stack seeded from one more frame.
template <typename Merge>
void RunMerges(benchmark::State& state, int width, int height, Merge merge) {
  const std::vector<cv::Mat>& frames = SkyFrames(width, height);
  cv::Mat stack = frames[kFrameCount].clone();
  int next = 0;
  for (auto _ : state) {
    merge(frames[next], stack);
    benchmark::DoNotOptimize(stack.data);
    benchmark::ClobberMemory();
    next = (next + 1) % kFrameCount;
  }
  const std::int64_t pixels = std::int64_t{width} * height;
  state.SetItemsProcessed(state.iterations() * pixels);
  state.SetBytesProcessed(state.iterations() * pixels * 3);
}

void BM_MergeScalar(benchmark::State& state, int width, int height) {
  RunMerges(state, width, height, [](const cv::Mat& frame, cv::Mat& stack) {
    MergePeakScalar(frame.data, stack.data, static_cast<std::ptrdiff_t>(frame.total()));
  });
}

void BM_MergePeakDispatched(benchmark::State& state, int width, int height) {
  RunMerges(state, width, height,
            [](const cv::Mat& frame, cv::Mat& stack) { MergePeak(frame, stack); });
}

void BM_MergeOpenCv(benchmark::State& state, int width, int height) {
  cv::Mat frameFirst(height, width, CV_8UC1), stackFirst(height, width, CV_8UC1),
      mask(height, width, CV_8UC1);
  RunMerges(state, width, height, [&](const cv::Mat& frame, cv::Mat& stack) {
    cv::extractChannel(frame, frameFirst, 0);
    cv::extractChannel(stack, stackFirst, 0);
    cv::compare(frameFirst, stackFirst, mask, cv::CMP_GT);
    frame.copyTo(stack, mask);
  });
}

// The floor: one plain copy of the frame.
void BM_Memcpy(benchmark::State& state, int width, int height) {
  RunMerges(state, width, height, [](const cv::Mat& frame, cv::Mat& stack) {
    std::memcpy(stack.data, frame.data, frame.total() * frame.elemSize());
  });
}

BENCHMARK_CAPTURE(BM_MergeScalar, 640x480, 640, 480);
BENCHMARK_CAPTURE(BM_MergePeakDispatched, 640x480, 640, 480);
BENCHMARK_CAPTURE(BM_MergeOpenCv, 640x480, 640, 480);
BENCHMARK_CAPTURE(BM_Memcpy, 640x480, 640, 480);
BENCHMARK_CAPTURE(BM_MergeScalar, 3840x2160, 3840, 2160);
BENCHMARK_CAPTURE(BM_MergePeakDispatched, 3840x2160, 3840, 2160);
BENCHMARK_CAPTURE(BM_MergeOpenCv, 3840x2160, 3840, 2160);
BENCHMARK_CAPTURE(BM_Memcpy, 3840x2160, 3840, 2160);

}  // namespace
}  // namespace glintvane

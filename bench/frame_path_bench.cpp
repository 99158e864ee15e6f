#include <atomic>
#include <chrono>
#include <thread>

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>

#include "bench_support.h"
#include "capture/cvcam.h"
#include "capture/cvcam_library.h"
#include "capture/simulated_sky.h"
#include "shared/session_state.h"
#include "stacking/stacking.h"

namespace glintvane {
namespace {

// The capture thread's work per frame (the time per iteration), with the simulated camera as the
// frame source: making the frame (the camera's cost, not the program's) and the program's own work
// (turning it bottom-first, then both filters stacking it).

constexpr double kMicrosecondsPerSecond = 1e6;

// Both filters stack every frame.
void PrepareStacking() {
  StackWithoutWriting();
  gFilter2.enabled = 1;
  gSession.processingEnabled = 1;
}

void BM_FramePathGeneration(benchmark::State& state) {
  const cv::Size size(int(state.range(0)), int(state.range(1)));
  const double rate = double(state.range(2));
  SimulationSettings settings;
  SimulatedSky sky = CreateSimulatedSky(size, 1);
  cv::Mat upright;
  RenderSkyFrame(sky, settings, rate, upright);
  for (auto _ : state) {
    RenderSkyFrame(sky, settings, rate, upright);
    benchmark::DoNotOptimize(upright.data);
  }
}

void BM_FramePathOwnWork(benchmark::State& state) {
  const cv::Size size(int(state.range(0)), int(state.range(1)));
  const double rate = double(state.range(2));
  SimulationSettings settings;
  SimulatedSky sky = CreateSimulatedSky(size, 1);
  std::vector<cv::Mat> frames(8);
  for (cv::Mat& frame : frames) RenderSkyFrame(sky, settings, rate, frame);
  PrepareStacking();
  cv::Mat flipped;
  std::size_t next = 0;
  for (auto _ : state) {
    TurnBottomFirst(frames[next], flipped);
    OnFrame(flipped);
    next = (next + 1) % frames.size();
  }
  StopStacking();
}

// The real thing: a session of the simulated camera on its own capture thread,
// the process's CPU time measured over a few seconds of wall time. Without a
// frame handler the thread only makes frames; with one it does the whole path.
std::atomic<int> gFramesSeen{0};
void CountAndStack(const cv::Mat& frame) {
  ++gFramesSeen;
  OnFrame(frame);
}

void BM_FramePathSession(benchmark::State& state) {
  const VideoFormat format{int(state.range(0)), int(state.range(1)), double(state.range(2))};
  const bool stacking = state.range(3) != 0;
  const int camera = cvcamGetCamerasCount() - 1;
  PrepareStacking();
  cvcamSetVideoFormat(camera, format);
  cvcamEnable(camera, 1);
  cvcamSetCallback(camera, stacking ? CountAndStack : nullptr);
  cvcamSetWindow(camera, CameraWindow{});
  if (!cvcamInit()) state.SkipWithError("the simulated camera did not open");
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    cvcamStart();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // settle
    gFramesSeen = 0;
    const double cpuBefore = ProcessCpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(4));
    cpu += ProcessCpuSeconds() - cpuBefore;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    cvcamStop();
  }
  cvcamExit();
  StopStacking();
  state.counters["pct_core"] = cpu / wall * 100.0;
  state.counters["us_cpu_per_frame"] = cpu / wall / format.frameRate * kMicrosecondsPerSecond;
  if (stacking) state.counters["frames_stacked_per_s"] = gFramesSeen / wall;
}

void FrameSizesAndRates(benchmark::internal::Benchmark* bench) {
  bench->ArgNames({"width", "height", "fps"})
      ->Args({640, 480, 20})
      ->Args({1920, 1080, 30})
      ->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_FramePathGeneration)->Apply(FrameSizesAndRates);
BENCHMARK(BM_FramePathOwnWork)->Apply(FrameSizesAndRates);
BENCHMARK(BM_FramePathSession)
    ->ArgNames({"width", "height", "fps", "stacking"})
    ->Args({640, 480, 20, 0})
    ->Args({640, 480, 20, 1})
    ->Args({1920, 1080, 30, 0})
    ->Args({1920, 1080, 30, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace glintvane

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>

#include "capture/simulated_sky.h"

namespace glintvane {
namespace {

constexpr double kFrameRate = 20;

// The simulated camera's cost of making one frame, to set beside the stacking's cost per frame.
// The second argument is the meteor rate per minute: a busy sky draws a streak in most frames.
void BM_SimulatedSkyFrame(benchmark::State& state) {
  const cv::Size size(int(state.range(0)), int(state.range(1)));
  SimulationSettings settings;
  settings.meteorsPerMinute = float(state.range(2));
  SimulatedSky sky = CreateSimulatedSky(size, 1);
  cv::Mat frame;
  RenderSkyFrame(sky, settings, kFrameRate, frame);  // the layers are made once, not per frame
  for (auto _ : state) {
    RenderSkyFrame(sky, settings, kFrameRate, frame);
    benchmark::DoNotOptimize(frame.data);
  }
  state.counters["time_per_frame"] = benchmark::Counter(
      double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["pixels_per_second"] =
      benchmark::Counter(double(state.iterations()) * size.area(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SimulatedSkyFrame)
    ->ArgNames({"width", "height", "meteors_per_minute"})
    ->Args({640, 480, 4})
    ->Args({640, 480, 1200})
    ->Args({1920, 1080, 4})
    ->Args({1920, 1080, 1200})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace glintvane

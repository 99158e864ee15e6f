#include <benchmark/benchmark.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QMenuBar>
#include <QTimer>
#include <opencv2/core.hpp>

#include "bench_support.h"
#include "capture/cvcam.h"
#include "capture/session.h"
#include "capture/ui/live_video.h"

namespace glintvane {
namespace {

// A dark, noisy frame with a few bright points, like the night sky.
cv::Mat SkyLikeFrame(cv::Size size) {
  cv::Mat frame(size, CV_8UC3);
  cv::randn(frame, cv::Scalar::all(17), cv::Scalar::all(3));
  cv::RNG random(1);
  for (int i = 0; i < 300; ++i) {
    frame.at<cv::Vec3b>(random.uniform(0, size.height), random.uniform(0, size.width)) = {220, 230,
                                                                                          225};
  }
  return frame;
}

// The main window as the program has it: a menu bar above the video area.
struct PreviewWindow {
  explicit PreviewWindow(QSize windowSize) {
    window.menuBar()->addMenu("File");
    window.menuBar()->addMenu("Capture");
    video = LiveVideoWindow(&window);
    window.resize(windowSize);
    window.show();
    QCoreApplication::processEvents();
  }
  QMainWindow window;
  CameraWindow video;
};

void CountPerFrame(benchmark::State& state) {
  state.counters["time_per_frame"] = benchmark::Counter(
      double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The capture thread's part: copying the frame into the slot. Once a repaint is on its way no
// other is asked for, which is the steady state while the screen keeps up or lags behind.
void BM_CopyIntoSlot(benchmark::State& state) {
  PreviewWindow preview({340, 300});
  cv::Mat frame = SkyLikeFrame({int(state.range(0)), int(state.range(1))});
  preview.video.showFrame(frame);  // the slot's memory is made once
  for (auto _ : state) preview.video.showFrame(frame);
  CountPerFrame(state);
}
BENCHMARK(BM_CopyIntoSlot)
    ->ArgNames({"width", "height"})
    ->Args({640, 480})
    ->Args({1920, 1080})
    ->UseRealTime();

// The GUI thread's part: taking a new frame from the slot and painting it scaled into the video
// area of a window of the given size, its menu bar taken off.
void BM_PaintScaledFrame(benchmark::State& state) {
  PreviewWindow preview({int(state.range(2)), int(state.range(3))});
  cv::Mat frame = SkyLikeFrame({int(state.range(0)), int(state.range(1))});
  QWidget* area = preview.window.centralWidget();
  preview.video.showFrame(frame);
  area->repaint();  // the memory for the scaled frame is made once
  for (auto _ : state) {
    state.PauseTiming();
    preview.video.showFrame(frame);
    state.ResumeTiming();
    area->repaint();
  }
  state.SetLabel(QStringLiteral("area %1x%2").arg(area->width()).arg(area->height()).toStdString());
  CountPerFrame(state);
}
BENCHMARK(BM_PaintScaledFrame)
    ->ArgNames({"width", "height", "window_width", "window_height"})
    ->Args({640, 480, 340, 300})
    ->Args({1920, 1080, 340, 300})
    ->Args({640, 480, 1280, 960})
    ->Args({1920, 1080, 1280, 960})
    ->UseRealTime();  // Qt may hand parts of a paint to threads of its own

// The whole frame path as the program runs it: a session of the simulated
// camera started into the main window, so that the capture thread makes,
// stacks and hands on every frame and the GUI thread paints it. The process's
// CPU time over a few seconds is the cost, as a share of one core.
void BM_SessionWithLiveVideo(benchmark::State& state) {
  StackWithoutWriting();
  PreviewWindow preview({340, 300});
  const int camera = cvcamGetCamerasCount() - 1;
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    StartCapture(preview.video, camera, int(state.range(0)), int(state.range(1)),
                 float(state.range(2)));
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = ProcessCpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(4000, &loop, &QEventLoop::quit);
    loop.exec();
    cpu += ProcessCpuSeconds() - cpuBefore;
    wall += clock.elapsed() / 1000.0;
    StopCapture();
  }
  StopStacking();
  state.counters["pct_core"] = cpu / wall * 100.0;
}
BENCHMARK(BM_SessionWithLiveVideo)
    ->ArgNames({"width", "height", "fps"})
    ->Args({640, 480, 20})
    ->Args({1920, 1080, 30})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace glintvane

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QLoggingCategory::setFilterRules("default.warning=false");  // the offscreen platform's chatter
  cv::setNumThreads(0);                                       // as the program runs
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

#include "capture/v4l2_modes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <tuple>

#include "capture/frame_conversion.h"

namespace glintvane {
namespace {

int NearestOnSteps(int wanted, int min, int max, int step) {
  step = std::max(step, 1);
  int clamped = std::clamp(wanted, min, std::max(min, max));
  int snapped = min + static_cast<int>(std::lround(double(clamped - min) / step)) * step;
  return snapped > max ? snapped - step : snapped;
}

cv::Size NearestInRange(const FrameSizeRange& range, cv::Size wanted) {
  return {NearestOnSteps(wanted.width, range.min.width, range.max.width, range.step.width),
          NearestOnSteps(wanted.height, range.min.height, range.max.height, range.step.height)};
}

int SizeMiss(cv::Size size, cv::Size wanted) {
  return std::abs(size.width - wanted.width) + std::abs(size.height - wanted.height);
}

double Seconds(const v4l2_fract& interval) {
  return interval.denominator == 0 ? 0.0 : double(interval.numerator) / interval.denominator;
}

v4l2_fract IntervalOfRate(double rate) {
  return {1000, static_cast<std::uint32_t>(std::lround(rate * 1000))};
}

v4l2_fract NearestInRange(const FrameIntervalRange& range, double wantedRate) {
  double wanted = 1.0 / wantedRate;
  if (wanted <= Seconds(range.min)) return range.min;
  if (wanted >= Seconds(range.max)) return range.max;
  return IntervalOfRate(wantedRate);
}

}  // namespace

double FrameRate(const v4l2_fract& interval) {
  return interval.numerator == 0 ? 0.0 : double(interval.denominator) / interval.numerator;
}

cv::Size NearestFrameSize(const std::vector<FrameSizeRange>& ranges, cv::Size wanted) {
  cv::Size best = NearestInRange(ranges.front(), wanted);
  for (const FrameSizeRange& range : ranges) {
    cv::Size candidate = NearestInRange(range, wanted);
    if (SizeMiss(candidate, wanted) < SizeMiss(best, wanted)) best = candidate;
  }
  return best;
}

v4l2_fract NearestFrameInterval(const std::vector<FrameIntervalRange>& ranges, double wantedRate) {
  v4l2_fract best = IntervalOfRate(wantedRate);
  double bestMiss = INFINITY;
  for (const FrameIntervalRange& range : ranges) {
    v4l2_fract candidate = NearestInRange(range, wantedRate);
    double miss = std::abs(FrameRate(candidate) - wantedRate);
    if (miss < bestMiss) {
      best = candidate;
      bestMiss = miss;
    }
  }
  return best;
}

CaptureMode ChooseCaptureMode(const std::vector<CaptureMode>& candidates,
                              const VideoFormat& wanted) {
  auto score = [&](const CaptureMode& mode) {
    double rateShortfall =
        mode.frameRate > 0 ? std::max(0.0, wanted.frameRate - mode.frameRate) : 0.0;
    return std::tuple(SizeMiss(mode.size, {wanted.width, wanted.height}), rateShortfall,
                      ConversionCost(mode.pixelFormat));
  };
  return *std::min_element(
      candidates.begin(), candidates.end(),
      [&](const CaptureMode& a, const CaptureMode& b) { return score(a) < score(b); });
}

}  // namespace glintvane

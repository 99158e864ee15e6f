#include "capture/simulated_sky.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <thread>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace glintvane {
namespace {

using Clock = std::chrono::steady_clock;

const cv::Size kFallbackSize{640, 480};
constexpr int kLargestSide = 8192;
constexpr double kFallbackRate = 20;
constexpr double kHighestRate = 1000;

constexpr double kDarkLevel = 17;    // mean of the empty sky
constexpr double kNoiseSigma = 2.5;  // keeps the empty sky within about 10 to 25
constexpr int kSheetMargin = 96;     // how far the noise sheet's copy offset ranges
constexpr int kMaxMeteors = 16;
constexpr int kTailSegments = 5;

// Independent random streams of one seed.
std::mt19937_64 RandomStream(std::uint64_t seed, std::uint32_t stream) {
  std::seed_seq sequence{std::uint32_t(seed), std::uint32_t(seed >> 32), stream};
  return std::mt19937_64(sequence);
}

float Uniform(std::mt19937_64& random, float low, float high) {
  return std::uniform_real_distribution<float>(low, high)(random);
}

int UniformInt(std::mt19937_64& random, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(random);
}

// Many faint stars and a few bright ones; the brightest get a little glow.
cv::Mat MakeStarField(cv::Size size, std::mt19937_64& random) {
  cv::Mat stars = cv::Mat::zeros(size, CV_8UC3);
  cv::Mat glow = cv::Mat::zeros(size, CV_8UC3);
  int count = std::clamp(size.area() / 1000, 200, 800);
  for (int i = 0; i < count; ++i) {
    cv::Point at(UniformInt(random, 0, size.width - 1), UniformInt(random, 0, size.height - 1));
    float peak = 25 + 230 * std::pow(Uniform(random, 0, 1), 5.0f);
    cv::Vec3f color(peak * Uniform(random, 0.8f, 1), peak * Uniform(random, 0.85f, 1),
                    peak * Uniform(random, 0.8f, 1));
    stars.at<cv::Vec3b>(at) = color;
    if (peak > 140) {
      cv::circle(glow, at, UniformInt(random, 2, 3), cv::Scalar(color * 0.5f), cv::FILLED);
    }
  }
  cv::GaussianBlur(glow, glow, cv::Size(0, 0), 1.2);
  cv::max(stars, glow, stars);
  return stars;
}

void MakeLayers(SimulatedSky& sky, float gain, float noiseLevel) {
  sky.stars.convertTo(sky.gainedStars, -1, gain);
  sky.noiseSheet.create(sky.size.height + kSheetMargin, sky.size.width + kSheetMargin, CV_8UC3);
  cv::RNG sheetRandom(sky.seed ^ 0x5EEDULL);
  sheetRandom.fill(sky.noiseSheet, cv::RNG::NORMAL, cv::Scalar::all(kDarkLevel * gain),
                   cv::Scalar::all(kNoiseSigma * noiseLevel * gain));
  sky.layersGain = gain;
  sky.layersNoise = noiseLevel;
}

Meteor NewMeteor(cv::Size size, std::mt19937_64& random) {
  float diagonal = std::hypot(float(size.width), float(size.height));
  float angle = Uniform(random, 0, 2 * std::numbers::pi_v<float>);
  Meteor meteor;
  meteor.start = {Uniform(random, 0, size.width), Uniform(random, 0, size.height)};
  meteor.direction = {std::cos(angle), std::sin(angle)};
  meteor.speed = diagonal * Uniform(random, 0.015f, 0.05f);
  meteor.tailLength = meteor.speed * Uniform(random, 1.5f, 3.5f);
  meteor.thickness = UniformInt(random, 2, 4);
  meteor.peak = Uniform(random, 170, 255);
  meteor.age = 0;
  meteor.lifetime = UniformInt(random, 3, 8);
  return meteor;
}

void SpawnMeteors(SimulatedSky& sky, float meteorsPerMinute, double frameRate) {
  double perFrame = meteorsPerMinute / 60.0 / frameRate;
  if (!(perFrame > 0)) return;
  int count = std::poisson_distribution<int>(perFrame)(sky.meteorRandom);
  for (int i = 0; i < count && int(sky.meteors.size()) < kMaxMeteors; ++i) {
    sky.meteors.push_back(NewMeteor(sky.size, sky.meteorRandom));
  }
}

// A bright head and a tail fading towards where the meteor came from; the whole streak
// brightens and fades over the meteor's life.
void DrawMeteor(const Meteor& meteor, float gain, cv::Mat& bgr) {
  float life = std::sin(std::numbers::pi_v<float> * (meteor.age + 1) / (meteor.lifetime + 1));
  float brightness = std::min(255.0f, meteor.peak * life * gain);
  cv::Point2f head = meteor.start + meteor.direction * (meteor.speed * meteor.age);
  float tail = std::min(meteor.tailLength, meteor.speed * (meteor.age + 1));
  cv::Point2f tailEnd = head - meteor.direction * tail;
  for (int k = 0; k < kTailSegments; ++k) {
    cv::Point2f from = tailEnd + (head - tailEnd) * (float(k) / kTailSegments);
    cv::Point2f to = tailEnd + (head - tailEnd) * (float(k + 1) / kTailSegments);
    double level = brightness * (k + 1) / kTailSegments;
    cv::line(bgr, from, to, cv::Scalar(0.9 * level, level, 0.95 * level), meteor.thickness,
             cv::LINE_AA);
  }
  cv::circle(bgr, head, meteor.thickness / 2 + 1, cv::Scalar::all(brightness), cv::FILLED,
             cv::LINE_AA);
}

void DrawAndAgeMeteors(SimulatedSky& sky, float gain, cv::Mat& bgr) {
  for (Meteor& meteor : sky.meteors) {
    DrawMeteor(meteor, gain, bgr);
    ++meteor.age;
  }
  std::erase_if(sky.meteors, [](const Meteor& m) { return m.age >= m.lifetime; });
}

}  // namespace

SimulatedSky CreateSimulatedSky(cv::Size size, std::uint64_t seed) {
  SimulatedSky sky;
  sky.size = size;
  sky.seed = seed;
  std::mt19937_64 starRandom = RandomStream(seed, 0);
  sky.noiseRandom = RandomStream(seed, 1);
  sky.meteorRandom = RandomStream(seed, 2);
  sky.stars = MakeStarField(size, starRandom);
  return sky;
}

void RenderSkyFrame(SimulatedSky& sky, const SimulationSettings& settings, double frameRate,
                    cv::Mat& bgr) {
  float gain = std::max(0.0f, settings.gain.load(std::memory_order_relaxed));
  float noiseLevel = std::max(0.0f, settings.noiseLevel.load(std::memory_order_relaxed));
  if (gain != sky.layersGain || noiseLevel != sky.layersNoise) MakeLayers(sky, gain, noiseLevel);
  SpawnMeteors(sky, settings.meteorsPerMinute.load(std::memory_order_relaxed), frameRate);

  cv::Point offset(UniformInt(sky.noiseRandom, 0, kSheetMargin),
                   UniformInt(sky.noiseRandom, 0, kSheetMargin));
  bgr.create(sky.size, CV_8UC3);
  cv::add(sky.noiseSheet(cv::Rect(offset, sky.size)), sky.gainedStars, bgr);
  DrawAndAgeMeteors(sky, gain, bgr);
}

cv::Size SimulatedFrameSize(const VideoFormat& wanted) {
  auto sensible = [](int side) { return side >= 1 && side <= kLargestSide; };
  if (!sensible(wanted.width) || !sensible(wanted.height)) return kFallbackSize;
  return {wanted.width, wanted.height};
}

double SimulatedFrameRate(const VideoFormat& wanted) {
  return wanted.frameRate > 0 && wanted.frameRate <= kHighestRate ? wanted.frameRate
                                                                  : kFallbackRate;
}

SimulatedCamera OpenSimulatedCamera(const VideoFormat& wanted, const SimulationSettings& settings) {
  double rate = SimulatedFrameRate(wanted);
  return {CreateSimulatedSky(SimulatedFrameSize(wanted), settings.seed.load()), &settings, rate,
          std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate)),
          Clock::now()};
}

void StartSimulatedFrames(SimulatedCamera& camera) { camera.nextFrame = Clock::now(); }

bool ReadSimulatedFrame(SimulatedCamera& camera, cv::Mat& bgr, bool render,
                        std::chrono::milliseconds longestWait) {
  Clock::time_point now = Clock::now();
  if (now < camera.nextFrame) {
    std::this_thread::sleep_until(std::min(camera.nextFrame, now + longestWait));
    now = Clock::now();
    if (now < camera.nextFrame) return false;
  }
  // Keeps to the schedule; when more than a frame behind (after a slow frame or a pause
  // without frames), starts a new one rather than catching up in a burst.
  camera.nextFrame += camera.period;
  if (camera.nextFrame <= now) camera.nextFrame = now + camera.period;
  if (render) RenderSkyFrame(camera.sky, *camera.settings, camera.frameRate, bgr);
  return true;
}

}  // namespace glintvane

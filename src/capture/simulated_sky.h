#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

#include <opencv2/core/mat.hpp>

#include "capture/cvcam.h"

namespace glintvane {

// The simulated camera's knobs. Frames read them as they are made, so any thread may change
// them at any time.
struct SimulationSettings {
  std::atomic<std::uint64_t> seed{1};   // taken when the camera opens
  std::atomic<float> gain{1.0f};        // multiplies all light and noise
  std::atomic<float> noiseLevel{1.0f};  // scales the sensor noise about the dark level
  std::atomic<float> meteorsPerMinute{4.0f};
};

struct Meteor {
  cv::Point2f start, direction;  // direction: a unit vector
  float speed;                   // pixels per frame
  float tailLength;              // pixels
  int thickness;                 // pixels
  float peak;                    // brightness in the middle of its life
  int age, lifetime;             // frames
};

// The sky the simulated camera looks at.
struct SimulatedSky {
  cv::Size size;
  std::uint64_t seed;
  // Separate streams, so that the meteor rate leaves the noise of every frame alone.
  std::mt19937_64 noiseRandom, meteorRandom;
  cv::Mat stars;  // the fixed star field at gain 1
  // The layers a frame is made of, remade only when gain or noise level change: the stars at
  // the current gain, and a noisy dark sheet larger than a frame, copied from a random offset.
  cv::Mat gainedStars, noiseSheet;
  float layersGain = -1, layersNoise = -1;
  std::vector<Meteor> meteors;
};

// The simulated camera: the sky paced by a steady clock.
struct SimulatedCamera {
  SimulatedSky sky;
  const SimulationSettings* settings;
  double frameRate;
  std::chrono::steady_clock::duration period;
  std::chrono::steady_clock::time_point nextFrame;
};

SimulatedSky CreateSimulatedSky(cv::Size size, std::uint64_t seed);

// Makes the next frame of a camera running at `frameRate` in `bgr` (8-bit 3-channel BGR of the
// sky's size, its memory reused).
void RenderSkyFrame(SimulatedSky& sky, const SimulationSettings& settings, double frameRate,
                    cv::Mat& bgr);

// The requested size, or 640x480 when it makes no sense.
cv::Size SimulatedFrameSize(const VideoFormat& wanted);
// The requested rate, or 20 when it makes no sense.
double SimulatedFrameRate(const VideoFormat& wanted);

SimulatedCamera OpenSimulatedCamera(const VideoFormat& wanted, const SimulationSettings& settings);

// The first frame is due at once.
void StartSimulatedFrames(SimulatedCamera& camera);

// Waits for the next frame time, but no longer than `longestWait`. True when a frame was due;
// it is made in `bgr` only when `render`.
bool ReadSimulatedFrame(SimulatedCamera& camera, cv::Mat& bgr, bool render,
                        std::chrono::milliseconds longestWait);

}  // namespace glintvane

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include "stacking/merge_kernels.h"
#include "stacking/stacking.h"

namespace glintvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Pixel {
  std::uint8_t b0, b1, b2;
};

void PutPixel(Bytes& bytes, std::ptrdiff_t index, Pixel p) {
  bytes[3 * index] = p.b0;
  bytes[3 * index + 1] = p.b1;
  bytes[3 * index + 2] = p.b2;
}

// Straightforward statement of the rule, pixel by pixel, to check the kernels against.
Bytes ReferenceMerge(const Bytes& frame, Bytes stack) {
  for (std::size_t at = 0; at + 2 < stack.size(); at += 3) {
    if (frame[at] > stack[at]) {
      for (int b = 0; b < 3; ++b) stack[at + b] = frame[at + b];
    }
  }
  return stack;
}

Bytes RandomBytes(std::size_t count, std::mt19937& rng, int low, int high) {
  std::uniform_int_distribution<int> value(low, high);
  Bytes bytes(count);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(value(rng));
  return bytes;
}

struct KernelCase {
  const char* name;
  MergeKernel kernel;
  bool (*available)();
};

bool Always() { return true; }

class MergeKernelTest : public testing::TestWithParam<KernelCase> {
 protected:
  void SetUp() override {
    if (!GetParam().available()) GTEST_SKIP() << GetParam().name << " not supported by this CPU";
  }
  void Merge(const std::uint8_t* frame, std::uint8_t* stack, std::ptrdiff_t pixels) const {
    GetParam().kernel(frame, stack, pixels);
  }
};

// Counts below, at and above every block width, so each tail length gets exercised.
// Exactly sized buffers let the address-sanitizer build catch a read or write past the end.
TEST_P(MergeKernelTest, MatchesReferenceOnRandomData) {
  const std::ptrdiff_t counts[] = {0,  1,  2,  15, 16, 17, 31,  32,  33,   47,  48,
                                   63, 64, 65, 95, 96, 97, 127, 129, 1001, 4099};
  // Full range, then values packed around 127/128 where a signed compare would go wrong
  // and ties are frequent.
  const std::pair<int, int> ranges[] = {{0, 255}, {125, 130}};
  std::mt19937 rng(1234);
  for (const auto& [low, high] : ranges) {
    for (const std::ptrdiff_t pixels : counts) {
      SCOPED_TRACE("pixels " + std::to_string(pixels) + ", values " + std::to_string(low) + ".." +
                   std::to_string(high));
      const Bytes frame = RandomBytes(3 * pixels, rng, low, high);
      Bytes stack = RandomBytes(3 * pixels, rng, low, high);
      const Bytes expected = ReferenceMerge(frame, stack);
      Merge(frame.data(), stack.data(), pixels);
      EXPECT_EQ(stack, expected);
    }
  }
}

// A settled stack changes rarely; a single winner must be found in every position of a
// block, including pixels split across two vectors.
TEST_P(MergeKernelTest, FindsALoneBrighterPixelAnywhere) {
  constexpr std::ptrdiff_t kPixels = 32 * 3 + 1;
  for (std::ptrdiff_t lone = 0; lone < kPixels; ++lone) {
    SCOPED_TRACE("pixel " + std::to_string(lone));
    Bytes frame(3 * kPixels, 50), stack(3 * kPixels, 100);
    PutPixel(frame, lone, {101, 1, 2});
    Bytes expected = stack;
    PutPixel(expected, lone, {101, 1, 2});
    Merge(frame.data(), stack.data(), kPixels);
    ASSERT_EQ(stack, expected);
  }
}

INSTANTIATE_TEST_SUITE_P(AllKernels, MergeKernelTest,
                         testing::Values(KernelCase{"Scalar", &MergePeakScalar, &Always},
                                         KernelCase{"Sse41", &MergePeakSse41, &CpuHasSse41},
                                         KernelCase{"Avx2", &MergePeakAvx2, &CpuHasAvx2}),
                         [](const testing::TestParamInfo<KernelCase>& info) {
                           return std::string(info.param.name);
                         });

cv::Mat RandomImage(int rows, int cols, int type, cv::RNG& rng) {
  cv::Mat image(rows, cols, type);
  rng.fill(image, cv::RNG::UNIFORM, 0, 256);
  return image;
}

TEST(MergePeak, MergesMatchingImagesWithTheFastestKernel) {
  if (CpuHasAvx2()) {
    EXPECT_EQ(SelectedMergeKernel(), &MergePeakAvx2);
  } else if (CpuHasSse41()) {
    EXPECT_EQ(SelectedMergeKernel(), &MergePeakSse41);
  }
  cv::RNG rng(7);
  const cv::Mat frame = RandomImage(37, 53, CV_8UC3, rng);
  cv::Mat stack = RandomImage(37, 53, CV_8UC3, rng);
  const Bytes expected =
      ReferenceMerge(Bytes(frame.datastart, frame.dataend), Bytes(stack.datastart, stack.dataend));
  MergePeak(frame, stack);
  EXPECT_EQ(Bytes(stack.datastart, stack.dataend), expected);
}

// A frame that would win everywhere, so any merge at all shows.
TEST(MergePeak, RefusesImagesItCannotMergeSafely) {
  const cv::Mat white(16, 24, CV_8UC3, cv::Scalar::all(255));
  const cv::Mat wideWhite(16, 40, CV_8UC3, cv::Scalar::all(255));
  const cv::Mat unfit[] = {
      cv::Mat(16, 25, CV_8UC3, cv::Scalar::all(255)),  // another size
      cv::Mat(24, 16, CV_8UC3, cv::Scalar::all(255)),  // same pixel count, other shape
      cv::Mat(16, 24, CV_8UC4, cv::Scalar::all(255)),  // another type
      cv::Mat(),                                       // empty
      wideWhite(cv::Rect(8, 0, 24, 16)),               // a cropped view spills across rows
  };
  for (const cv::Mat& frame : unfit) {
    cv::Mat stack(16, 24, CV_8UC3, cv::Scalar::all(0));
    MergePeak(frame, stack);
    EXPECT_EQ(cv::countNonZero(stack.reshape(1)), 0);
  }
  cv::Mat wideStack(16, 40, CV_8UC3, cv::Scalar::all(0));
  cv::Mat croppedStack = wideStack(cv::Rect(8, 0, 24, 16));
  MergePeak(white, croppedStack);
  EXPECT_EQ(cv::countNonZero(wideStack.reshape(1)), 0);
}

}  // namespace
}  // namespace glintvane

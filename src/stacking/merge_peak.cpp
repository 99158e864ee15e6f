#include <immintrin.h>

#include <array>
#include <cstring>

#include <opencv2/core/mat.hpp>

#include "stacking/merge_kernels.h"
#include "stacking/stacking.h"

namespace glintvane {
namespace {

constexpr std::ptrdiff_t kPixelBytes = 3;

// 0xFF on each pixel's first byte across 32 pixels. Vector blocks start on a pixel
// boundary, so the k-th vector of a block uses the k-th slice of this table.
constexpr std::array<std::uint8_t, 96> MakeFirstByteTable() {
  std::array<std::uint8_t, 96> table{};
  for (std::size_t i = 0; i < table.size(); i += kPixelBytes) table[i] = 0xFF;
  return table;
}
alignas(32) constexpr std::array<std::uint8_t, 96> kFirstByteTable = MakeFirstByteTable();

// SSE4.1: blocks of 16 pixels, three 16-byte vectors.

__attribute__((target("sse4.1"))) inline __m128i Load16(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// 0xFF on the first bytes where the frame is greater, unsigned; zero elsewhere.
__attribute__((target("sse4.1"))) inline __m128i GreaterFirstBytes(__m128i frame, __m128i stack,
                                                                   __m128i firstBytes) {
  const __m128i notGreater = _mm_cmpeq_epi8(_mm_subs_epu8(frame, stack), _mm_setzero_si128());
  return _mm_andnot_si128(notGreater, firstBytes);
}

// Widens each selected first byte over its pixel. A pixel may start in the last two
// bytes of the previous vector, hence the carry from `previous`.
__attribute__((target("sse4.1"))) inline __m128i SpreadOverPixels(__m128i selected,
                                                                  __m128i previous) {
  const __m128i byOne = _mm_alignr_epi8(selected, previous, 15);
  const __m128i byTwo = _mm_alignr_epi8(selected, previous, 14);
  return _mm_or_si128(selected, _mm_or_si128(byOne, byTwo));
}

__attribute__((target("sse4.1"))) void MergeBlock16(const std::uint8_t* frame, std::uint8_t* stack,
                                                    const __m128i (&firstBytes)[3]) {
  __m128i f[3], s[3], selected[3];
#pragma GCC unroll 3
  for (int k = 0; k < 3; ++k) {
    f[k] = Load16(frame + 16 * k);
    s[k] = Load16(stack + 16 * k);
    selected[k] = GreaterFirstBytes(f[k], s[k], firstBytes[k]);
  }
  // A settled stack rarely changes: skip the stores for an untouched block.
  const __m128i any = _mm_or_si128(selected[0], _mm_or_si128(selected[1], selected[2]));
  if (_mm_testz_si128(any, any)) return;
  __m128i previous = _mm_setzero_si128();
#pragma GCC unroll 3
  for (int k = 0; k < 3; ++k) {
    const __m128i take = SpreadOverPixels(selected[k], previous);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(stack + 16 * k), _mm_blendv_epi8(s[k], f[k], take));
    previous = selected[k];
  }
}

__attribute__((target("sse4.1"))) void MergeSse41(const std::uint8_t* frame, std::uint8_t* stack,
                                                  std::ptrdiff_t pixels) {
  constexpr std::ptrdiff_t kBlock = 16;
  const __m128i firstBytes[3] = {Load16(kFirstByteTable.data()),
                                 Load16(kFirstByteTable.data() + 16),
                                 Load16(kFirstByteTable.data() + 32)};
  std::ptrdiff_t done = 0;
  for (; done + kBlock <= pixels; done += kBlock) {
    MergeBlock16(frame + kPixelBytes * done, stack + kPixelBytes * done, firstBytes);
  }
  MergePeakScalar(frame + kPixelBytes * done, stack + kPixelBytes * done, pixels - done);
}

// AVX2: blocks of 32 pixels, three 32-byte vectors.

__attribute__((target("avx2"))) inline __m256i Load32(const std::uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

__attribute__((target("avx2"))) inline __m256i GreaterFirstBytes(__m256i frame, __m256i stack,
                                                                 __m256i firstBytes) {
  const __m256i notGreater =
      _mm256_cmpeq_epi8(_mm256_subs_epu8(frame, stack), _mm256_setzero_si256());
  return _mm256_andnot_si256(notGreater, firstBytes);
}

// As the SSE version; alignr works per 128-bit lane, so each lane is paired with the
// lane below it: previous's high lane under this one's low lane.
__attribute__((target("avx2"))) inline __m256i SpreadOverPixels(__m256i selected,
                                                                __m256i previous) {
  const __m256i below = _mm256_permute2x128_si256(selected, previous, 0x03);
  const __m256i byOne = _mm256_alignr_epi8(selected, below, 15);
  const __m256i byTwo = _mm256_alignr_epi8(selected, below, 14);
  return _mm256_or_si256(selected, _mm256_or_si256(byOne, byTwo));
}

__attribute__((target("avx2"))) void MergeBlock32(const std::uint8_t* frame, std::uint8_t* stack,
                                                  const __m256i (&firstBytes)[3]) {
  __m256i f[3], s[3], selected[3];
#pragma GCC unroll 3
  for (int k = 0; k < 3; ++k) {
    f[k] = Load32(frame + 32 * k);
    s[k] = Load32(stack + 32 * k);
    selected[k] = GreaterFirstBytes(f[k], s[k], firstBytes[k]);
  }
  const __m256i any = _mm256_or_si256(selected[0], _mm256_or_si256(selected[1], selected[2]));
  if (_mm256_testz_si256(any, any)) return;
  __m256i previous = _mm256_setzero_si256();
#pragma GCC unroll 3
  for (int k = 0; k < 3; ++k) {
    const __m256i take = SpreadOverPixels(selected[k], previous);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(stack + 32 * k),
                        _mm256_blendv_epi8(s[k], f[k], take));
    previous = selected[k];
  }
}

__attribute__((target("avx2"))) void MergeAvx2(const std::uint8_t* frame, std::uint8_t* stack,
                                               std::ptrdiff_t pixels) {
  constexpr std::ptrdiff_t kBlock = 32;
  const __m256i firstBytes[3] = {Load32(kFirstByteTable.data()),
                                 Load32(kFirstByteTable.data() + 32),
                                 Load32(kFirstByteTable.data() + 64)};
  std::ptrdiff_t done = 0;
  for (; done + kBlock <= pixels; done += kBlock) {
    MergeBlock32(frame + kPixelBytes * done, stack + kPixelBytes * done, firstBytes);
  }
  MergePeakScalar(frame + kPixelBytes * done, stack + kPixelBytes * done, pixels - done);
}

// Anything else would let the kernel run past one of the two buffers.
bool MergeableMats(const cv::Mat& frame, const cv::Mat& accumulator) {
  return frame.type() == CV_8UC3 && accumulator.type() == CV_8UC3 && frame.dims == 2 &&
         accumulator.dims == 2 && !frame.empty() && frame.size() == accumulator.size() &&
         frame.isContinuous() && accumulator.isContinuous();
}

}  // namespace

void MergePeakScalar(const std::uint8_t* frame, std::uint8_t* stack, std::ptrdiff_t pixels) {
  for (std::ptrdiff_t i = 0; i < pixels; ++i) {
    const std::ptrdiff_t at = kPixelBytes * i;
    if (frame[at] > stack[at]) std::memcpy(stack + at, frame + at, kPixelBytes);
  }
}

// Plain wrappers keep the declarations in the header free of target attributes.
void MergePeakSse41(const std::uint8_t* frame, std::uint8_t* stack, std::ptrdiff_t pixels) {
  MergeSse41(frame, stack, pixels);
}

void MergePeakAvx2(const std::uint8_t* frame, std::uint8_t* stack, std::ptrdiff_t pixels) {
  MergeAvx2(frame, stack, pixels);
}

bool CpuHasSse41() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("sse4.1");
}

bool CpuHasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

MergeKernel SelectedMergeKernel() {
  static const MergeKernel kernel = []() -> MergeKernel {
    if (CpuHasAvx2()) return &MergePeakAvx2;
    if (CpuHasSse41()) return &MergePeakSse41;
    return &MergePeakScalar;
  }();
  return kernel;
}

void MergePeak(const cv::Mat& frame, cv::Mat& accumulator) {
  if (!MergeableMats(frame, accumulator)) return;
  SelectedMergeKernel()(frame.ptr<std::uint8_t>(), accumulator.ptr<std::uint8_t>(),
                        static_cast<std::ptrdiff_t>(frame.total()));
}

}  // namespace glintvane

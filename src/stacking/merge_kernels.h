#pragma once

#include <cstddef>
#include <cstdint>

namespace glintvane {

// The peak-merge rule over `pixels` consecutive 3-byte pixels, one function per
// instruction set. All give identical results.
using MergeKernel = void (*)(const std::uint8_t* frame, std::uint8_t* stack, std::ptrdiff_t pixels);

void MergePeakScalar(const std::uint8_t* frame, std::uint8_t* stack, std::ptrdiff_t pixels);
void MergePeakSse41(const std::uint8_t* frame, std::uint8_t* stack, std::ptrdiff_t pixels);
void MergePeakAvx2(const std::uint8_t* frame, std::uint8_t* stack, std::ptrdiff_t pixels);

bool CpuHasSse41();
bool CpuHasAvx2();

// The fastest kernel this processor runs; chosen once.
MergeKernel SelectedMergeKernel();

}  // namespace glintvane

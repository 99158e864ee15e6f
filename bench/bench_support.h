#pragma once

#include <sys/resource.h>

#include <ctime>
#include <filesystem>

#include "archive/archive.h"
#include "shared/local_time.h"
#include "stacking/stacking.h"

namespace glintvane {

// CPU time the whole process has used so far, user and system, in seconds.
inline double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](timeval t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The program's start-up state with a clock fixed inside a period, so that no
// picture is due while measuring, and a scratch archive root.
inline void StackWithoutWriting() {
  ResetProgramState();
  SetArchiveRoot((std::filesystem::temp_directory_path() / "glintvane-bench").string());
  SetClockForTesting([] { return std::time_t(1217626150); });
}

inline void StopStacking() {
  ResetProgramState();
  SetClockForTesting({});
}

}  // namespace glintvane

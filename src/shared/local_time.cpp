#include "shared/local_time.h"

#include <mutex>

namespace glintvane {
namespace {

std::mutex gClockLock;
std::function<std::time_t()> gClock;
thread_local LocalTime tLatest{};

std::time_t Now() {
  std::lock_guard lock(gClockLock);
  return gClock ? gClock() : std::time(nullptr);
}

}  // namespace

LocalTime ReadLocalTime() {
  const std::time_t now = Now();
  std::tm parts{};
#ifdef _WIN32
  localtime_s(&parts, &now);
#else
  localtime_r(&now, &parts);
#endif
  tLatest = {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
             parts.tm_hour,        parts.tm_min,     parts.tm_sec};
  return tLatest;
}

LocalTime LatestLocalTime() { return tLatest; }

void SetClockForTesting(std::function<std::time_t()> clock) {
  std::lock_guard lock(gClockLock);
  gClock = std::move(clock);
}

}  // namespace glintvane

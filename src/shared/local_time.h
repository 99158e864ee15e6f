#pragma once

#include <ctime>
#include <functional>

namespace glintvane {

// Broken-down local wall-clock time: month 1 to 12, day of month 1 to 31.
struct LocalTime {
  int year, month, day, hour, minute, second;
  bool operator==(const LocalTime&) const = default;
};

// Reads the clock; the result also becomes this thread's latest reading.
LocalTime ReadLocalTime();
// This thread's latest reading (all zero before the first one).
LocalTime LatestLocalTime();
// Replaces the clock; an empty function brings back the system clock.
void SetClockForTesting(std::function<std::time_t()> clock);

}  // namespace glintvane

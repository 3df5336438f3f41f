// Where the simulated controllers get the time from. The library runs on
// the machine's monotonic clock, which every process of the machine reads
// alike (it counts from the start of the machine), so that two processes
// reading a controller at the same moment see it in the same place. Tests
// drive a clock of their own so that motion can be checked without waiting
// for it.
#pragma once

#include <chrono>

namespace kavr::sim {

class Clock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  virtual ~Clock() = default;
  virtual TimePoint Now() const = 0;
};

// CLOCK_MONOTONIC on POSIX systems, the tick count on Windows.
class MachineClock final : public Clock {
 public:
  TimePoint Now() const override;
};

// Signed seconds from `from` to `to`, in floating point: time points read
// from a file are checked, but the difference of two of them must not be
// able to overflow.
inline double SecondsBetween(Clock::TimePoint from, Clock::TimePoint to) {
  using Seconds = std::chrono::duration<double>;
  return Seconds(to.time_since_epoch()).count() - Seconds(from.time_since_epoch()).count();
}

}  // namespace kavr::sim

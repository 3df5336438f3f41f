// Where the simulated controllers get the time from. The library runs on the
// steady clock; tests drive a clock of their own so that motion can be
// checked without waiting for it.
#pragma once

#include <chrono>

namespace kavr::sim {

class Clock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  virtual ~Clock() = default;
  virtual TimePoint Now() const = 0;
};

class SteadyClock final : public Clock {
 public:
  TimePoint Now() const override { return std::chrono::steady_clock::now(); }
};

}  // namespace kavr::sim

// The positions the monitor has polled over the last half minute, for its
// plot: enough to see a start, a deceleration after a stop or a power-off.
//
// Shells: kavrtest (the monitor's plot).
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

namespace kavr {

struct PositionSample {
  std::chrono::steady_clock::time_point time;
  std::int32_t position = 0;
  bool powerOn = false;
  // Where the move under way should be by now, when one is predicted; and
  // whether this sample is where it was seen to leave the prediction.
  std::optional<std::int32_t> predicted;
  bool departed = false;
};

class PositionHistory {
 public:
  static constexpr std::chrono::seconds kSpan{30};

  // Samples come in time order. Older ones are dropped, but the newest of
  // those older than kSpan is kept, so the line enters at the plot's edge.
  void Add(const PositionSample& sample) {
    samples_.push_back(sample);
    while (samples_.size() > 2 && samples_[1].time < sample.time - kSpan) samples_.pop_front();
  }

  const std::deque<PositionSample>& Samples() const { return samples_; }

 private:
  std::deque<PositionSample> samples_;
};

}  // namespace kavr

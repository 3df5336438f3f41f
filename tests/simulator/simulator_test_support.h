// Shared pieces of the stand-in library's tests: a clock the test moves by
// hand, and a simulator built on it over controllers kept in memory, which
// keeps its warnings.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "contract/own_result_codes.h"
#include "portable.h"
#include "simulator/clock.h"
#include "simulator/live_state.h"
#include "simulator/sim_config.h"
#include "simulator/simulator.h"

namespace kavr::sim::testing {

class ManualClock final : public Clock {
 public:
  TimePoint Now() const override { return now_; }
  void Advance(double seconds) {
    now_ += std::chrono::duration_cast<TimePoint::duration>(std::chrono::duration<double>(seconds));
  }

 private:
  TimePoint now_ = TimePoint(std::chrono::hours(1));
};

using test_support::ScratchFolder;

// Collects warnings instead of printing them.
struct Warnings {
  WarningSink Sink() {
    return [this](const std::string& warning) { lines.push_back(warning); };
  }
  std::vector<std::string> lines;
};

inline SimulatorConfig Settings(int devices, std::filesystem::path flashDir = {}, FaultPlan faults = {}) {
  SimulatorConfig config;
  config.deviceCount = devices;
  config.flashDir = std::move(flashDir);
  config.faults = std::move(faults);
  return config;
}

struct SimulatorRig {
  explicit SimulatorRig(int devices, std::filesystem::path flashDir = {}, FaultPlan faults = {})
      : config(Settings(devices, std::move(flashDir), std::move(faults))),
        state(
            PowerCycle(config, clock.Now(), [this](const std::string& line) { warnings.push_back(line); })) {}

  ManualClock clock;
  std::vector<std::string> warnings;
  SimulatorConfig config;
  LiveState state;
  Simulator simulator{config, state, clock};
};

}  // namespace kavr::sim::testing

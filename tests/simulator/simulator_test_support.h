// Shared pieces of the stand-in library's tests: a clock the test moves by
// hand, a scratch folder that cleans up after itself, and a simulator built
// on both that keeps its warnings.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "simulator/clock.h"
#include "simulator/result_codes.h"
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

struct ScratchFolder {
  ScratchFolder() { std::filesystem::create_directories(path); }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("kavr-simulator-test-" + std::to_string(std::random_device()()) + "-" +
                                      std::to_string(std::random_device()()));
};

struct SimulatorRig {
  explicit SimulatorRig(int devices, std::filesystem::path flash_dir = {}, FaultPlan faults = {})
      : simulator({devices, std::move(flash_dir), std::move(faults)}, clock,
                  [this](const std::string& warning) { warnings.push_back(warning); }) {}

  std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
  std::vector<std::string> warnings;
  Simulator simulator;
};

}  // namespace kavr::sim::testing

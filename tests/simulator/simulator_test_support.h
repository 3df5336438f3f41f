// Shared pieces of the stand-in library's tests: a clock the test moves by
// hand, a scratch folder that cleans up after itself, and a simulator built
// on both.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "simulator/clock.h"
#include "simulator/sim_config.h"
#include "simulator/simulator.h"

namespace kavr::sim::testing {

class ManualClock final : public Clock {
 public:
  TimePoint Now() const override { return now_; }
  void Advance(std::chrono::duration<double> by) {
    now_ += std::chrono::duration_cast<TimePoint::duration>(by);
  }

 private:
  TimePoint now_ = TimePoint(std::chrono::hours(1));
};

class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("kavr-simulator-test-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

struct SimulatorRig {
  explicit SimulatorRig(SimulatorConfig config) {
    simulator = std::make_unique<Simulator>(
        std::move(config), clock, [this](const std::string& warning) { warnings.push_back(warning); });
  }

  std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
  std::vector<std::string> warnings;
  std::unique_ptr<Simulator> simulator;
};

inline SimulatorConfig ConfigWith(int devices, const std::filesystem::path& flash_dir,
                                  FaultPlan faults = {}) {
  SimulatorConfig config;
  config.device_count = devices;
  config.flash_dir = flash_dir;
  config.faults = std::move(faults);
  return config;
}

}  // namespace kavr::sim::testing

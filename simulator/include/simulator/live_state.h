// The running controllers as plain values: what a process keeps between
// calls in memory, or what the shared state file holds for every process
// of the machine. Serial numbers and versions follow from the index.
#pragma once

#include <string>
#include <vector>

#include "contract/records.h"
#include "simulator/clock.h"
#include "simulator/motion.h"
#include "simulator/rig_effects.h"
#include "simulator/sim_config.h"

namespace kavr::sim {

struct ControllerState {
  explicit ControllerState(Clock::TimePoint now);

  KAVR_Mode mode;
  KAVR_Parameters parameters;  // as set, saved to the flash or not
  KAVR_StartParameters start;
  Motion motion;
  bool afterReset = true;
  std::uint8_t stepDivisor = 1;
  RigWear wear;
};

struct LiveState {
  // When the controllers were last switched on: their temperature drifts
  // from then, the same for every process.
  Clock::TimePoint poweredOn;
  std::vector<ControllerState> controllers;
  std::string lastError;
};

// Every controller just switched on: "After Reset", at position 0, with the
// parameters of its flash (or the factory's, with a warning, when its flash
// file cannot be used). The count is the one asked for, or the default.
LiveState PowerCycle(const SimulatorConfig& config, Clock::TimePoint now, const WarningSink& warn);

}  // namespace kavr::sim

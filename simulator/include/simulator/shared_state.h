// The running controllers of every process of the machine that loads the
// library: one state file, in one folder, behind one lock file.
//   <folder>/lock   never replaced: what every call locks
//   <folder>/state  the LiveState (state_codec.h), replaced whole
// Each call locks, reads the state, acts, writes the state back when it
// changed and unlocks. A process killed at any moment leaves the old state
// or the new one, never part of one, and its lock goes with it.
#pragma once

#include <string>
#include <utility>

#include "contract/own_result_codes.h"
#include "simulator/clock.h"
#include "simulator/file_lock.h"
#include "simulator/live_state.h"
#include "simulator/problem.h"
#include "simulator/sim_config.h"
#include "simulator/simulator.h"

namespace kavr::sim {

class SharedState {
 public:
  // The settings and the clock must outlive the shared state.
  SharedState(const SimulatorConfig& config, const Clock& clock, WarningSink warn)
      : config_(config), clock_(clock), warn_(std::move(warn)) {}

  // Waits for the lock, then reads the state. The controllers are
  // power-cycled when there is no state (its folder was deleted, or the
  // machine restarted), when it cannot be used (with a warning) and, at
  // Init, when the settings ask for it: KAVR_SIM_RESET, or a count other
  // than the one attached (with a warning).
  Problem Open(bool atInit);
  LiveState& State() { return state_; }
  // Writes the state back when it changed, then lets the lock go.
  Problem Close();

 private:
  // `why` is warned about, unless empty: a power cycle asked for, or one
  // the machine itself went through, needs no warning.
  void SwitchOn(const std::string& why);
  void ApplyInitSettings();
  void WarnOfUnattachedRig();

  const SimulatorConfig& config_;
  const Clock& clock_;
  const WarningSink warn_;
  bool switchedOn_ = false;
  FileLock lock_;
  LiveState state_;
  // The state file as read, so that a call that changed nothing (most are
  // reads) writes nothing.
  std::string stored_;
};

// One entry call on the shared state: `call` gets a Simulator on the
// controllers and returns the entry's result, which goes to `code`.
template <typename Call>
Problem CallOnSharedState(const SimulatorConfig& config, const Clock& clock, const WarningSink& warn,
                          bool atInit, Call&& call, KAVR_ResultCode& code) {
  SharedState shared(config, clock, warn);
  if (auto problem = shared.Open(atInit)) return problem;
  Simulator simulator(config, shared.State(), clock);
  code = call(simulator);
  return shared.Close();
}

}  // namespace kavr::sim

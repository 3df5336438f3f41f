#include "simulator/shared_state.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "simulator/atomic_file.h"
#include "simulator/checked_record.h"
#include "simulator/number_text.h"
#include "simulator/quoted_text.h"
#include "simulator/state_codec.h"

namespace kavr::sim {
namespace {

std::filesystem::path StateFile(const SimulatorConfig& config) { return config.stateDir / "state"; }

// The latest moment the state speaks of. A clock now behind it has started
// again from zero: the machine restarted since the state was written.
Clock::TimePoint LatestMoment(const LiveState& state) {
  Clock::TimePoint latest = state.poweredOn;
  for (const ControllerState& controller : state.controllers) {
    latest = std::max(latest, controller.motion.Plan().start);
  }
  return latest;
}

}  // namespace

Problem SharedState::Open(bool atInit) {
  if (config_.stateDir.empty()) {
    return "no folder for the controllers' state is known (set KAVR_SIM_STATE_DIR)";
  }
  if (auto problem = lock_.Acquire(config_.stateDir / "lock")) return problem;
  const std::filesystem::path path = StateFile(config_);
  std::optional<std::string> bytes;
  if (auto problem = ReadFileStart(path, kLongestStateFile, bytes)) {
    SwitchOn("the state file " + QuotedPath(path) + " cannot be read (" + *problem +
             "); the controllers are power-cycled");
  } else if (!bytes) {
    SwitchOn({});
  } else if (auto unusable = DecodeState(*bytes, state_)) {
    SwitchOn("the state file " + QuotedPath(path) + " cannot be used (" + *unusable +
             "); the controllers are power-cycled");
  } else if (LatestMoment(state_) > clock_.Now()) {
    SwitchOn({});
  } else {
    stored_ = std::move(*bytes);
  }
  if (atInit) {
    ApplyInitSettings();
    WarnOfUnattachedRig();
  }
  return std::nullopt;
}

void SharedState::ApplyInitSettings() {
  // Just switched on, these settings already count.
  if (switchedOn_) return;
  if (config_.powerCycle) return SwitchOn({});
  const auto attached = static_cast<int>(state_.controllers.size());
  if (config_.deviceCount && *config_.deviceCount != attached) {
    SwitchOn("KAVR_SIM_DEVICES asks for " + IntText(*config_.deviceCount) + " controllers where " +
             IntText(attached) + " are attached; all are power-cycled");
  }
}

void SharedState::WarnOfUnattachedRig() {
  if (!config_.rig || !warn_) return;
  if (const auto serial = config_.rig->Unattached(static_cast<int>(state_.controllers.size()))) {
    warn_("KAVR_SIM_RIG: the rig file " + QuotedPath(config_.rig->file) + " is refused: " + Quoted(*serial) +
          " is not the serial number of an attached controller; running without a rig");
  }
}

void SharedState::SwitchOn(const std::string& why) {
  if (!why.empty() && warn_) warn_(why);
  state_ = PowerCycle(config_, clock_.Now(), warn_);
  switchedOn_ = true;
}

Problem SharedState::Close() {
  // The test hook: a process killed now dies holding the lock, its change
  // not yet written.
  if (config_.holdLockMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(config_.holdLockMs));
  const std::string payload = EncodeStatePayload(state_);
  Problem problem;
  // The folder is emptied at the next start of the machine anyway: the
  // state needs to survive its writer, not a power cut.
  if (stored_.empty() || payload != PayloadOf(stored_)) {
    AtomicWriteOptions options;
    options.durable = false;
    problem = ReplaceFileAtomically(StateFile(config_), SealStatePayload(payload), options);
  }
  lock_.Release();
  if (problem) return "the controllers' state was not saved: " + *problem;
  return std::nullopt;
}

}  // namespace kavr::sim

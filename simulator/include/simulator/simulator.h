// The simulated controllers behind the library's entries. Each method
// is one entry with the entry's own arguments and result, acting on a
// LiveState that someone else keeps: the shared state file for the
// library (see shared_state.h), plain memory for tests. A Simulator takes
// no lock; the library serialises calls with the state's file lock.
#pragma once

#include <cstdint>
#include <string>

#include "contract/entries.h"
#include "contract/entry_names.h"
#include "contract/records.h"
#include "simulator/clock.h"
#include "simulator/live_state.h"
#include "simulator/sim_config.h"

namespace kavr::sim {

// Copies `text` into a caller's buffer of `capacity` bytes, cut to
// capacity - 1 bytes and always ended by a zero byte; with no room at all
// (or no buffer) it writes nothing.
void CopyText(const std::string& text, char* buffer, std::int32_t capacity);

class Simulator {
 public:
  // All three must outlive the simulator.
  Simulator(const SimulatorConfig& config, LiveState& state, const Clock& clock)
      : config_(config), state_(state), clock_(clock) {}

  // One method per entry, with the entry's own parameters and result as
  // entries.h declares them; each is defined in simulator.cpp.
#define KAVR_SIMULATED_ENTRY(...) KAVR_ENTRY_BY_SHAPE(KAVR_SIMULATED_ENTRY, __VA_ARGS__)
#define KAVR_SIMULATED_METHOD(name, record, result, parameters, arguments) result name parameters;
#define KAVR_SIMULATED_ENTRY_Init KAVR_SIMULATED_METHOD
#define KAVR_SIMULATED_ENTRY_ControllerOnly KAVR_SIMULATED_METHOD
#define KAVR_SIMULATED_ENTRY_RecordGet KAVR_SIMULATED_METHOD
#define KAVR_SIMULATED_ENTRY_RecordSet KAVR_SIMULATED_METHOD
#define KAVR_SIMULATED_ENTRY_Start KAVR_SIMULATED_METHOD
#define KAVR_SIMULATED_ENTRY_GetLastErr(...)
  KAVR_FOR_EACH_ENTRY(KAVR_SIMULATED_ENTRY)
#undef KAVR_SIMULATED_ENTRY
  // Reads the last error only.
  void GetLastErr(char* buffer, std::int32_t capacity) const;

  const std::string& LastError() const { return state_.lastError; }
  int DeviceCount() const { return static_cast<int>(state_.controllers.size()); }

 private:
  // Each returns the code to answer with (and sets the last error) when the
  // call cannot go on; kSuccess when it can.
  KAVR_ResultCode Refuse(Entry entry, KAVR_ResultCode code, const std::string& reason);
  KAVR_ResultCode Screen(Entry entry, std::int32_t device, const void* record);
  // `device` is -1 for Init, which names none.
  KAVR_ResultCode InjectedFault(Entry entry, std::int32_t device);

  // The rig around the controller; none when the rig names a controller
  // that is not attached (Init warns of it).
  ControllerRig RigOf(std::int32_t device) const;
  // The controller brought up to now: every rig event due has happened.
  ControllerState& Live(std::int32_t device);

  ControllerState& Controller(std::int32_t device) {
    return state_.controllers[static_cast<std::size_t>(device)];
  }

  const SimulatorConfig& config_;
  LiveState& state_;
  const Clock& clock_;
};

}  // namespace kavr::sim

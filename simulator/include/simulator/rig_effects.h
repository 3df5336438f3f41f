// What the rig does to a controller as time goes by: a trailer switch stops
// a move at the edge of its range, the rotary transducer flags (and may
// stop) a move passing its error, the emergency button stops the motor and
// cuts its power, and the motor warms while it runs. Each happens at its
// own moment, worked out from the move's plan, so that how often a
// controller is read never changes where it stops.
#pragma once

#include <optional>

#include "contract/records.h"
#include "simulator/clock.h"
#include "simulator/rig.h"

namespace kavr::sim {

struct ControllerState;

// What the rig left on a controller; a power cycle clears it all.
struct RigWear {
  bool rotaryError = false;
  bool emergencyPushed = false;
  bool emergencyUsed = false;  // the next start after switching on came
  std::optional<Clock::TimePoint> emergencyAt;
  double heat = 0.0;  // degrees above the resting temperature
  // Every event up to here has happened: a mode changed later never
  // reaches back into a move already run.
  Clock::TimePoint advancedTo{};

  bool operator==(const RigWear&) const = default;
};

// Brings the controller up to `now`: every rig event due by then, in order.
void AdvanceRig(ControllerState& controller, const ControllerRig& rig, Clock::TimePoint now);

// Whether switch 1 or 2, as the state and the mode name it (TrailersSwapped
// swaps the wiring), is pressed at `position`.
bool TrailerPushed(const ControllerRig& rig, const KAVR_Mode& mode, int which, double position);

}  // namespace kavr::sim

#include "simulator/rig_effects.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "simulator/live_state.h"

namespace kavr::sim {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Passing a point counts only once the move has left where it began.
constexpr double kLeaving = 1e-9;

enum class EventKind { kTrailer, kRotary, kEmergency };

struct Event {
  double seconds = kInfinity;  // from the plan's start
  EventKind kind = EventKind::kTrailer;
};

const std::optional<RigRange>& Wired(const ControllerRig& rig, const KAVR_Mode& mode, int which) {
  const bool first = (which == 1) != IsSet(mode.TrailersSwapped);
  return first ? rig.trailer1 : rig.trailer2;
}

// Heading further into the range from inside it: toward its middle, or
// toward its open end.
bool Deeper(const RigRange& range, double position, double direction) {
  const double middle = range.from && range.to ? (*range.from + *range.to) / 2.0
                        : range.from           ? kInfinity
                        : range.to             ? -kInfinity
                                               : position;
  return (middle - position) * direction >= 0.0;
}

std::optional<double> Passing(const Motion& motion, double position) {
  const auto seconds = motion.SecondsToReach(position);
  if (!seconds || (*seconds < kLeaving && motion.Plan().startPosition == position)) return std::nullopt;
  return seconds;
}

// When the trailer switch stops the current move, if it does.
std::optional<double> TrailerStop(const Motion& motion, const RigRange& range) {
  const MotionPlan& plan = motion.Plan();
  if (motion.RunSeconds() <= 0.0) return std::nullopt;
  const double direction = plan.restPosition > plan.startPosition ? 1.0 : -1.0;
  if (range.Contains(plan.startPosition)) {
    if (Deeper(range, plan.startPosition, direction)) return 0.0;
    return std::nullopt;
  }
  const auto& edge = direction > 0.0 ? range.from : range.to;
  if (!edge) return std::nullopt;
  return motion.SecondsToReach(*edge);
}

Event NextEvent(const ControllerState& controller, const ControllerRig& rig) {
  const Motion& motion = controller.motion;
  Event next;
  const double done = SecondsBetween(motion.Plan().start, controller.wear.advancedTo) - kLeaving;
  const auto consider = [&next, done](std::optional<double> seconds, EventKind kind) {
    if (seconds && *seconds >= done && *seconds < next.seconds) next = {*seconds, kind};
  };
  for (const int which : {1, 2}) {
    const bool enabled =
        IsSet(which == 1 ? controller.mode.Trailer1Enabled : controller.mode.Trailer2Enabled);
    const auto& range = Wired(rig, controller.mode, which);
    if (enabled && range) consider(TrailerStop(motion, *range), EventKind::kTrailer);
  }
  if (rig.rotaryErrorAt && !controller.wear.rotaryError) {
    consider(Passing(motion, *rig.rotaryErrorAt), EventKind::kRotary);
  }
  if (controller.wear.emergencyAt) {
    consider(std::max(0.0, SecondsBetween(motion.Plan().start, *controller.wear.emergencyAt)),
             EventKind::kEmergency);
  }
  return next;
}

// Warms by `heating` degrees a second while the move runs and cools as
// fast at rest, never below the resting temperature.
void Warm(ControllerState& controller, const ControllerRig& rig, Clock::TimePoint to) {
  RigWear& wear = controller.wear;
  if (rig.heating && to > wear.advancedTo) {
    const Clock::TimePoint runFrom = controller.motion.Plan().start;
    const double runEnd = SecondsBetween(wear.advancedTo, runFrom) + controller.motion.RunSeconds();
    const double span = SecondsBetween(wear.advancedTo, to);
    const double running = std::clamp(
        std::min(span, runEnd) - std::max(0.0, SecondsBetween(wear.advancedTo, runFrom)), 0.0, span);
    wear.heat = std::max(0.0, wear.heat + *rig.heating * (running - (span - running)));
  }
  wear.advancedTo = std::max(wear.advancedTo, to);
}

Clock::TimePoint After(Clock::TimePoint from, double seconds) {
  return from +
         std::chrono::duration_cast<Clock::TimePoint::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

bool TrailerPushed(const ControllerRig& rig, const KAVR_Mode& mode, int which, double position) {
  const auto& range = Wired(rig, mode, which);
  return range && range->Contains(position);
}

void AdvanceRig(ControllerState& controller, const ControllerRig& rig, Clock::TimePoint now) {
  // Where nothing of the rig happens with time (no rig at all, or only its
  // fixed readings), time changes nothing here: a read then leaves the
  // state as it was, and the shared state is not written again.
  const bool timeless =
      !rig.trailer1 && !rig.trailer2 && !rig.rotaryErrorAt && !rig.heating && !controller.wear.emergencyAt;
  if (timeless) return;
  // Each event stops the move or is spent, so few ever follow each other.
  for (int round = 0; round < 8; ++round) {
    const Event event = NextEvent(controller, rig);
    const Clock::TimePoint at = After(controller.motion.Plan().start, event.seconds);
    if (std::isinf(event.seconds) || at > now) break;
    Warm(controller, rig, at);
    switch (event.kind) {
      case EventKind::kTrailer:
        controller.motion.Halt(at);
        break;
      case EventKind::kRotary:
        controller.wear.rotaryError = true;
        if (IsSet(controller.mode.RotaryEnabled) && IsSet(controller.mode.RotaryStopOnError)) {
          controller.motion.Halt(at);
        }
        break;
      case EventKind::kEmergency:
        controller.motion.Halt(at);
        controller.mode.PowerOff = ToFlag(true);
        controller.wear.emergencyPushed = true;
        controller.wear.emergencyAt.reset();
        break;
    }
  }
  Warm(controller, rig, now);
}

}  // namespace kavr::sim

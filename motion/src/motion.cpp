#include "motion/motion.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace kavr::motion {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Steps/s² that take `speed` to or from rest in `milliseconds`; a time of
// zero changes speed at once.
double Rate(double speed, double milliseconds) {
  if (!(milliseconds > 0.0)) return kInfinity;
  return speed / (milliseconds / 1000.0);
}

double Sign(double value) { return value > 0.0 ? 1.0 : (value < 0.0 ? -1.0 : 0.0); }

// Time spent changing speed by `change` at `rate`; none at an infinite rate.
double SecondsToChange(double change, double rate) {
  return std::isinf(rate) ? 0.0 : std::abs(change) / rate;
}

// Distance covered coming from `speed` to rest at `rate`.
double BrakingDistance(double speed, double rate) {
  return std::isinf(rate) ? 0.0 : speed * speed / (2.0 * rate);
}

// NaN, which no accepted value produces, counts as 0 rather than reaching
// the conversion.
std::int32_t WholeSteps(double position) {
  if (std::isnan(position)) return 0;
  const double rounded = std::nearbyint(position);
  return static_cast<std::int32_t>(std::clamp(rounded, double{std::numeric_limits<std::int32_t>::min()},
                                              double{std::numeric_limits<std::int32_t>::max()}));
}

double SecondsSince(TimePoint from, TimePoint now) { return std::max(0.0, SecondsBetween(from, now)); }

}  // namespace

Motion::Motion(TimePoint now, std::int32_t position) {
  plan_.start = now;
  plan_.startPosition = position;
  plan_.restPosition = position;
}

void Motion::Replan(TimePoint now) {
  const Kinematics here = KinematicsAt(now);
  plan_.start = now;
  plan_.startPosition = here.position;
  plan_.startVelocity = here.velocity;
  plan_.phaseCount = 0;
  plannedPosition_ = here.position;
  plannedVelocity_ = here.velocity;
}

void Motion::AddPhase(double seconds, double endVelocity, bool fullSpeed) {
  // MoveTo and Stop add at most kMostPhases after a Replan.
  if (plan_.phaseCount == MotionPlan::kMostPhases) return;
  plannedPosition_ += (plannedVelocity_ + endVelocity) / 2.0 * seconds;
  plannedVelocity_ = endVelocity;
  plan_.phases[plan_.phaseCount++] = {seconds, endVelocity, fullSpeed};
  if (endVelocity != 0.0) plan_.counterClockwise = endVelocity < 0.0;
}

void Motion::MoveTo(TimePoint now, std::int32_t destination, double speed, double accelerationMs,
                    double decelerationMs) {
  Replan(now);
  const double target = destination;
  const double acceleration = Rate(speed, accelerationMs);
  const double deceleration = Rate(speed, decelerationMs);
  plan_.cruiseSpeed = speed;
  plan_.restPosition = target;

  double direction = Sign(target - plannedPosition_);
  const bool headingThere = direction != 0.0 && Sign(plannedVelocity_) == direction;
  if (plannedVelocity_ != 0.0 && (!headingThere || BrakingDistance(plannedVelocity_, deceleration) >
                                                       std::abs(target - plannedPosition_))) {
    // Wrong way, or too fast to stop in time: come to rest first (an
    // overshoot that is then driven back, as a real motor would).
    AddPhase(SecondsToChange(plannedVelocity_, deceleration), 0.0);
    direction = Sign(target - plannedPosition_);
  }
  if (direction == 0.0) return;
  plan_.counterClockwise = direction < 0.0;

  double current = std::abs(plannedVelocity_);
  if (current > speed) {
    AddPhase(SecondsToChange(current - speed, deceleration), direction * speed);
    current = speed;
  }
  const double remaining = std::abs(target - plannedPosition_);
  // The highest speed that still leaves room to slow down: a triangle
  // instead of a trapezoid on short moves.
  double peak = speed;
  if (!std::isinf(acceleration) || !std::isinf(deceleration)) {
    const double halves = (std::isinf(acceleration) ? 0.0 : 1.0 / (2.0 * acceleration)) +
                          (std::isinf(deceleration) ? 0.0 : 1.0 / (2.0 * deceleration));
    const double reach = std::sqrt(
        (remaining + (std::isinf(acceleration) ? 0.0 : current * current / (2.0 * acceleration))) / halves);
    peak = std::clamp(reach, current, speed);
  }
  const double speedingUp =
      std::isinf(acceleration) ? 0.0 : (peak * peak - current * current) / (2.0 * acceleration);
  const double cruising = std::max(0.0, remaining - speedingUp - BrakingDistance(peak, deceleration));
  const bool full = peak >= speed;

  AddPhase(SecondsToChange(peak - current, acceleration), direction * peak);
  if (peak > 0.0) AddPhase(cruising / peak, direction * peak, full);
  AddPhase(SecondsToChange(peak, deceleration), 0.0);
}

void Motion::Stop(TimePoint now, double decelerationMs) {
  Replan(now);
  if (plannedVelocity_ == 0.0) {
    plan_.restPosition = std::nearbyint(plannedPosition_);
    return;
  }
  const double deceleration =
      Rate(plan_.cruiseSpeed > 0.0 ? plan_.cruiseSpeed : std::abs(plannedVelocity_), decelerationMs);
  AddPhase(SecondsToChange(plannedVelocity_, deceleration), 0.0);
  plan_.restPosition = std::nearbyint(plannedPosition_);
}

void Motion::Halt(TimePoint now) {
  Replan(now);
  plan_.startVelocity = 0.0;
  plan_.restPosition = std::nearbyint(plan_.startPosition);
  plan_.startPosition = plan_.restPosition;
}

double Motion::RunSeconds() const {
  double seconds = 0.0;
  for (std::size_t index = 0; index < plan_.phaseCount; ++index) seconds += plan_.phases[index].seconds;
  return seconds;
}

double Motion::SecondsAtRest(TimePoint now) const { return SecondsSince(plan_.start, now) - RunSeconds(); }

std::optional<double> Motion::SecondsToReach(double position) const {
  double elapsed = 0.0;
  double at = plan_.startPosition;
  double velocity = plan_.startVelocity;
  for (std::size_t index = 0; index < plan_.phaseCount; ++index) {
    const MotionPhase& phase = plan_.phases[index];
    const double rate = phase.seconds > 0.0 ? (phase.endVelocity - velocity) / phase.seconds : 0.0;
    // at + velocity t + rate t^2 / 2 = position, the earliest root in the phase.
    const double gap = position - at;
    std::optional<double> root;
    if (rate == 0.0) {
      if (gap == 0.0)
        root = 0.0;
      else if (velocity != 0.0 && gap / velocity >= 0.0)
        root = gap / velocity;
    } else {
      const double discriminant = velocity * velocity + 2.0 * rate * gap;
      if (discriminant >= 0.0) {
        const double first = (-velocity - std::sqrt(discriminant)) / rate;
        const double second = (-velocity + std::sqrt(discriminant)) / rate;
        for (const double t : {std::min(first, second), std::max(first, second)}) {
          if (t >= 0.0) {
            root = t;
            break;
          }
        }
      }
    }
    if (root && *root <= phase.seconds) return elapsed + *root;
    at += (velocity + phase.endVelocity) / 2.0 * phase.seconds;
    velocity = phase.endVelocity;
    elapsed += phase.seconds;
  }
  return std::nullopt;
}

Motion::Kinematics Motion::KinematicsAt(TimePoint now) const {
  double left = SecondsSince(plan_.start, now);
  Kinematics here{plan_.startPosition, plan_.startVelocity};
  for (std::size_t index = 0; index < plan_.phaseCount; ++index) {
    const MotionPhase& phase = plan_.phases[index];
    if (left < phase.seconds) {
      const double rate = (phase.endVelocity - here.velocity) / phase.seconds;
      here.position += here.velocity * left + rate * left * left / 2.0;
      here.velocity += rate * left;
      return here;
    }
    here.position += (here.velocity + phase.endVelocity) / 2.0 * phase.seconds;
    here.velocity = phase.endVelocity;
    left -= phase.seconds;
  }
  return {plan_.restPosition, 0.0};
}

MotionSample Motion::At(TimePoint now) const {
  MotionSample sample;
  sample.counterClockwise = plan_.counterClockwise;
  double left = SecondsSince(plan_.start, now);
  for (std::size_t index = 0; index < plan_.phaseCount; ++index) {
    const MotionPhase& phase = plan_.phases[index];
    if (left < phase.seconds) {
      const Kinematics here = KinematicsAt(now);
      sample.position = WholeSteps(here.position);
      sample.velocity = here.velocity;
      sample.running = true;
      sample.fullSpeed = phase.fullSpeed;
      if (here.velocity != 0.0) sample.counterClockwise = here.velocity < 0.0;
      return sample;
    }
    left -= phase.seconds;
  }
  sample.position = WholeSteps(plan_.restPosition);
  return sample;
}

}  // namespace kavr::motion

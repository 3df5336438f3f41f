#include "simulator/motion.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace kavr::sim {
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

double SecondsSince(Clock::TimePoint from, Clock::TimePoint now) {
  return std::max(0.0, SecondsBetween(from, now));
}

}  // namespace

Motion::Motion(Clock::TimePoint now, std::int32_t position) {
  plan_.start = now;
  plan_.start_position = position;
  plan_.rest_position = position;
}

void Motion::Replan(Clock::TimePoint now) {
  const Kinematics here = KinematicsAt(now);
  plan_.start = now;
  plan_.start_position = here.position;
  plan_.start_velocity = here.velocity;
  plan_.phase_count = 0;
  planned_position_ = here.position;
  planned_velocity_ = here.velocity;
}

void Motion::AddPhase(double seconds, double end_velocity, bool full_speed) {
  // MoveTo and Stop add at most kMostPhases after a Replan.
  if (plan_.phase_count == MotionPlan::kMostPhases) return;
  planned_position_ += (planned_velocity_ + end_velocity) / 2.0 * seconds;
  planned_velocity_ = end_velocity;
  plan_.phases[plan_.phase_count++] = {seconds, end_velocity, full_speed};
  if (end_velocity != 0.0) plan_.counter_clockwise = end_velocity < 0.0;
}

void Motion::MoveTo(Clock::TimePoint now, std::int32_t destination, double speed, double acceleration_ms,
                    double deceleration_ms) {
  Replan(now);
  const double target = destination;
  const double acceleration = Rate(speed, acceleration_ms);
  const double deceleration = Rate(speed, deceleration_ms);
  plan_.cruise_speed = speed;
  plan_.rest_position = target;

  double direction = Sign(target - planned_position_);
  const bool heading_there = direction != 0.0 && Sign(planned_velocity_) == direction;
  if (planned_velocity_ != 0.0 && (!heading_there || BrakingDistance(planned_velocity_, deceleration) >
                                                         std::abs(target - planned_position_))) {
    // Wrong way, or too fast to stop in time: come to rest first (an
    // overshoot that is then driven back, as a real motor would).
    AddPhase(SecondsToChange(planned_velocity_, deceleration), 0.0);
    direction = Sign(target - planned_position_);
  }
  if (direction == 0.0) return;
  plan_.counter_clockwise = direction < 0.0;

  double current = std::abs(planned_velocity_);
  if (current > speed) {
    AddPhase(SecondsToChange(current - speed, deceleration), direction * speed);
    current = speed;
  }
  const double remaining = std::abs(target - planned_position_);
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
  const double speeding_up =
      std::isinf(acceleration) ? 0.0 : (peak * peak - current * current) / (2.0 * acceleration);
  const double cruising = std::max(0.0, remaining - speeding_up - BrakingDistance(peak, deceleration));
  const bool full = peak >= speed;

  AddPhase(SecondsToChange(peak - current, acceleration), direction * peak);
  if (peak > 0.0) AddPhase(cruising / peak, direction * peak, full);
  AddPhase(SecondsToChange(peak, deceleration), 0.0);
}

void Motion::Stop(Clock::TimePoint now, double deceleration_ms) {
  Replan(now);
  if (planned_velocity_ == 0.0) {
    plan_.rest_position = std::nearbyint(planned_position_);
    return;
  }
  const double deceleration =
      Rate(plan_.cruise_speed > 0.0 ? plan_.cruise_speed : std::abs(planned_velocity_), deceleration_ms);
  AddPhase(SecondsToChange(planned_velocity_, deceleration), 0.0);
  plan_.rest_position = std::nearbyint(planned_position_);
}

void Motion::Halt(Clock::TimePoint now) {
  Replan(now);
  plan_.start_velocity = 0.0;
  plan_.rest_position = std::nearbyint(plan_.start_position);
  plan_.start_position = plan_.rest_position;
}

double Motion::SecondsAtRest(Clock::TimePoint now) const {
  double seconds = SecondsSince(plan_.start, now);
  for (std::size_t index = 0; index < plan_.phase_count; ++index) seconds -= plan_.phases[index].seconds;
  return seconds;
}

Motion::Kinematics Motion::KinematicsAt(Clock::TimePoint now) const {
  double left = SecondsSince(plan_.start, now);
  Kinematics here{plan_.start_position, plan_.start_velocity};
  for (std::size_t index = 0; index < plan_.phase_count; ++index) {
    const MotionPhase& phase = plan_.phases[index];
    if (left < phase.seconds) {
      const double rate = (phase.end_velocity - here.velocity) / phase.seconds;
      here.position += here.velocity * left + rate * left * left / 2.0;
      here.velocity += rate * left;
      return here;
    }
    here.position += (here.velocity + phase.end_velocity) / 2.0 * phase.seconds;
    here.velocity = phase.end_velocity;
    left -= phase.seconds;
  }
  return {plan_.rest_position, 0.0};
}

MotionSample Motion::At(Clock::TimePoint now) const {
  MotionSample sample;
  sample.counter_clockwise = plan_.counter_clockwise;
  double left = SecondsSince(plan_.start, now);
  for (std::size_t index = 0; index < plan_.phase_count; ++index) {
    const MotionPhase& phase = plan_.phases[index];
    if (left < phase.seconds) {
      const Kinematics here = KinematicsAt(now);
      sample.position = WholeSteps(here.position);
      sample.velocity = here.velocity;
      sample.running = true;
      sample.full_speed = phase.full_speed;
      if (here.velocity != 0.0) sample.counter_clockwise = here.velocity < 0.0;
      return sample;
    }
    left -= phase.seconds;
  }
  sample.position = WholeSteps(plan_.rest_position);
  return sample;
}

}  // namespace kavr::sim

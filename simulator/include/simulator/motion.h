// One controller's axis. A move is planned once, when it is started,
// stopped or cut off, as a short list of phases of constant acceleration
// (speed up, cruise, slow down); the position at any later moment is read
// off that plan. Nothing accumulates between reads, so how often the state
// is asked for never changes where the motor is.
//
// Positions count (micro)steps; positive velocity is clockwise, so a move
// toward a lower position turns counter-clockwise.
#pragma once

#include <cstdint>
#include <vector>

#include "simulator/clock.h"

namespace kavr::sim {

struct MotionSample {
  std::int32_t position = 0;
  double velocity = 0.0;  // steps per second, signed
  bool running = false;
  bool full_speed = false;         // cruising at the speed the move asked for
  bool counter_clockwise = false;  // of the current move, or of the last one
};

class Motion {
 public:
  explicit Motion(Clock::TimePoint now, std::int32_t position = 0);

  // Heads for `destination` from wherever the axis is at `now`, at up to
  // `speed` steps/s, reaching it from rest in `acceleration_ms` and coming
  // back to rest from it in `deceleration_ms` (0: at once). A motor still
  // moving the wrong way, or too fast to stop in time, first comes to rest.
  void MoveTo(Clock::TimePoint now, std::int32_t destination, double speed, double acceleration_ms,
              double deceleration_ms);
  // Brings a running move to rest at its deceleration.
  void Stop(Clock::TimePoint now, double deceleration_ms);
  // Stops dead where it is (the motor lost its power).
  void Halt(Clock::TimePoint now);

  MotionSample At(Clock::TimePoint now) const;
  // When the current plan comes to rest.
  Clock::TimePoint RestsFrom() const;

 private:
  struct Phase {
    double seconds = 0.0;
    double end_velocity = 0.0;
    bool full_speed = false;
  };
  struct Kinematics {
    double position = 0.0;
    double velocity = 0.0;
  };

  Kinematics KinematicsAt(Clock::TimePoint now) const;
  void Replan(Clock::TimePoint now);
  void AddPhase(double seconds, double end_velocity, bool full_speed = false);
  double PlannedSeconds() const;

  Clock::TimePoint plan_start_;
  double start_position_ = 0.0;
  double start_velocity_ = 0.0;
  std::vector<Phase> phases_;
  // Where the plan ends, exactly: a whole step, never a rounding error.
  double rest_position_ = 0.0;
  double cruise_speed_ = 0.0;
  bool counter_clockwise_ = false;
  // Planning state while phases are being added.
  double planned_position_ = 0.0;
  double planned_velocity_ = 0.0;
};

}  // namespace kavr::sim

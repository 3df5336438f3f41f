// One axis in motion, as the stand-in moves it and the program predicts it. A move is planned once, when it
// is started, stopped or cut off, as a short list of phases of constant acceleration (speed up, cruise, slow
// down); the position at any later moment is read off that plan. Nothing accumulates between reads, so how
// often the state is asked for never changes where the motor is, and a plan written to a file by one process
// is read off the same way by another.
//
// Positions count (micro)steps; positive velocity is clockwise, so a move
// toward a lower position turns counter-clockwise.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>

namespace kavr::motion {

// The steady clock's time points: the stand-in reads the machine's
// monotonic clock, the program its own steady clock.
using TimePoint = std::chrono::steady_clock::time_point;

// Signed seconds from `from` to `to`, in floating point, so that the
// difference of two time points read from a file cannot overflow.
inline double SecondsBetween(TimePoint from, TimePoint to) {
  using Seconds = std::chrono::duration<double>;
  return Seconds(to.time_since_epoch()).count() - Seconds(from.time_since_epoch()).count();
}

struct MotionSample {
  std::int32_t position = 0;
  double velocity = 0.0;  // steps per second, signed
  bool running = false;
  bool fullSpeed = false;         // cruising at the speed the move asked for
  bool counterClockwise = false;  // of the current move, or of the last one
};

struct MotionPhase {
  double seconds = 0.0;
  double endVelocity = 0.0;
  bool fullSpeed = false;
};

// Everything a position is read from, as plain values.
struct MotionPlan {
  // Come to rest, slow to the new speed, speed up, cruise, slow down.
  static constexpr std::size_t kMostPhases = 5;

  TimePoint start;
  double startPosition = 0.0;
  double startVelocity = 0.0;
  std::array<MotionPhase, kMostPhases> phases{};
  std::size_t phaseCount = 0;
  // Where the plan ends, exactly: a whole step, never a rounding error.
  double restPosition = 0.0;
  double cruiseSpeed = 0.0;
  bool counterClockwise = false;
};

class Motion {
 public:
  explicit Motion(TimePoint now, std::int32_t position = 0);
  explicit Motion(const MotionPlan& plan) : plan_(plan) {}

  // Heads for `destination` from wherever the axis is at `now`, at up to
  // `speed` steps/s, reaching it from rest in `acceleration_ms` and coming
  // back to rest from it in `deceleration_ms` (0: at once). A motor still
  // moving the wrong way, or too fast to stop in time, first comes to rest.
  void MoveTo(TimePoint now, std::int32_t destination, double speed, double accelerationMs,
              double decelerationMs);
  // Brings a running move to rest at its deceleration.
  void Stop(TimePoint now, double decelerationMs);
  // Stops dead where it is (the motor lost its power).
  void Halt(TimePoint now);

  MotionSample At(TimePoint now) const;
  // Seconds since the plan came to rest, negative while it runs. Seconds,
  // not a time point: a slow enough move outlasts what a time point counts.
  double SecondsAtRest(TimePoint now) const;

  // Seconds from the plan's start until it comes to rest.
  double RunSeconds() const;
  // Seconds from the plan's start until the axis first reaches `position`
  // while it runs; nothing when it never does.
  std::optional<double> SecondsToReach(double position) const;

  const MotionPlan& Plan() const { return plan_; }

 private:
  struct Kinematics {
    double position = 0.0;
    double velocity = 0.0;
  };

  Kinematics KinematicsAt(TimePoint now) const;
  void Replan(TimePoint now);
  void AddPhase(double seconds, double endVelocity, bool fullSpeed = false);

  MotionPlan plan_;
  // Planning state while phases are being added.
  double plannedPosition_ = 0.0;
  double plannedVelocity_ = 0.0;
};

}  // namespace kavr::motion

// How a controller runs a move from its settings: the one model that the
// stand-in moves its controllers by and that the program holds a move
// against. It needs the contract's records and nothing else.
//   - Speed is capped at the step divisor's highest speed.
//   - AccelerationTime and DecelerationTime (ms) take the motor from rest to
//     the speed asked and back; a short move turns back before full speed.
//   - Slow start/stop (SlowStart, at step divisor 1 only) takes twice as long
//     to speed up and to slow down.
#pragma once

#include <cstdint>

#include "contract/records.h"
#include "motion/motion.h"

namespace kavr::motion {

// Steps per second: 5000 full steps, counted in microsteps.
double MaxSpeed(int stepDivisor);

struct MoveProfile {
  double speed = 0.0;  // as capped
  double accelerationMs = 0.0;
  double decelerationMs = 0.0;
};

MoveProfile ProfileOf(const KAVR_Parameters& parameters, const KAVR_StartParameters& start, double speed);

// A move from rest at `from`, started at `at`.
Motion PredictedMove(TimePoint at, std::int32_t from, std::int32_t destination, double speed,
                     const KAVR_Parameters& parameters, const KAVR_StartParameters& start);

}  // namespace kavr::motion

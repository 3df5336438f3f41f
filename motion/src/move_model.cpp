#include "motion/move_model.h"

#include <algorithm>

namespace kavr::motion {

double MaxSpeed(int stepDivisor) { return 5000.0 * stepDivisor; }

MoveProfile ProfileOf(const KAVR_Parameters& parameters, const KAVR_StartParameters& start, double speed) {
  const double slowing = start.StepDivisor == 1 && IsSet(start.SlowStart) ? 2.0 : 1.0;
  return {std::min(speed, MaxSpeed(start.StepDivisor)), parameters.AccelerationTime * slowing,
          parameters.DecelerationTime * slowing};
}

Motion PredictedMove(TimePoint at, std::int32_t from, std::int32_t destination, double speed,
                     const KAVR_Parameters& parameters, const KAVR_StartParameters& start) {
  const MoveProfile profile = ProfileOf(parameters, start, speed);
  Motion motion(at, from);
  motion.MoveTo(at, destination, profile.speed, profile.accelerationMs, profile.decelerationMs);
  return motion;
}

}  // namespace kavr::motion

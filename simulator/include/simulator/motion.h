// The controllers move by the program's own motion model (motion/).
#pragma once

#include "motion/motion.h"
#include "motion/move_model.h"

namespace kavr::sim {

using motion::Motion;
using motion::MotionPhase;
using motion::MotionPlan;
using motion::MotionSample;

}  // namespace kavr::sim

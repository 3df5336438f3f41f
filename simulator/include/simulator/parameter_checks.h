// What a controller refuses to take. Each check names the first field at
// fault, so the caller's error text can say which one.
#pragma once

#include "contract/records.h"
#include "simulator/problem.h"

namespace kavr::sim {

// The longest time a parameter may hold: a day. Longer ones are typing
// mistakes, and refusing them keeps every time a plan is built from
// within what the plan can count.
inline constexpr float kLongestTimeMs = 24.0f * 60.0f * 60.0f * 1000.0f;

// Nothing when every value is acceptable: finite floats, no negative time
// or speed, no time over kLongestTimeMs.
Problem ParametersProblem(const KAVR_Parameters& parameters);
Problem ModeProblem(const KAVR_Mode& mode);
// 1, 2, 4 or 8.
bool IsStepDivisor(int divisor);

}  // namespace kavr::sim

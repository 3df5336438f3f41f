// What a controller refuses to take. Each check names the first field at
// fault, so the caller's error text can say which one.
#pragma once

#include "contract/limits.h"
#include "contract/records.h"
#include "simulator/problem.h"

namespace kavr::sim {

// The longest time a parameter may hold (kavr/limits.h), as a float.
inline constexpr float kLongestTimeMs = static_cast<float>(kavr::kLongestTimeMs);

// Nothing when every value is acceptable: finite floats, and each value
// within the limits the program checks too (kavr/limits.h).
Problem ParametersProblem(const KAVR_Parameters& parameters);
Problem ModeProblem(const KAVR_Mode& mode);
// 1, 2, 4 or 8.
bool IsStepDivisor(int divisor);

}  // namespace kavr::sim

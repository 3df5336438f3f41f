// What a controller refuses to take. Each check names the first field at
// fault, so the caller's error text can say which one.
#pragma once

#include <optional>
#include <string>

#include "kavr/records.h"

namespace kavr::sim {

// Nothing when every value is acceptable: finite floats, no negative time
// or speed.
std::optional<std::string> ParametersProblem(const KAVR_Parameters& parameters);
std::optional<std::string> ModeProblem(const KAVR_Mode& mode);
// 1, 2, 4 or 8.
bool IsStepDivisor(int divisor);

}  // namespace kavr::sim

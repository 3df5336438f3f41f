// The conditions an expect step may name, as measurements of the state:
// one reader per kind of condition in one table, so that a new condition
// is one function and one row.
//
// Shells: kavrctl (run, serve), through the plan runner.
#pragma once

#include <string>
#include <vector>

#include "app/plan.h"
#include "contract/records.h"
#include "results/measurement.h"

namespace kavr {

// One condition measured; for a value that fails, what was expected and
// what came back, in words.
struct MeasuredCondition {
  Measurement measurement;
  std::string expected;
  std::string got;
};

// Every condition `expect` names, measured in `state`, in a fixed order.
std::vector<MeasuredCondition> MeasureExpectation(const PlanExpectation& expect, const KAVR_State& state);

}  // namespace kavr

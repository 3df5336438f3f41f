// The faults `prove` runs a plan against, each on a fresh stand-in: every
// entry the plan calls failing, every field it writes not sticking, and the
// rig's faults. What a fault is, and what would catch it, come from the
// plan.
#pragma once

#include <string>
#include <vector>

#include "app/plan.h"
#include "process_environment.h"

namespace kavr::cli {

struct Fault {
  std::string name;                  // "fail:GetState", "keep:AccelerationTime", "trailer"
  std::string description;           // one line, for --list-faults
  EnvironmentVariables environment;  // the stand-in's KAVR_SIM_FAIL or KAVR_SIM_KEEP
  std::string rig;                   // the KAVR_SIM_RIG file's text; empty for the faults without a rig
  std::string hint;                  // what in the plan would catch it, for a plan that misses it
};

// The plan's faults, in a fixed order: entries, fields, then the rig's.
std::vector<Fault> FaultCatalog(const Plan& plan);

}  // namespace kavr::cli

// Runs a checked plan over several controllers from the one thread that
// calls the library: each step goes to every controller still passing in
// turn, so their moves overlap, and a wait polls them all in turn.
#pragma once

#include "kavrctl.h"
#include "plan_run.h"
#include "session.h"

namespace kavr::cli {

// Fills `run` (its controllers chosen, their steps empty), printing one
// line per controller and step. A controller whose step fails is sent Stop
// and skips the rest. Ctrl+C stops every controller the plan started and
// ends the run with `run.interrupted` set.
void RunPlan(PlanRun& run, Session& session, Console& console);

}  // namespace kavr::cli

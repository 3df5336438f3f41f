// A test plan from a recorded session: what the session did to the
// controller, as steps a plan repeats on every controller it runs on.
//
// Shells: kavrctl (plan-from).
#pragma once

#include <optional>
#include <span>
#include <string>

#include "transcript/transcript_reader.h"

namespace kavr {

// The plan as JSON text, one step a line, in the session's order:
// - each write of the mode or the parameters, as the fields it changed
//   (set-mode, set-parameters) with "verify";
// - each start as start, a wait for as long as the move took plus a margin
//   and an expect of the position it reached;
// - each stop and save as stop and save;
// - each state read at rest as an expect of the switch inputs as recorded
//   and the voltage and temperature within `band` (0.1: 10%) of what was
//   recorded, merged with the expect after a move;
// - a final verify.
// Reads that change nothing, polls during a move, repeated state reads and
// failed calls are left out. Nothing, with "line N: why" in `problem`, when
// the transcript holds no call to a controller or drives several.
std::optional<std::string> PlanFromTranscript(std::span<const RecordedCall> calls, const std::string& name,
                                              double band, std::string& problem);

}  // namespace kavr

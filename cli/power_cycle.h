// The power-cycle step of a plan: on the stand-in, its controllers switched
// off and on through its own Init; on anything else, by the operator.
#pragma once

#include <optional>
#include <string>

#include "app/plan.h"
#include "kavrctl.h"
#include "session.h"

namespace kavr::cli {

// True when every controller listed carries one of the stand-in's serial
// numbers, which no real controller has.
bool IsStandIn(const DeviceList& list);

// Why a plan cannot run here, before anything is sent to a controller: it
// holds a power-cycle step, no stand-in does it, and nobody can be asked.
std::optional<std::string> PowerCycleRefusal(const Plan& plan, bool standIn, bool canAsk);

// Switches every stand-in controller off and on, as many as are attached
// now. Throws a Failure when the controllers do not come back.
void PowerCycleStandIn(Session& session);

// Asks the operator on the terminal and waits for Enter. Throws a Failure
// when the input ends first.
void AskForPowerCycle(Console& console);

}  // namespace kavr::cli

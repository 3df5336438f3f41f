// The plan runner of the core, in kavrctl: its lines on standard output,
// ended by kavrctl's signals, its power cycles done on the stand-in or asked
// of the operator, and a library gone turned into kavrctl's failure.
#include <csignal>

#include "commands.h"
#include "output.h"
#include "power_cycle.h"

namespace kavr::cli {

void RunPlanInSession(PlanRun& run, Session& session, Console& console) {
  PlanRunSurroundings surroundings;
  surroundings.pacing = console.pacing;
  surroundings.decimalSeparator = console.decimalSeparator;
  surroundings.show = [&console](const std::string& line, std::string& problem) {
    try {
      PrintText(console.out, line);
      return true;
    } catch (const Failure& failure) {
      if (failure.code != kOutputFailed) throw;
      problem = failure.message;
      return false;
    }
  };
  surroundings.interruption = [&console]() -> std::optional<RunInterruption> {
    if (!console.interrupted()) return std::nullopt;
    // Left without a signal to name, an interruption counts as Ctrl+C.
    const int signal = console.interruptSignal ? console.interruptSignal() : 0;
    if (signal != 0 || !console.interruptSignal)
      return RunInterruption{SignalName(signal != 0 ? signal : SIGINT)};
    return RunInterruption{"standard output closed", true};
  };
  surroundings.arm = console.armInterrupt;
  surroundings.powerCycle = [&]() -> PowerCycleEnd {
    try {
      if (run.standIn) {
        PowerCycleStandIn(session);
      } else {
        AskForPowerCycle(console);
      }
      return {};
    } catch (const Failure& failure) {
      const auto& call = session.LastFailedCall();
      return {failure.message, failure.code == kLibraryNotLoaded && call ? call->result : 0};
    }
  };
  if (const std::optional<LibraryLost> lost = RunPlan(run, session.Library(), surroundings)) {
    session.Check(lost->entry, lost->result);
  }
}

}  // namespace kavr::cli

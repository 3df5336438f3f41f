// Runs a checked plan over several controllers from the one thread that
// calls the library: each step goes to every controller still passing in
// turn, so their moves overlap, and a wait polls them all in turn.
//
// The runner knows the library and the controllers chosen (in the PlanRun)
// only; where its lines go, what ends it early and how the controllers are
// switched off and on are the client's, handed in.
//
// Shells: kavrctl (run, serve).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/motion_wait.h"
#include "app/plan_run.h"
#include "contract/entry_names.h"
#include "device/controller_library.h"

namespace kavr {

// What ended a run before its last step.
struct RunInterruption {
  std::string what;         // "SIGHUP", "standard output closed"
  bool outputLost = false;  // the run's lines can no longer be shown
};

// How a power-cycle step went; Init's code when the library was asked and
// failed.
struct PowerCycleEnd {
  std::string problem;  // empty when every controller came back
  ResultCode initResult = 0;
};

// What the run talks through besides the library. Each hook may be left
// empty: no lines, no interruptions, no power cycle (the step fails).
struct PlanRunSurroundings {
  Pacing pacing = SystemPacing();
  std::string decimalSeparator = ".";
  // Shows one live line. False once it cannot, with the reason in
  // `problem`: the run then ends as interrupted and shows nothing more.
  std::function<bool(const std::string& line, std::string& problem)> show;
  // Asked between calls: what ended the run early, once something has.
  std::function<std::optional<RunInterruption>()> interruption;
  // Called when the first step is about to be sent: from then on the
  // client's interruptions are caught rather than ending the program.
  std::function<void()> arm;
  // Switches every controller off and on and waits for them to come back.
  std::function<PowerCycleEnd()> powerCycle;
};

// The call that found the library gone; the run stopped there.
struct LibraryLost {
  Entry entry = Entry::Init;
  ResultCode result = 0;
};

// Fills `run` (its controllers chosen, their steps empty), showing one
// line per controller and step. A controller whose step fails is sent Stop
// and skips the rest. An interruption stops every controller the plan
// started and ends the run with `run.interrupted` set. Returns the call
// that found the library itself gone, if one did: the run ends there.
std::optional<LibraryLost> RunPlan(PlanRun& run, ControllerLibrary& library,
                                   const PlanRunSurroundings& surroundings);

}  // namespace kavr

// The plan runner of the core on a scripted library, with no client around
// it: its lines, what ends it early, and a library that goes away.
#include "app/plan_runner.h"

#include <gtest/gtest.h>

#include "contract/own_result_codes.h"
#include "fakes.h"

namespace kavr {
namespace {

using fakes::Strings;

constexpr const char* kPlan = R"({"name": "core", "steps": [
  {"step": "start", "destination": 100, "speed": 50},
  {"step": "wait", "seconds": 1},
  {"step": "expect", "running": false},
  {"step": "save"}]})";

struct Running {
  fakes::FakeLibrary library;
  Plan plan;
  PlanRun run;
  Strings lines;
  std::chrono::steady_clock::time_point now;
  std::optional<RunInterruption> interruption;
  std::optional<RunInterruption> interruptionAtSleep;  // comes while the run sleeps
  int shownBeforeLost = -1;                            // the line that cannot be shown; -1: every line is

  Running() {
    std::string problem;
    plan = *ReadPlan(kPlan, {}, problem);
    run.plan = &plan;
    for (const char* serial : {"S1", "S2"}) {
      ControllerRun& controller = run.controllers.emplace_back();
      controller.device = static_cast<std::int32_t>(run.controllers.size()) - 1;
      controller.serial = serial;
    }
    library.state.Running = 0;
  }

  std::optional<LibraryLost> Run() {
    PlanRunSurroundings around;
    around.pacing = {[this] { return now; },
                     [this](std::chrono::milliseconds pause) {
                       now += pause;
                       if (interruptionAtSleep) interruption = interruptionAtSleep;
                     }};
    around.show = [this](const std::string& line, std::string& problem) {
      if (static_cast<int>(lines.size()) == shownBeforeLost) {
        problem = "standard output: Broken pipe";
        return false;
      }
      lines.push_back(line);
      return true;
    };
    around.interruption = [this] { return interruption; };
    around.arm = [] {};
    around.powerCycle = [] { return PowerCycleEnd{}; };
    return RunPlan(run, library, around);
  }

  std::vector<StepVerdict> Verdicts(std::size_t controller) const {
    std::vector<StepVerdict> verdicts;
    for (const StepOutcome& step : run.controllers[controller].steps) verdicts.push_back(step.verdict);
    return verdicts;
  }
};

constexpr StepVerdict kPassed = StepVerdict::kPassed, kFailed = StepVerdict::kFailed,
                      kNotRun = StepVerdict::kNotRun;

TEST(PlanRunner, EachControllerGoesStepByStepAndAFailedCallFailsItsStepAndStopsIt) {
  Running passing;
  EXPECT_FALSE(passing.Run());
  EXPECT_TRUE(passing.run.Passed());
  EXPECT_EQ(passing.Verdicts(1), std::vector<StepVerdict>(4, kPassed));
  EXPECT_EQ(passing.lines.front().substr(0, 24), "S1 step 1/4 start: passe");

  Running failing;
  failing.library.results[Entry::SaveParametersToFlash] = 7;
  EXPECT_FALSE(failing.Run());
  EXPECT_EQ(failing.Verdicts(0), (std::vector<StepVerdict>{kPassed, kPassed, kPassed, kFailed}));
  const StepOutcome& save = failing.run.controllers[0].steps[3];
  EXPECT_EQ(save.got, std::string(EntryName(Entry::SaveParametersToFlash)) +
                          " failed with ResultCode 7: Device is busy");
  EXPECT_EQ(failing.library.events.back(), "Stop");
  EXPECT_EQ(failing.lines.back(), "S2 stopped");
}

TEST(PlanRunner, AnInterruptionOrALostOutputStopsWhatTheRunStarted) {
  Running interrupted;
  interrupted.library.state.Running = 1;
  interrupted.interruptionAtSleep = RunInterruption{"SIGTERM"};
  interrupted.Run();
  EXPECT_TRUE(interrupted.run.interrupted);
  EXPECT_EQ(interrupted.run.interruption, "SIGTERM");
  EXPECT_EQ(interrupted.Verdicts(0), (std::vector<StepVerdict>{kPassed, kNotRun, kNotRun, kNotRun}));
  EXPECT_EQ(interrupted.lines.back(), "S2 stopped");
  const Strings stops(interrupted.library.events.end() - 2, interrupted.library.events.end());
  EXPECT_EQ(stops, (Strings{"Stop", "Stop"}));

  Running lost;
  lost.shownBeforeLost = 1;  // the first controller's start is shown, the second's is not
  lost.Run();
  EXPECT_TRUE(lost.run.interrupted && lost.run.outputLost);
  EXPECT_EQ(lost.run.interruption, "standard output: Broken pipe");
  EXPECT_EQ(lost.Verdicts(1), (std::vector<StepVerdict>{kPassed, kNotRun, kNotRun, kNotRun}));
  const Strings sent = lost.library.events;
  EXPECT_EQ(Strings(sent.end() - 2, sent.end()), (Strings{"Stop", "Stop"}));
}

TEST(PlanRunner, ALibraryThatGoesAwayEndsTheRunAtTheCallThatFoundIt) {
  Running gone;
  gone.library.results[Entry::GetState] = kLibraryUnavailable;
  const std::optional<LibraryLost> lost = gone.Run();
  ASSERT_TRUE(lost);
  EXPECT_EQ(lost->entry, Entry::GetState);
  EXPECT_EQ(lost->result, kLibraryUnavailable);
  EXPECT_EQ(gone.Verdicts(0)[0], kPassed);
  EXPECT_EQ(gone.Verdicts(0)[1], kNotRun);
}

}  // namespace
}  // namespace kavr

#include "plan_runner.h"

#include <algorithm>
#include <charconv>
#include <csignal>
#include <map>

#include "app/started_controllers.h"
#include "app/write_check.h"
#include "commands.h"
#include "expect_conditions.h"
#include "output.h"
#include "power_cycle.h"
#include "reports/reports.h"
#include "transcript/record_fields.h"

namespace kavr::cli {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How often a wait reads each controller's state, and the longest a pause
// sleeps before it looks for Ctrl+C again.
constexpr milliseconds kWaitInterval{50};
constexpr milliseconds kInterruptCheck{50};

// A step that did not pass, in words.
struct StepFailure {
  std::string expected;
  std::string got;
};

// The failure of an expect step: each condition that failed, in words.
std::optional<StepFailure> Unmet(const std::vector<MeasuredCondition>& conditions) {
  StepFailure failure;
  for (const MeasuredCondition& condition : conditions) {
    if (condition.measurement.outcome != MeasurementOutcome::kFail) continue;
    failure.expected += (failure.expected.empty() ? "" : ", ") + condition.expected;
    failure.got += (failure.got.empty() ? "" : ", ") + condition.got;
  }
  if (failure.expected.empty()) return std::nullopt;
  return failure;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "; ") + line;
  return text;
}

class PlanRunner {
 public:
  PlanRunner(PlanRun& run, Session& session, Console& console)
      : run_(run), plan_(*run.plan), session_(session), console_(console) {}

  void Run() {
    const Clock::time_point begun = console_.pacing.now();
    console_.armInterrupt();
    for (ControllerRun& controller : run_.controllers) controller.steps.resize(plan_.steps.size());
    for (std::size_t index = 0; index < plan_.steps.size() && !Interrupted(); ++index) {
      const PlanStep& step = plan_.steps[index];
      if (step.kind == PlanStepKind::kWait) {
        Wait(index, step.duration);
      } else if (step.kind == PlanStepKind::kPause) {
        Pause(index, step.duration);
      } else if (step.kind == PlanStepKind::kPowerCycle) {
        PowerCycle(index);
      } else {
        for (ControllerRun& controller : run_.controllers) {
          if (!controller.failed && !Interrupted()) {
            Timed(controller, index, [&] { return Do(controller, step, controller.steps[index]); });
          }
        }
      }
    }
    if (Interrupted()) StopStarted();
    run_.duration = std::chrono::duration_cast<milliseconds>(console_.pacing.now() - begun);
  }

 private:
  bool Interrupted() {
    if (run_.interrupted) return true;
    if (!run_.outputLost && !console_.interrupted()) return false;
    const int signal = console_.interruptSignal ? console_.interruptSignal() : 0;
    if (signal != 0 || !console_.interruptSignal) {
      run_.interruption = SignalName(signal != 0 ? signal : SIGINT);
    } else if (!run_.outputLost) {
      run_.outputLost = true;
      run_.interruption = "standard output closed";
    }
    run_.interrupted = true;
    return true;
  }

  // A line on standard output; once one cannot be written, the run ends
  // as interrupted and says nothing more there.
  void Say(const std::string& text) {
    if (run_.outputLost) return;
    try {
      PrintText(console_.out, text);
    } catch (const Failure& failure) {
      if (failure.code != kOutputFailed) throw;
      run_.outputLost = true;
      run_.interruption = failure.message;
    }
  }

  // Runs one step on one controller and records its outcome; a library
  // failure counts as the step's failure unless the library itself is gone.
  template <typename Step>
  void Timed(ControllerRun& controller, std::size_t index, Step step) {
    const Clock::time_point begun = console_.pacing.now();
    std::optional<StepFailure> failure;
    try {
      failure = step();
    } catch (const Failure& error) {
      if (error.code == kLibraryNotLoaded) throw;
      failure = StepFailure{"the library calls to succeed", error.message};
    }
    Record(controller, index, begun, failure);
  }

  void Record(ControllerRun& controller, std::size_t index, Clock::time_point begun,
              const std::optional<StepFailure>& failure) {
    StepOutcome& outcome = controller.steps[index];
    if (plan_.steps[index].kind == PlanStepKind::kWait && controller.shadow) {
      outcome.prediction = controller.shadow->Points();
      outcome.tolerance = controller.shadow->Tolerance();
    }
    outcome.duration = std::chrono::duration_cast<milliseconds>(console_.pacing.now() - begun);
    outcome.verdict = failure ? StepVerdict::kFailed : StepVerdict::kPassed;
    if (failure) {
      outcome.expected = failure->expected;
      outcome.got = failure->got;
    }
    std::string marginal;
    for (const Measurement& measured : outcome.measurements) {
      if (measured.outcome == MeasurementOutcome::kMarginal)
        marginal += (marginal.empty() ? "" : ", ") + MarginalText(measured);
    }
    Line(controller, index,
         failure ? "FAILED: expected " + outcome.expected + "; got " + outcome.got
                 : "passed (" + std::to_string(outcome.duration.count()) + " ms)" +
                       (marginal.empty() ? "" : "; marginal: " + marginal));
    if (failure) Fail(controller, index);
  }

  void Line(const ControllerRun& controller, std::size_t index, const std::string& what) {
    Say(controller.serial + " step " + std::to_string(index + 1) + "/" + std::to_string(plan_.steps.size()) +
        " " + std::string(PlanStepName(plan_.steps[index].kind)) + ": " + what);
  }

  // Stops the motor of a controller that failed and skips its other steps.
  void Fail(ControllerRun& controller, std::size_t index) {
    controller.failed = true;
    for (std::size_t later = index + 1; later < controller.steps.size(); ++later) {
      controller.steps[later].verdict = StepVerdict::kSkipped;
    }
    SendStop(controller);
  }

  void SendStop(ControllerRun& controller) {
    started_.Remove(controller.device);
    destinations_.erase(controller.device);
    Stopped(controller, session_.Library().Stop(controller.device));
  }

  void Stopped(const ControllerRun& controller, ResultCode result) {
    Say(controller.serial +
        (result == 0 ? " stopped" : " NOT stopped: " + session_.FailureText(Entry::Stop, result)));
  }

  void StopStarted() {
    // Sent before anything is said: the output may be what ended the run.
    const std::vector<StopSent> sent = started_.StopAll(session_.Library());
    Say("interrupted: stopping every controller the plan started");
    for (const StopSent& stop : sent) {
      const auto controller = std::ranges::find_if(
          run_.controllers, [&](const ControllerRun& c) { return c.device == stop.device; });
      if (controller != run_.controllers.end()) Stopped(*controller, stop.result);
    }
  }

  // Runs the step on the controller, adding what it measured to `outcome`.
  std::optional<StepFailure> Do(ControllerRun& controller, const PlanStep& step, StepOutcome& outcome) {
    const std::int32_t device = controller.device;
    switch (step.kind) {
      case PlanStepKind::kSetMode:
      case PlanStepKind::kSetParameters:
      case PlanStepKind::kLoad:
        return Write(controller, step, outcome.measurements);
      case PlanStepKind::kStart:
        started_.Add(device);
        controller.started = true;
        destinations_[device] = step.destination;
        if (Shadowed()) return StartShadowed(controller, step, outcome.measurements);
        Start(device, step, outcome.measurements);
        return std::nullopt;
      case PlanStepKind::kExpect: {
        const auto conditions = MeasureExpectation(
            step.expect, ReadRecord(session_, device, Entry::GetState, &ControllerLibrary::GetState));
        for (const MeasuredCondition& condition : conditions)
          outcome.measurements.push_back(condition.measurement);
        return Unmet(conditions);
      }
      case PlanStepKind::kStop:
        session_.Check(Entry::Stop, session_.Library().Stop(device));
        started_.Remove(device);
        destinations_.erase(device);
        return std::nullopt;
      case PlanStepKind::kSave:
        session_.Check(Entry::SaveParametersToFlash, session_.Library().SaveParametersToFlash(device));
        controller.parametersSaved = controller.parametersWritten;
        return std::nullopt;
      case PlanStepKind::kVerify:
        return Differences(
            {Differing(controller, PlanRecord::kMode, controller.modeWritten, outcome.measurements),
             Differing(controller, PlanRecord::kParameters, controller.parametersWritten,
                       outcome.measurements)});
      case PlanStepKind::kWait:
      case PlanStepKind::kPause:
      case PlanStepKind::kPowerCycle:
        break;
    }
    return std::nullopt;
  }

  void Start(std::int32_t device, const PlanStep& step, std::vector<Measurement>& measured) {
    float speedLeft = step.speed;
    StartMove(session_, device, step.destination, step.speed, step.divisor, {}, console_.decimalSeparator,
              &speedLeft);
    StartMeasured(step, speedLeft, measured);
  }

  // What a start sent, and the speed the library left.
  static void StartMeasured(const PlanStep& step, float speedLeft, std::vector<Measurement>& measured) {
    measured.push_back(
        {.name = "Destination", .value = static_cast<double>(step.destination), .unit = "steps"});
    measured.push_back({.name = "Speed",
                        .value = static_cast<double>(speedLeft),
                        .unit = "steps/s",
                        .sent = static_cast<double>(step.speed)});
    measured.push_back({.name = "StepDivisor", .value = static_cast<double>(step.divisor)});
  }

  bool Shadowed() const {
    return std::ranges::any_of(plan_.steps, [](const PlanStep& step) { return step.shadow.has_value(); });
  }

  // A start that a shadowed wait will predict: where the axis was and the
  // parameters it moves by are read first.
  std::optional<StepFailure> StartShadowed(ControllerRun& controller, const PlanStep& step,
                                           std::vector<Measurement>& measured) {
    MoveSent move;
    move.before = ReadRecord(session_, controller.device, Entry::GetState, &ControllerLibrary::GetState);
    move.parameters =
        ReadRecord(session_, controller.device, Entry::GetParameters, &ControllerLibrary::GetParameters);
    move.from = move.before.CurrentPosition;
    move.destination = step.destination;
    move.speed = step.speed;
    controller.move.reset();
    const Clock::time_point sent = console_.pacing.now();
    float speedLeft = step.speed;
    StartMove(session_, controller.device, step.destination, step.speed, step.divisor, {},
              console_.decimalSeparator, &speedLeft, &move.start);
    StartMeasured(step, speedLeft, measured);
    controller.movedAt = console_.pacing.now();
    controller.moveCall = controller.movedAt - sent;
    controller.move = move;
    return std::nullopt;
  }

  std::optional<StepFailure> Write(ControllerRun& controller, const PlanStep& step,
                                   std::vector<Measurement>& measured) {
    WriteFields(session_, controller.device, step.record, step.values, console_.decimalSeparator);
    std::vector<FieldValue>& written =
        step.record == PlanRecord::kMode ? controller.modeWritten : controller.parametersWritten;
    written.insert(written.end(), step.values.begin(), step.values.end());
    if (!step.verify) {
      const auto sent = WrittenMeasurements(step.values, std::nullopt);
      measured.insert(measured.end(), sent.begin(), sent.end());
      return std::nullopt;
    }
    return Differences({Differing(controller, step.record, step.values, measured)});
  }

  // The record read back: one line per value that did not stick, and each
  // value sent and kept as a measurement.
  std::vector<std::string> Differing(const ControllerRun& controller, PlanRecord record,
                                     const std::vector<FieldValue>& written,
                                     std::vector<Measurement>& measured) {
    if (written.empty()) return {};
    const std::vector<std::uint8_t> readBack = ReadBackRecord(session_, controller.device, record);
    const auto kept = WrittenMeasurements(written, RecordBytes(readBack));
    measured.insert(measured.end(), kept.begin(), kept.end());
    return WriteDifferences(readBack, written);
  }

  static std::optional<StepFailure> Differences(const std::vector<std::vector<std::string>>& records) {
    std::vector<std::string> lines;
    for (const auto& record : records) lines.insert(lines.end(), record.begin(), record.end());
    if (lines.empty()) return std::nullopt;
    return StepFailure{"every value written kept", Joined(lines)};
  }

  // Every passing controller read in turn until each has stopped, failed
  // or run out of time; read at once, and once more at the limit.
  void Wait(std::size_t index, milliseconds limit) {
    const Clock::time_point begun = console_.pacing.now();
    std::vector<ControllerRun*> waiting;
    for (ControllerRun& controller : run_.controllers) {
      if (controller.failed) continue;
      waiting.push_back(&controller);
      controller.shadow.reset();
      if (plan_.steps[index].shadow && controller.move) {
        controller.shadow.emplace(controller.movedAt, *controller.move, *plan_.steps[index].shadow,
                                  controller.moveCall);
      }
    }
    bool lastRound = false;
    while (!waiting.empty() && !Interrupted()) {
      std::erase_if(waiting,
                    [&](ControllerRun* controller) { return Polled(*controller, index, begun, lastRound); });
      if (waiting.empty() || lastRound) break;
      const milliseconds spent = std::chrono::duration_cast<milliseconds>(console_.pacing.now() - begun);
      console_.pacing.sleep(std::clamp(limit - spent, milliseconds{0}, kWaitInterval));
      lastRound = console_.pacing.now() - begun >= limit;
    }
  }

  // True when the controller is done waiting: stopped, failed or out of time.
  bool Polled(ControllerRun& controller, std::size_t index, Clock::time_point begun, bool lastRound) {
    KAVR_State state{};
    const Clock::time_point sent = console_.pacing.now();
    const ResultCode result = session_.Library().GetState(controller.device, state);
    if (result != 0) {
      session_.Check(Entry::GetState, session_.LibraryUnavailable(result) ? result : 0);
      Record(controller, index, begun,
             StepFailure{"the motor to stop", session_.FailureText(Entry::GetState, result)});
      return true;
    }
    const auto destination = destinations_.find(controller.device);
    const milliseconds spent = std::chrono::duration_cast<milliseconds>(console_.pacing.now() - begun);
    StepOutcome& outcome = controller.steps[index];
    outcome.trace.push_back({spent.count(), state.CurrentPosition});
    if (controller.shadow) {
      if (auto departure = controller.shadow->Hold(sent, console_.pacing.now(), state)) {
        Record(controller, index, begun,
               StepFailure{"the move to follow its prediction within " +
                               std::to_string(controller.shadow->Tolerance()) + " steps",
                           *departure});
        return true;
      }
    }
    const bool stopped = !IsSet(state.Running);
    if (!stopped && !lastRound) return false;
    const milliseconds limit = plan_.steps[index].duration;
    outcome.measurements.push_back(
        {.name = "WaitTime",
         .value = static_cast<double>(spent.count()),
         .unit = "ms",
         .limits = {.max = static_cast<double>(limit.count())},
         .outcome = stopped ? MeasurementOutcome::kPass : MeasurementOutcome::kFail});
    outcome.measurements.push_back(
        {.name = "CurrentPosition", .value = static_cast<double>(state.CurrentPosition), .unit = "steps"});
    if (stopped) {
      Record(controller, index, begun, std::nullopt);
      // Two programs driving one controller stop each other's moves: say so.
      if (destination != destinations_.end() && state.CurrentPosition != destination->second) {
        Say(controller.serial + " note: stopped at " + std::to_string(state.CurrentPosition) + ", short of " +
            std::to_string(destination->second) +
            ": something this run did not send stopped it (another "
            "program's Stop, or an input)");
      }
      destinations_.erase(controller.device);
      return true;
    }
    const double seconds = static_cast<double>(limit.count()) / 1000.0;
    Record(controller, index, begun,
           StepFailure{"the motor stopped within " + MeasurementNumber(seconds) + " s",
                       "still running at position " + std::to_string(state.CurrentPosition) +
                           (destination == destinations_.end()
                                ? ", on a move this run did not start (another program may be driving it)"
                                : "")});
    return true;
  }

  void Pause(std::size_t index, milliseconds pause) {
    const Clock::time_point begun = console_.pacing.now();
    while (pause.count() > 0 && !Interrupted()) {
      const milliseconds step = std::min(pause, kInterruptCheck);
      console_.pacing.sleep(step);
      pause -= step;
    }
    if (Interrupted()) return;
    for (ControllerRun& controller : run_.controllers) {
      if (!controller.failed) Record(controller, index, begun, std::nullopt);
    }
  }

  // Every controller switched off and on at once; afterwards a verify
  // expects only what was saved, and the mode as the controller starts.
  void PowerCycle(std::size_t index) {
    const Clock::time_point begun = console_.pacing.now();
    std::optional<StepFailure> failure;
    try {
      if (run_.standIn) {
        PowerCycleStandIn(session_);
      } else {
        AskForPowerCycle(console_);
      }
    } catch (const Failure& error) {
      if (error.code == kLibraryNotLoaded) throw;
      failure = StepFailure{"the controllers back after the power cycle", error.message};
    }
    for (ControllerRun& controller : run_.controllers) {
      if (controller.failed) continue;
      Record(controller, index, begun, failure);
      if (failure) continue;
      controller.modeWritten.clear();
      controller.parametersWritten = controller.parametersSaved;
      started_.Remove(controller.device);
      controller.started = false;
      destinations_.erase(controller.device);
    }
  }

  PlanRun& run_;
  const Plan& plan_;
  Session& session_;
  Console& console_;
  StartedControllers started_;
  // The destination of each move this run started and has not seen end.
  std::map<std::int32_t, std::int32_t> destinations_;
};

}  // namespace

void RunPlan(PlanRun& run, Session& session, Console& console) { PlanRunner(run, session, console).Run(); }

}  // namespace kavr::cli

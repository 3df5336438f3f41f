#include "plan_runner.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <csignal>

#include "app/record_fields.h"
#include "app/started_controllers.h"
#include "commands.h"
#include "output.h"
#include "reports/reports.h"

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

std::string Number(double value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, static_cast<float>(value)).ptr);
}

std::string LimitsText(const PlanLimits& limits) {
  if (limits.min && limits.max) return Number(*limits.min) + " to " + Number(*limits.max);
  if (limits.min) return "at least " + Number(*limits.min);
  return "at most " + Number(*limits.max);
}

bool Within(const PlanLimits& limits, float value) {
  return (!limits.min || value >= *limits.min) && (!limits.max || value <= *limits.max);
}

std::string OnOff(bool on) { return on ? "on" : "off"; }

// Each condition of `expect` that `state` misses, in words; none when all hold.
std::optional<StepFailure> Unmet(const PlanExpectation& expect, const KAVR_State& state) {
  std::vector<std::pair<std::string, std::string>> missed;
  if (expect.position) {
    const std::int64_t off = static_cast<std::int64_t>(state.CurrentPosition) - *expect.position;
    if (off > expect.tolerance || -off > expect.tolerance) {
      missed.emplace_back("position " + std::to_string(*expect.position) +
                              (expect.tolerance > 0 ? " within " + std::to_string(expect.tolerance) : ""),
                          "position " + std::to_string(state.CurrentPosition));
    }
  }
  if (expect.running && *expect.running != IsSet(state.Running)) {
    const auto words = [](bool running) { return std::string(running ? "running" : "not running"); };
    missed.emplace_back(words(*expect.running), words(IsSet(state.Running)));
  }
  for (const PlanInput& input : expect.inputs) {
    const bool on = ReadInteger(BytesOf(state), *input.field) != 0;
    if (on != input.on) {
      const std::string name(input.field->name);
      missed.emplace_back(name + " " + OnOff(input.on), name + " " + OnOff(on));
    }
  }
  if (expect.voltage && !Within(*expect.voltage, state.InputVoltage)) {
    missed.emplace_back("voltage " + LimitsText(*expect.voltage) + " V", "voltage " + Number(state.InputVoltage) + " V");
  }
  if (expect.temperature && !Within(*expect.temperature, state.Temperature)) {
    missed.emplace_back("temperature " + LimitsText(*expect.temperature) + " °C",
                        "temperature " + Number(state.Temperature) + " °C");
  }
  if (missed.empty()) return std::nullopt;
  StepFailure failure;
  for (const auto& [expected, got] : missed) {
    failure.expected += (failure.expected.empty() ? "" : ", ") + expected;
    failure.got += (failure.got.empty() ? "" : ", ") + got;
  }
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
      } else {
        for (ControllerRun& controller : run_.controllers) {
          if (!controller.failed && !Interrupted()) Timed(controller, index, [&] { return Do(controller, step); });
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
    outcome.duration = std::chrono::duration_cast<milliseconds>(console_.pacing.now() - begun);
    outcome.verdict = failure ? StepVerdict::kFailed : StepVerdict::kPassed;
    if (failure) {
      outcome.expected = failure->expected;
      outcome.got = failure->got;
    }
    Line(controller, index, failure ? "FAILED: expected " + outcome.expected + "; got " + outcome.got
                                    : "passed (" + std::to_string(outcome.duration.count()) + " ms)");
    if (failure) Fail(controller, index);
  }

  void Line(const ControllerRun& controller, std::size_t index, const std::string& what) {
    Say(controller.serial + " step " + std::to_string(index + 1) + "/" +
                                std::to_string(plan_.steps.size()) + " " +
                                std::string(PlanStepName(plan_.steps[index].kind)) + ": " + what);
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
    Say(controller.serial + (result == 0 ? " stopped" : " NOT stopped: " + session_.FailureText(Entry::Stop, result)));
  }

  void StopStarted() {
    // Sent before anything is said: the output may be what ended the run.
    const std::vector<StopSent> sent = started_.StopAll(session_.Library());
    Say("interrupted: stopping every controller the plan started");
    for (const StopSent& stop : sent) {
      const auto controller =
          std::ranges::find_if(run_.controllers, [&](const ControllerRun& c) { return c.device == stop.device; });
      if (controller != run_.controllers.end()) Stopped(*controller, stop.result);
    }
  }

  std::optional<StepFailure> Do(ControllerRun& controller, const PlanStep& step) {
    const std::int32_t device = controller.device;
    switch (step.kind) {
      case PlanStepKind::kSetMode:
      case PlanStepKind::kSetParameters:
      case PlanStepKind::kLoad:
        return Write(controller, step);
      case PlanStepKind::kStart:
        started_.Add(device);
        destinations_[device] = step.destination;
        StartMove(session_, device, step.destination, step.speed, step.divisor, {}, console_.decimalSeparator);
        return std::nullopt;
      case PlanStepKind::kExpect:
        return Unmet(step.expect, ReadRecord(session_, device, Entry::GetState, &ControllerLibrary::GetState));
      case PlanStepKind::kStop:
        session_.Check(Entry::Stop, session_.Library().Stop(device));
        started_.Remove(device);
        destinations_.erase(device);
        return std::nullopt;
      case PlanStepKind::kSave:
        session_.Check(Entry::SaveParametersToFlash, session_.Library().SaveParametersToFlash(device));
        return std::nullopt;
      case PlanStepKind::kVerify:
        return Differences({Differing(controller, PlanRecord::kMode, controller.modeWritten),
                            Differing(controller, PlanRecord::kParameters, controller.parametersWritten)});
      case PlanStepKind::kWait:
      case PlanStepKind::kPause:
        break;
    }
    return std::nullopt;
  }

  std::optional<StepFailure> Write(ControllerRun& controller, const PlanStep& step) {
    WriteFields(session_, controller.device, step.record, step.values, console_.decimalSeparator);
    std::vector<FieldValue>& written =
        step.record == PlanRecord::kMode ? controller.modeWritten : controller.parametersWritten;
    written.insert(written.end(), step.values.begin(), step.values.end());
    if (!step.verify) return std::nullopt;
    return Differences({WrittenFieldDifferences(session_, controller.device, step.record, step.values)});
  }

  std::vector<std::string> Differing(const ControllerRun& controller, PlanRecord record,
                                     const std::vector<FieldValue>& written) {
    if (written.empty()) return {};
    return WrittenFieldDifferences(session_, controller.device, record, written);
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
      if (!controller.failed) waiting.push_back(&controller);
    }
    bool lastRound = false;
    while (!waiting.empty() && !Interrupted()) {
      std::erase_if(waiting, [&](ControllerRun* controller) { return Polled(*controller, index, begun, lastRound); });
      if (waiting.empty() || lastRound) break;
      const milliseconds spent = std::chrono::duration_cast<milliseconds>(console_.pacing.now() - begun);
      console_.pacing.sleep(std::clamp(limit - spent, milliseconds{0}, kWaitInterval));
      lastRound = console_.pacing.now() - begun >= limit;
    }
  }

  // True when the controller is done waiting: stopped, failed or out of time.
  bool Polled(ControllerRun& controller, std::size_t index, Clock::time_point begun, bool lastRound) {
    KAVR_State state{};
    const ResultCode result = session_.Library().GetState(controller.device, state);
    if (result != 0) {
      session_.Check(Entry::GetState, session_.LibraryUnavailable(result) ? result : 0);
      Record(controller, index, begun, StepFailure{"the motor to stop", session_.FailureText(Entry::GetState, result)});
      return true;
    }
    const auto destination = destinations_.find(controller.device);
    if (!IsSet(state.Running)) {
      Record(controller, index, begun, std::nullopt);
      // Two programs driving one controller stop each other's moves: say so.
      if (destination != destinations_.end() && state.CurrentPosition != destination->second) {
        Say(controller.serial + " note: stopped at " + std::to_string(state.CurrentPosition) + ", short of " +
            std::to_string(destination->second) + ": something this run did not send stopped it (another "
            "program's Stop, or an input)");
      }
      destinations_.erase(controller.device);
      return true;
    }
    if (!lastRound) return false;
    const double seconds = static_cast<double>(plan_.steps[index].duration.count()) / 1000.0;
    Record(controller, index, begun,
           StepFailure{"the motor stopped within " + Number(seconds) + " s",
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

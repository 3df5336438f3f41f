#include "app/plan_runner.h"

#include <algorithm>
#include <map>

#include "app/call_failure.h"
#include "app/expect_conditions.h"
#include "app/field_assignments.h"
#include "app/started_controllers.h"
#include "app/write_check.h"
#include "transcript/record_fields.h"

namespace kavr {
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

// A call of a step failed, or a value was refused before it was sent: the
// step fails with these words. Thrown and caught in this file only.
struct StepCallFailed {
  std::string got;
};

// The library itself is gone: the run ends. Thrown and caught in this file only.
struct LibraryWentAway {
  LibraryLost call;
};

// A get entry of the library, e.g. &ControllerLibrary::GetMode.
template <typename Record>
using RecordCall = ResultCode (ControllerLibrary::*)(std::int32_t, Record&);

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "; ") + line;
  return text;
}

class PlanRunner {
 public:
  PlanRunner(PlanRun& run, ControllerLibrary& library, const PlanRunSurroundings& surroundings)
      : run_(run), plan_(*run.plan), library_(library), around_(surroundings) {}

  std::optional<LibraryLost> Run() {
    try {
      RunSteps();
    } catch (const LibraryWentAway& gone) {
      return gone.call;
    }
    return std::nullopt;
  }

 private:
  void RunSteps() {
    const Clock::time_point begun = around_.pacing.now();
    if (around_.arm) around_.arm();
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
    run_.duration = std::chrono::duration_cast<milliseconds>(around_.pacing.now() - begun);
  }

  bool Interrupted() {
    if (run_.interrupted) return true;
    if (!run_.outputLost) {
      if (!around_.interruption) return false;
      std::optional<RunInterruption> interruption = around_.interruption();
      if (!interruption) return false;
      run_.interruption = std::move(interruption->what);
      run_.outputLost = interruption->outputLost;
    }
    run_.interrupted = true;
    return true;
  }

  // A live line; once one cannot be shown, the run ends as interrupted
  // and shows nothing more.
  void Say(const std::string& text) {
    if (run_.outputLost || !around_.show) return;
    std::string problem;
    if (around_.show(text, problem)) return;
    run_.outputLost = true;
    run_.interruption = std::move(problem);
  }

  // Throws the step's failure for a call that failed, or the end of the
  // run when the library itself is gone.
  void Check(Entry entry, ResultCode result) {
    if (result == 0) return;
    if (LibraryGone(library_, result)) throw LibraryWentAway{{entry, result}};
    throw StepCallFailed{DescribeFailedCall(library_, entry, result).text};
  }

  // The record as `call` filled it, from zero.
  template <typename Record>
  Record Read(std::int32_t device, Entry entry, RecordCall<Record> call) {
    Record record{};
    Check(entry, (library_.*call)(device, record));
    return record;
  }

  // Runs one step on one controller and records its outcome; a library
  // failure counts as the step's failure unless the library itself is gone.
  template <typename Step>
  void Timed(ControllerRun& controller, std::size_t index, Step step) {
    const Clock::time_point begun = around_.pacing.now();
    std::optional<StepFailure> failure;
    try {
      failure = step();
    } catch (const StepCallFailed& call) {
      failure = StepFailure{"the library calls to succeed", call.got};
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
    outcome.duration = std::chrono::duration_cast<milliseconds>(around_.pacing.now() - begun);
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
    Stopped(controller, library_.Stop(controller.device));
  }

  void Stopped(const ControllerRun& controller, ResultCode result) {
    Say(controller.serial +
        (result == 0 ? " stopped"
                     : " NOT stopped: " + DescribeFailedCall(library_, Entry::Stop, result).text));
  }

  void StopStarted() {
    // Sent before anything is said: the output may be what ended the run.
    const std::vector<StopSent> sent = started_.StopAll(library_);
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
        const auto conditions =
            MeasureExpectation(step.expect, Read(device, Entry::GetState, &ControllerLibrary::GetState));
        for (const MeasuredCondition& condition : conditions)
          outcome.measurements.push_back(condition.measurement);
        return Unmet(conditions);
      }
      case PlanStepKind::kStop:
        Check(Entry::Stop, library_.Stop(device));
        started_.Remove(device);
        destinations_.erase(device);
        return std::nullopt;
      case PlanStepKind::kSave:
        Check(Entry::SaveParametersToFlash, library_.SaveParametersToFlash(device));
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

  // The start parameters read, the step divisor set in them, and the move
  // started. Returns the speed the library left (it may lower it through
  // its reference).
  float StartMove(std::int32_t device, const PlanStep& step, KAVR_StartParameters* sent = nullptr) {
    auto start = Read(device, Entry::GetStartParameters, &ControllerLibrary::GetStartParameters);
    start.StepDivisor = step.divisor;
    float speed = step.speed;
    Check(Entry::Start, library_.Start(device, step.destination, speed, start));
    if (sent != nullptr) *sent = start;
    return speed;
  }

  void Start(std::int32_t device, const PlanStep& step, std::vector<Measurement>& measured) {
    StartMeasured(step, StartMove(device, step), measured);
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
    move.before = Read(controller.device, Entry::GetState, &ControllerLibrary::GetState);
    move.parameters = Read(controller.device, Entry::GetParameters, &ControllerLibrary::GetParameters);
    move.from = move.before.CurrentPosition;
    move.destination = step.destination;
    move.speed = step.speed;
    controller.move.reset();
    const Clock::time_point sent = around_.pacing.now();
    StartMeasured(step, StartMove(controller.device, step, &move.start), measured);
    controller.movedAt = around_.pacing.now();
    controller.moveCall = controller.movedAt - sent;
    controller.move = move;
    return std::nullopt;
  }

  std::optional<StepFailure> Write(ControllerRun& controller, const PlanStep& step,
                                   std::vector<Measurement>& measured) {
    WriteFields(controller.device, step.record, step.values);
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

  // Read, change only the fields named, write back. A failed read writes
  // nothing, nor does a changed value beyond the library's limits.
  template <typename Record>
  void WriteRecord(std::int32_t device, Entry readEntry, RecordCall<Record> read, Entry writeEntry,
                   RecordCall<Record> write, std::span<const FieldValue> values) {
    Record record = Read(device, readEntry, read);
    if (auto limited = ChangedValueLimitProblem(BytesOf(record), values)) {
      throw StepCallFailed{*limited + "; nothing was written"};
    }
    ApplyFieldValues(WritableBytesOf(record), values);
    Check(writeEntry, (library_.*write)(device, record));
  }

  void WriteFields(std::int32_t device, PlanRecord record, std::span<const FieldValue> values) {
    if (record == PlanRecord::kMode) {
      WriteRecord(device, Entry::GetMode, &ControllerLibrary::GetMode, Entry::SetMode,
                  &ControllerLibrary::SetMode, values);
    } else {
      WriteRecord(device, Entry::GetParameters, &ControllerLibrary::GetParameters, Entry::SetParameters,
                  &ControllerLibrary::SetParameters, values);
    }
  }

  // The record's bytes as read now, to compare with what was written.
  std::vector<std::uint8_t> ReadBackRecord(std::int32_t device, PlanRecord record) {
    const auto bytes = [](RecordBytes read) { return std::vector<std::uint8_t>(read.begin(), read.end()); };
    if (record == PlanRecord::kMode)
      return bytes(BytesOf(Read(device, Entry::GetMode, &ControllerLibrary::GetMode)));
    return bytes(BytesOf(Read(device, Entry::GetParameters, &ControllerLibrary::GetParameters)));
  }

  // The record read back: one line per value that did not stick, and each
  // value sent and kept as a measurement.
  std::vector<std::string> Differing(const ControllerRun& controller, PlanRecord record,
                                     const std::vector<FieldValue>& written,
                                     std::vector<Measurement>& measured) {
    if (written.empty()) return {};
    const std::vector<std::uint8_t> readBack = ReadBackRecord(controller.device, record);
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
    const Clock::time_point begun = around_.pacing.now();
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
      const milliseconds spent = std::chrono::duration_cast<milliseconds>(around_.pacing.now() - begun);
      around_.pacing.sleep(std::clamp(limit - spent, milliseconds{0}, kWaitInterval));
      lastRound = around_.pacing.now() - begun >= limit;
    }
  }

  // True when the controller is done waiting: stopped, failed or out of time.
  bool Polled(ControllerRun& controller, std::size_t index, Clock::time_point begun, bool lastRound) {
    KAVR_State state{};
    const Clock::time_point sent = around_.pacing.now();
    const ResultCode result = library_.GetState(controller.device, state);
    if (result != 0) {
      if (LibraryGone(library_, result)) throw LibraryWentAway{{Entry::GetState, result}};
      Record(controller, index, begun,
             StepFailure{"the motor to stop", DescribeFailedCall(library_, Entry::GetState, result).text});
      return true;
    }
    const auto destination = destinations_.find(controller.device);
    const milliseconds spent = std::chrono::duration_cast<milliseconds>(around_.pacing.now() - begun);
    StepOutcome& outcome = controller.steps[index];
    outcome.trace.push_back({spent.count(), state.CurrentPosition});
    if (controller.shadow) {
      if (auto departure = controller.shadow->Hold(sent, around_.pacing.now(), state)) {
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
    const Clock::time_point begun = around_.pacing.now();
    while (pause.count() > 0 && !Interrupted()) {
      const milliseconds step = std::min(pause, kInterruptCheck);
      around_.pacing.sleep(step);
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
    const Clock::time_point begun = around_.pacing.now();
    const PowerCycleEnd cycled = around_.powerCycle
                                     ? around_.powerCycle()
                                     : PowerCycleEnd{"nobody to switch the controllers off and on"};
    if (cycled.initResult != 0 && LibraryGone(library_, cycled.initResult)) {
      throw LibraryWentAway{{Entry::Init, cycled.initResult}};
    }
    std::optional<StepFailure> failure;
    if (!cycled.problem.empty())
      failure = StepFailure{"the controllers back after the power cycle", cycled.problem};
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
  ControllerLibrary& library_;
  const PlanRunSurroundings& around_;
  StartedControllers started_;
  // The destination of each move this run started and has not seen end.
  std::map<std::int32_t, std::int32_t> destinations_;
};

}  // namespace

std::optional<LibraryLost> RunPlan(PlanRun& run, ControllerLibrary& library,
                                   const PlanRunSurroundings& surroundings) {
  return PlanRunner(run, library, surroundings).Run();
}

}  // namespace kavr

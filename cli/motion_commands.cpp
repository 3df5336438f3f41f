// The commands that move or watch the motor: start (and wait), watch.
#include <algorithm>
#include <charconv>
#include <iterator>
#include <vector>

#include "app/field_assignments.h"
#include "app/motion_wait.h"
#include "app/move_shadow.h"
#include "app/started_controllers.h"
#include "app/state_line.h"
#include "app/typed_numbers.h"
#include "commands.h"
#include "output.h"
#include "reports/reports.h"

namespace kavr::cli {
namespace {

// How often a wait reads the state, and the longest a watch sleeps before
// it looks for Ctrl+C again.
constexpr std::chrono::milliseconds kWaitInterval{50};
constexpr std::chrono::milliseconds kInterruptCheck{50};

// Numbers on the command line are in C notation, whatever the locale.
constexpr std::string_view kCommandLineSeparator = ".";

// The number read from `text`, or the command refused for `problem`.
template <typename T>
T Converted(const std::optional<T>& number, const char* name, const std::string& text,
            const std::string& problem) {
  if (!number) throw Failure{kBadUsage, std::string(name) + ": \"" + text + "\" " + problem};
  return *number;
}

FieldWrites StartFieldWrites(const Request& request) {
  for (const std::string& text : request.assignments) {
    if (text.starts_with("StepDivisor=")) throw Failure{kBadUsage, "StepDivisor is set with --divisor"};
  }
  std::string problem;
  std::optional<FieldWrites> named =
      ParseAssignments(StartFields(), RecordName<KAVR_StartParameters>(), request.assignments, problem);
  if (!named) throw Failure{kBadUsage, problem};
  return std::move(*named);
}

// What an interruption leaves behind, read afresh. `started` holds the
// controller when this command started it: it is sent Stop first.
[[noreturn]] void ThrowInterrupted(Session& session, const Console& console, std::int32_t device,
                                   StartedControllers started = {}) {
  const int code = InterruptedExitCode(console);
  const std::string controller = "controller " + std::to_string(device + 1);
  std::string what = "interrupted; " + controller;
  for (const StopSent& stop : started.StopAll(session.Library())) {
    if (stop.result != 0) {
      throw Failure{code, what + " NOT stopped: " + session.FailureText(Entry::Stop, stop.result)};
    }
    what = "interrupted; Stop sent to " + controller + ";";
  }
  KAVR_State state{};
  if (session.Library().GetState(device, state) != 0) {
    throw Failure{code, what + " its state could not be read"};
  }
  throw Failure{code, what + (IsSet(state.Running) ? " still running at " : " stopped at ") +
                          std::to_string(state.CurrentPosition)};
}

int WaitForStop(const Request& request, Session& session, Console& console, std::int32_t device,
                MoveShadow* shadow) {
  const auto seen = [&](std::chrono::steady_clock::time_point sent, const KAVR_State& state) {
    if (shadow != nullptr) shadow->Hold(sent, console.pacing.now(), state);
  };
  const MotionWait wait = WaitUntilStopped(session.Library(), device, request.waitLimit, kWaitInterval,
                                           console.pacing, console.interrupted, seen);
  switch (wait.end) {
    case MotionWaitEnd::kStopped:
      if (shadow != nullptr && shadow->Departure()) {
        throw Failure{kCallFailed, "the move left its prediction: " + *shadow->Departure()};
      }
      return kSuccess;
    case MotionWaitEnd::kReadFailed:
      session.Check(Entry::GetState, wait.result);
      break;
    case MotionWaitEnd::kInterrupted: {
      StartedControllers started;
      started.Add(device);
      ThrowInterrupted(session, console, device, std::move(started));
    }
    case MotionWaitEnd::kTimedOut:
      break;
  }
  char seconds[32];
  const double limit =
      static_cast<double>(request.waitLimit.value_or(std::chrono::milliseconds{}).count()) / 1000.0;
  char* end = std::to_chars(seconds, seconds + sizeof seconds, limit).ptr;
  throw Failure{kWaitTimedOut, "the motor is still running after " + std::string(seconds, end) +
                                   " s, at position " + std::to_string(wait.state.CurrentPosition)};
}

void SleepUnlessInterrupted(std::chrono::milliseconds pause, Console& console) {
  while (pause.count() > 0 && !console.interrupted()) {
    const auto step = std::min(pause, kInterruptCheck);
    console.pacing.sleep(step);
    pause -= step;
  }
}

}  // namespace

// Constant, and kept for the run because the values parsed point into it.
std::span<const RecordField> StartFields() {
  static const std::vector<RecordField> fields = [] {
    std::vector<RecordField> named;
    std::ranges::copy_if(RecordFields<KAVR_StartParameters>(), std::back_inserter(named),
                         [](const RecordField& field) { return field.name != "StepDivisor"; });
    return named;
  }();
  return fields;
}

std::string StartMove(Session& session, std::int32_t device, std::int32_t destination, float speed,
                      std::uint8_t divisor, std::span<const FieldValue> startValues,
                      std::string_view decimalSeparator, float* speedLeft, KAVR_StartParameters* sent) {
  auto start = ReadRecord(session, device, Entry::GetStartParameters, &ControllerLibrary::GetStartParameters);
  start.StepDivisor = divisor;
  ApplyFieldValues(WritableBytesOf(start), startValues);
  // The library may lower the speed through its reference; the report shows what it left.
  session.Check(Entry::Start, session.Library().Start(device, destination, speed, start));
  if (speedLeft != nullptr) *speedLeft = speed;
  if (sent != nullptr) *sent = start;
  return StartReportText(destination, speed, start, decimalSeparator);
}

int StartCommand(const Request& request, Session& session, Console& console) {
  std::string problem;
  const std::int32_t typedDestination =
      Converted(ReadDestination(request.destination, kCommandLineSeparator, problem), "DEST",
                request.destination, problem);
  const float typedSpeed =
      Converted(ReadSpeed(request.speed, kCommandLineSeparator, problem), "SPEED", request.speed, problem);
  if (!(typedSpeed > 0.0f)) throw Failure{kBadUsage, "SPEED: \"" + request.speed + "\" is not above 0"};
  const FieldWrites named = StartFieldWrites(request);
  // Caught from before the start, so that no Ctrl+C leaves a move unreported.
  if (request.wait) console.armInterrupt();
  if (const auto note = FloatSentNote("SPEED", request.speed, typedSpeed))
    PrintText(console.err, "kavrctl: " + *note, "standard error");
  for (const std::string& note : named.notes) PrintText(console.err, "kavrctl: " + note, "standard error");

  const std::int32_t device = session.Device();
  MoveSent move;
  if (request.shadow) {
    move.before = ReadRecord(session, device, Entry::GetState, &ControllerLibrary::GetState);
    move.parameters = ReadRecord(session, device, Entry::GetParameters, &ControllerLibrary::GetParameters);
    move.from = move.before.CurrentPosition;
    move.destination = typedDestination;
    move.speed = typedSpeed;
  }
  const auto sent = console.pacing.now();
  const std::string report =
      StartMove(session, device, typedDestination, typedSpeed, static_cast<std::uint8_t>(request.stepDivisor),
                named.values, console.decimalSeparator, nullptr, &move.start);
  const auto started = console.pacing.now();
  try {
    PrintText(console.out, report);
  } catch (Failure& lost) {
    // No one is left to see the wait: the move it was to watch is stopped.
    if (!request.wait) throw;
    StartedControllers moving;
    moving.Add(device);
    const ResultCode result = moving.StopAll(session.Library()).front().result;
    lost.message += result == 0 ? "; Stop sent to controller " + std::to_string(device + 1)
                                : "; controller " + std::to_string(device + 1) +
                                      " NOT stopped: " + session.FailureText(Entry::Stop, result);
    throw;
  }
  std::optional<MoveShadow> shadow;
  if (request.shadow) shadow.emplace(started, move, ShadowTolerance{}, started - sent);
  return request.wait ? WaitForStop(request, session, console, device, shadow ? &*shadow : nullptr)
                      : kSuccess;
}

int WatchCommand(const Request& request, Session& session, Console& console) {
  const std::int32_t device = session.Device();
  console.armInterrupt();
  bool failed = false;
  PolledMove polled;
  for (std::int64_t reads = 1; !console.interrupted(); ++reads) {
    KAVR_State state{};
    const ResultCode result = session.Library().GetState(device, state);
    if (result == 0) {
      PrintText(console.out, console.clockText() + " " + StateLine(state, console.decimalSeparator));
      if (const auto departure = request.shadow ? polled.Hold(console.pacing.now(), state) : std::nullopt) {
        PrintText(console.out, console.clockText() + " shadow: " + *departure);
      }
    } else if (session.LibraryUnavailable(result)) {
      session.Check(Entry::GetState, result);
    } else {
      failed = true;
      PrintText(console.err, console.clockText() + " " + session.FailureText(Entry::GetState, result),
                "standard error");
    }
    session.CheckTranscript();
    if (request.count && reads >= *request.count) return failed ? kCallFailed : kSuccess;
    SleepUnlessInterrupted(request.interval, console);
  }
  ThrowInterrupted(session, console, device);
}

}  // namespace kavr::cli

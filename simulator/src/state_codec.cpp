#include "simulator/state_codec.h"

#include <cmath>
#include <cstdint>

#include "simulator/checked_record.h"
#include "simulator/number_text.h"
#include "simulator/parameter_checks.h"

namespace kavr::sim {
namespace {

constexpr std::string_view kMagic = "KAVRSTAT";
constexpr std::uint32_t kFormatVersion = 2;
constexpr std::size_t kLongestError = 4096;

std::int64_t Nanoseconds(Clock::TimePoint time) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
}

Clock::TimePoint FromNanoseconds(std::int64_t nanoseconds) {
  return Clock::TimePoint(
      std::chrono::duration_cast<Clock::TimePoint::duration>(std::chrono::nanoseconds(nanoseconds)));
}

void PutPlan(PayloadWriter& out, const MotionPlan& plan) {
  out.Put(Nanoseconds(plan.start));
  out.Put(plan.startPosition);
  out.Put(plan.startVelocity);
  out.Put(plan.restPosition);
  out.Put(plan.cruiseSpeed);
  out.Put(static_cast<std::uint8_t>(plan.counterClockwise));
  out.Put(static_cast<std::uint8_t>(plan.phaseCount));
  for (std::size_t index = 0; index < plan.phaseCount; ++index) {
    out.Put(plan.phases[index].seconds);
    out.Put(plan.phases[index].endVelocity);
    out.Put(static_cast<std::uint8_t>(plan.phases[index].fullSpeed));
  }
}

void PutWear(PayloadWriter& out, const RigWear& wear) {
  out.Put(static_cast<std::uint8_t>(wear.rotaryError));
  out.Put(static_cast<std::uint8_t>(wear.emergencyPushed));
  out.Put(static_cast<std::uint8_t>(wear.emergencyUsed));
  out.Put(static_cast<std::uint8_t>(wear.emergencyAt.has_value()));
  out.Put(wear.emergencyAt ? Nanoseconds(*wear.emergencyAt) : std::int64_t{0});
  out.Put(wear.heat);
  out.Put(Nanoseconds(wear.advancedTo));
}

// Reads values back and remembers the first that no controller could hold.
class Checker {
 public:
  explicit Checker(PayloadReader& in) : in_(in) {}

  bool Flag(const char* what) {
    const auto value = in_.Get<std::uint8_t>();
    if (value > 1) Fail(std::string(what) + " is neither 0 nor 1");
    return value == 1;
  }
  double Finite(const char* what) {
    const auto value = in_.Get<double>();
    if (!std::isfinite(value)) Fail(std::string(what) + " is not a finite number");
    return value;
  }
  Clock::TimePoint Time(const char* what) {
    const auto value = in_.Get<std::int64_t>();
    if (value < 0) Fail(std::string(what) + " lies before the clock's start");
    return FromNanoseconds(value);
  }
  void Check(const Problem& problem) {
    if (problem) Fail(*problem);
  }
  void Fail(std::string problem) {
    if (!problem_) problem_ = std::move(problem);
  }
  PayloadReader& In() { return in_; }
  Problem& Result() { return problem_; }

 private:
  PayloadReader& in_;
  Problem problem_;
};

MotionPlan GetPlan(Checker& check) {
  MotionPlan plan;
  plan.start = check.Time("a move's start");
  plan.startPosition = check.Finite("a start position");
  plan.startVelocity = check.Finite("a start velocity");
  plan.restPosition = check.Finite("a rest position");
  plan.cruiseSpeed = check.Finite("a cruise speed");
  plan.counterClockwise = check.Flag("a direction");
  plan.phaseCount = check.In().Get<std::uint8_t>();
  if (plan.phaseCount > MotionPlan::kMostPhases) {
    check.Fail("a move has " + IntText(static_cast<long long>(plan.phaseCount)) + " phases");
    plan.phaseCount = 0;
  }
  for (std::size_t index = 0; index < plan.phaseCount; ++index) {
    MotionPhase& phase = plan.phases[index];
    phase.seconds = check.Finite("a phase's length");
    if (phase.seconds < 0.0) check.Fail("a phase's length is negative");
    phase.endVelocity = check.Finite("a phase's velocity");
    phase.fullSpeed = check.Flag("a full-speed mark");
  }
  return plan;
}

RigWear GetWear(Checker& check) {
  RigWear wear;
  wear.rotaryError = check.Flag("a rotary error mark");
  wear.emergencyPushed = check.Flag("an emergency mark");
  wear.emergencyUsed = check.Flag("an emergency-used mark");
  const bool pending = check.Flag("a pending emergency mark");
  const Clock::TimePoint at = check.Time("an emergency's time");
  if (pending) wear.emergencyAt = at;
  wear.heat = check.Finite("a motor's heat");
  if (wear.heat < 0.0) check.Fail("a motor's heat is negative");
  wear.advancedTo = check.Time("the rig's time");
  return wear;
}

}  // namespace

std::string EncodeState(const LiveState& state) { return SealStatePayload(EncodeStatePayload(state)); }

std::string SealStatePayload(std::string_view payload) { return SealRecord(kMagic, kFormatVersion, payload); }

std::string EncodeStatePayload(const LiveState& state) {
  PayloadWriter out;
  out.Put(static_cast<std::uint32_t>(state.controllers.size()));
  out.Put(Nanoseconds(state.poweredOn));
  out.PutText(std::string_view(state.lastError).substr(0, kLongestError));
  for (const ControllerState& controller : state.controllers) {
    out.Put(controller.mode);
    out.Put(controller.parameters);
    out.Put(controller.start);
    out.Put(static_cast<std::uint8_t>(controller.afterReset));
    out.Put(controller.stepDivisor);
    PutPlan(out, controller.motion.Plan());
    PutWear(out, controller.wear);
  }
  return out.Take();
}

Problem DecodeState(std::string_view bytes, LiveState& state) {
  std::string_view payload;
  if (auto problem = OpenRecord(bytes, kMagic, kFormatVersion, payload)) return problem;
  PayloadReader in(payload);
  Checker check(in);
  const auto count = in.Get<std::uint32_t>();
  if (count > static_cast<std::uint32_t>(kMaxDeviceCount)) {
    return "it holds " + IntText(count) + " controllers, more than " + IntText(kMaxDeviceCount);
  }
  LiveState read;
  read.poweredOn = check.Time("the switch-on time");
  read.lastError = in.GetText(kLongestError);
  read.controllers.reserve(count);
  for (std::uint32_t index = 0; index < count; ++index) {
    ControllerState& controller = read.controllers.emplace_back(read.poweredOn);
    controller.mode = in.Get<KAVR_Mode>();
    controller.parameters = in.Get<KAVR_Parameters>();
    controller.start = in.Get<KAVR_StartParameters>();
    controller.afterReset = check.Flag("an After Reset mark");
    controller.stepDivisor = in.Get<std::uint8_t>();
    controller.motion = Motion(GetPlan(check));
    controller.wear = GetWear(check);
    check.Check(ModeProblem(controller.mode));
    check.Check(ParametersProblem(controller.parameters));
    if (!IsStepDivisor(controller.stepDivisor)) check.Fail("a step divisor is not 1, 2, 4 or 8");
  }
  if (!in.Complete()) return "its contents are cut short or run on";
  if (auto& problem = check.Result()) return "it holds a bad value: " + *problem;
  state = std::move(read);
  return std::nullopt;
}

}  // namespace kavr::sim

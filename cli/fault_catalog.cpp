#include "fault_catalog.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>

#include "contract/entry_names.h"
#include "transcript/library_call.h"

namespace kavr::cli {
namespace {

using Json = nlohmann::ordered_json;

// The stand-in's fastest speed at divisor 1; each finer divisor doubles it.
constexpr double kFullSpeedAtDivisor1 = 5000.0;
// The supply and temperature the rig gives for its faults: a 12 V supply
// sagging by a quarter, and a controller far over its working heat.
constexpr double kLowSupply = 9.0;
constexpr double kLowSupplyUnderLoad = 8.5;
constexpr double kOverTemperature = 85.0;
constexpr double kSlowBy = 0.2;

std::string StepNumber(std::size_t index) { return "step " + std::to_string(index + 1); }

// The entries each step calls, besides the Init every run starts with.
std::vector<Entry> EntriesOf(const PlanStep& step) {
  const bool mode = step.record == PlanRecord::kMode;
  switch (step.kind) {
    case PlanStepKind::kSetMode:
    case PlanStepKind::kSetParameters:
    case PlanStepKind::kLoad:
      return mode ? std::vector{Entry::GetMode, Entry::SetMode}
                  : std::vector{Entry::GetParameters, Entry::SetParameters};
    case PlanStepKind::kStart:
      return {Entry::GetStartParameters, Entry::Start};
    case PlanStepKind::kWait:
    case PlanStepKind::kExpect:
      return {Entry::GetState};
    case PlanStepKind::kStop:
      return {Entry::Stop};
    case PlanStepKind::kSave:
      return {Entry::SaveParametersToFlash};
    case PlanStepKind::kPause:
    case PlanStepKind::kVerify:
    case PlanStepKind::kPowerCycle:
      break;
  }
  return {};
}

bool Writes(const PlanStep& step) {
  return step.kind == PlanStepKind::kSetMode || step.kind == PlanStepKind::kSetParameters ||
         step.kind == PlanStepKind::kLoad;
}

std::optional<std::size_t> FirstStep(const Plan& plan, PlanStepKind kind, std::size_t from = 0) {
  for (std::size_t index = from; index < plan.steps.size(); ++index) {
    if (plan.steps[index].kind == kind) return index;
  }
  return std::nullopt;
}

std::vector<Fault> EntryFaults(const Plan& plan) {
  std::vector<bool> used(kEntryCount, false);
  used[static_cast<std::size_t>(Entry::Init)] = true;
  for (const PlanStep& step : plan.steps) {
    for (const Entry entry : EntriesOf(step)) used[static_cast<std::size_t>(entry)] = true;
  }
  std::vector<Fault> faults;
  for (std::size_t index = 0; index < kEntryCount; ++index) {
    if (!used[index]) continue;
    const std::string name(ShortEntryName(static_cast<Entry>(index)));
    faults.push_back({"fail:" + name,
                      name + " fails (the library answers with an error)",
                      {{"KAVR_SIM_FAIL", name}},
                      "",
                      "no step fails when " + name + " does: check its answer"});
  }
  return faults;
}

// A value of the field's kind other than `value`.
std::string OtherValue(const FieldValue& value) {
  const RecordField& field = *value.field;
  if (field.kind == FieldKind::kFlag) return value.integer != 0 ? "0" : "1";
  if (field.kind == FieldKind::kFloat) {
    const float other = std::fabs(value.real) < 1e6f ? value.real + 1.0f : value.real / 2.0f;
    return FloatText(other);
  }
  const std::int64_t highest = field.kind == FieldKind::kUInt8   ? std::numeric_limits<std::uint8_t>::max()
                               : field.kind == FieldKind::kInt16 ? std::numeric_limits<std::int16_t>::max()
                                                                 : std::numeric_limits<std::int32_t>::max();
  return std::to_string(value.integer < highest ? value.integer + 1 : value.integer - 1);
}

// A read-back of what `index` wrote: its own verify, or a verify step
// before any power cycle forgets it.
bool ReadBack(const Plan& plan, std::size_t index) {
  if (plan.steps[index].verify) return true;
  for (std::size_t later = index + 1; later < plan.steps.size(); ++later) {
    if (plan.steps[later].kind == PlanStepKind::kVerify) return true;
    if (plan.steps[later].kind == PlanStepKind::kPowerCycle) return false;
  }
  return false;
}

std::vector<Fault> KeptValueFaults(const Plan& plan) {
  std::vector<Fault> faults;
  for (std::size_t index = 0; index < plan.steps.size(); ++index) {
    const PlanStep& step = plan.steps[index];
    if (!Writes(step)) continue;
    for (const FieldValue& value : step.values) {
      const std::string name(value.field->name);
      if (std::ranges::any_of(faults, [&](const Fault& fault) { return fault.name == "keep:" + name; }))
        continue;
      const std::string kept = OtherValue(value);
      faults.push_back(
          {"keep:" + name,
           name + " does not stick: it keeps " + kept + " whatever is written",
           {{"KAVR_SIM_KEEP", name + "=" + kept}},
           "",
           ReadBack(plan, index)
               ? "the read-back after step " + std::to_string(index + 1) + " did not notice " + name
               : "no step reads back " + name + ": add \"verify\": true to " + StepNumber(index)});
    }
  }
  return faults;
}

// What the rig's faults are built around: the plan's first move.
struct FirstMove {
  std::optional<std::size_t> start;  // its step
  std::size_t after = 0;             // the step after which its end can be checked
  std::int32_t destination = 2000;
  double seconds = 1.0;  // about how long it takes
};

FirstMove FirstMoveOf(const Plan& plan) {
  FirstMove move;
  move.start = FirstStep(plan, PlanStepKind::kStart);
  if (!move.start) return move;
  const PlanStep& start = plan.steps[*move.start];
  move.destination = start.destination;
  const double speed = std::min<double>(start.speed, kFullSpeedAtDivisor1 * start.divisor);
  move.seconds = std::abs(static_cast<double>(start.destination)) / speed + 0.1;
  move.after = FirstStep(plan, PlanStepKind::kWait, *move.start).value_or(*move.start);
  return move;
}

// True when some mode write of the plan sets `field`.
bool ModeSets(const Plan& plan, std::string_view field) {
  for (const PlanStep& step : plan.steps) {
    if (!Writes(step) || step.record != PlanRecord::kMode) continue;
    for (const FieldValue& value : step.values) {
      if (value.field->name == field && value.integer != 0) return true;
    }
  }
  return false;
}

std::string NeverMoves() {
  return "the plan never moves the motor: add a start and a wait, then an expect of the position";
}

std::string PositionHint(const FirstMove& move, const std::string& what) {
  return "nothing checks " + what + ": add an expect of the position after " + StepNumber(move.after);
}

std::string TrailerHint(const Plan& plan, const FirstMove& move) {
  if (!move.start) return NeverMoves();
  if (!ModeSets(plan, "Trailer1Enabled")) {
    return "nothing enables Trailer 1 in the mode: add \"Trailer1Enabled\": true to a set-mode step";
  }
  return PositionHint(move, "where the first move ended");
}

std::string RotaryHint(const Plan&, const FirstMove& move) {
  if (!move.start) return NeverMoves();
  return "nothing checks the rotary transducer after the first move: add \"inputs\": {\"RotaryError\": "
         "false} to "
         "an expect after " +
         StepNumber(move.after);
}

std::string EmergencyHint(const Plan&, const FirstMove& move) {
  if (!move.start) return NeverMoves();
  return PositionHint(move, "the state after the first move") + " (or \"EmergencyPushed\": false)";
}

template <typename Band>
std::string ReadingHint(const Plan& plan, Band band, const std::string& what, double fault,
                        const std::string& add) {
  for (std::size_t index = 0; index < plan.steps.size(); ++index) {
    const PlanStep& step = plan.steps[index];
    if (step.kind == PlanStepKind::kExpect && band(step.expect)) {
      return "the " + what + " band of " + StepNumber(index) + " lets " +
             FloatText(static_cast<float>(fault)) + " through: narrow it";
    }
  }
  return "no step checks the " + what + ": add " + add + " to an expect";
}

std::string SupplyHint(const Plan& plan, const FirstMove&) {
  return ReadingHint(
      plan, [](const PlanExpectation& expect) { return expect.voltage.has_value(); }, "voltage", kLowSupply,
      "\"voltage\": {\"min\": 11, \"max\": 13}");
}

std::string TemperatureHint(const Plan& plan, const FirstMove&) {
  return ReadingHint(
      plan, [](const PlanExpectation& expect) { return expect.temperature.has_value(); }, "temperature",
      kOverTemperature, "\"temperature\": {\"max\": 60}");
}

std::string FlashHint(const Plan& plan, const FirstMove&) {
  const auto save = FirstStep(plan, PlanStepKind::kSave);
  if (!save) return "nothing is saved: add a save, then a power-cycle step and a verify";
  const auto cycle = FirstStep(plan, PlanStepKind::kPowerCycle, *save);
  if (!cycle) return "nothing power-cycles after the save: add a power-cycle step and a verify";
  if (!FirstStep(plan, PlanStepKind::kVerify, *cycle)) {
    return "nothing reads the parameters back after the power cycle of " + StepNumber(*cycle) +
           ": add a verify";
  }
  return "the verify after the power cycle finds nothing saved to check: write parameters before the save";
}

std::string SlowHint(const Plan& plan, const FirstMove& move) {
  if (!move.start) return NeverMoves();
  const double limit = std::ceil(move.seconds * (1.0 + kSlowBy / 2.0) * 10.0) / 10.0;
  const std::string wait = plan.steps[move.after].kind == PlanStepKind::kWait
                               ? "the wait of " + StepNumber(move.after)
                               : "a wait after " + StepNumber(move.after);
  return "no wait is tight enough to notice a motor 20% slow: give " + wait + " about " +
         FloatText(static_cast<float>(limit)) + " s (the move takes about " +
         FloatText(static_cast<float>(std::round(move.seconds * 100.0) / 100.0)) + " s)";
}

// The rig of a fault, for every controller ("*").
using RigOf = Json (*)(const FirstMove&);
using HintOf = std::string (*)(const Plan&, const FirstMove&);

struct RigFault {
  const char* name;
  const char* description;
  RigOf rig;
  HintOf hint;
};

const RigFault kRigFaults[] = {
    {"trailer", "Trailer 1 pressed half way along the first move",
     [](const FirstMove& move) {
       const std::int32_t half = move.destination / 2;
       return Json{{"trailer1", move.destination >= 0 ? Json{{"from", half}, {"to", move.destination}}
                                                      : Json{{"from", move.destination}, {"to", half}}}};
     },
     TrailerHint},
    {"rotary-error", "the rotary transducer flags an error half way along the first move",
     [](const FirstMove& move) {
       return Json{{"rotary_error_at", move.destination / 2}};
     },
     RotaryHint},
    {"emergency", "the emergency button pushed during the first move",
     [](const FirstMove& move) {
       return Json{
           {"emergency_after_ms", std::max<std::int64_t>(10, std::llround(move.seconds * 1000.0 / 2.0))}};
     },
     EmergencyHint},
    {"low-supply", "the supply at 9 V, 8.5 V under load",
     [](const FirstMove&) {
       return Json{{"supply", kLowSupply}, {"supply_under_load", kLowSupplyUnderLoad}};
     },
     SupplyHint},
    {"over-temperature", "the controller at 85 °C",
     [](const FirstMove&) {
       return Json{{"temperature", kOverTemperature}};
     },
     TemperatureHint},
    {"flash-lost", "a save answers success and is gone after a power cycle",
     [](const FirstMove&) {
       return Json{{"flash_lost", true}};
     },
     FlashHint},
    {"slow-motor", "the motor runs 20% slower than asked",
     [](const FirstMove&) {
       return Json{{"slow_by", kSlowBy}};
     },
     SlowHint},
};

}  // namespace

std::vector<Fault> FaultCatalog(const Plan& plan) {
  std::vector<Fault> faults = EntryFaults(plan);
  for (Fault& fault : KeptValueFaults(plan)) faults.push_back(std::move(fault));
  const FirstMove move = FirstMoveOf(plan);
  for (const RigFault& rig : kRigFaults) {
    faults.push_back(
        {rig.name, rig.description, {}, Json{{"*", rig.rig(move)}}.dump(), rig.hint(plan, move)});
  }
  return faults;
}

}  // namespace kavr::cli

#include "app/plan.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>

#include "app/field_assignments.h"
#include "app/problem.h"
#include "app/record_json.h"
#include "contract/limits.h"

namespace kavr {
namespace {

using Json = nlohmann::ordered_json;

// Deeper than any plan needs; keeps a hostile file from exhausting the stack
// of the recursive parts of the JSON library.
constexpr int kDeepestNesting = 32;
// More members than any plan object takes: a wider one is refused as it is
// read, which keeps the reading linear.
constexpr std::size_t kMostMembers = 256;
constexpr double kLongestWaitSeconds = 1e9;
constexpr std::int64_t kLongestPauseMs = 86'400'000;

// Thrown inside this file only: ReadPlan turns it into its problem text.
struct Refusal {
  std::string text;
};

[[noreturn]] void Refuse(std::string text) { throw Refusal{std::move(text)}; }

using StepParser = void (*)(const Json& step, PlanStep& parsed, const SettingsFileReader& readSettings);

struct StepRule {
  PlanStepKind kind;
  std::string_view name;
  std::initializer_list<std::string_view> keys;  // besides "step"
  StepParser parse;
};

std::string Quoted(std::string_view text) { return Json(std::string(text)).dump(); }

// Refuses a member that is neither one of `keys` nor `unlisted` (a step's
// own "step", which the message need not offer).
void RequireKeys(const Json& object, std::initializer_list<std::string_view> keys, std::string_view where,
                 std::string_view unlisted = {}) {
  for (const auto& [key, value] : object.items()) {
    if (std::ranges::find(keys, key) != keys.end() || key == unlisted) continue;
    std::string known;
    for (const std::string_view name : keys) known += (known.empty() ? "" : ", ") + std::string(name);
    Refuse(Quoted(key) + " is not a member of " + std::string(where) +
           (known.empty() ? "; it takes none" : "; it takes: " + known));
  }
}

const Json* Member(const Json& object, const char* name) {
  const auto found = object.find(name);
  return found == object.end() ? nullptr : &*found;
}

const Json& Required(const Json& object, const char* name) {
  const Json* value = Member(object, name);
  if (value == nullptr) Refuse(std::string(name) + " is missing");
  return *value;
}

double Number(const Json& value, std::string_view name) {
  if (!value.is_number() || !std::isfinite(value.get<double>())) {
    Refuse(std::string(name) + ": " + value.dump() + " is not a finite number");
  }
  return value.get<double>();
}

std::int64_t WholeNumber(const Json& value, std::string_view name, std::int64_t min, std::int64_t max) {
  std::int64_t whole = 0;
  if (value.is_number_unsigned()) {
    whole = static_cast<std::int64_t>(
        std::min<std::uint64_t>(value.get<std::uint64_t>(), std::numeric_limits<std::int64_t>::max()));
  } else if (value.is_number_integer()) {
    whole = value.get<std::int64_t>();
  } else {
    Refuse(std::string(name) + ": " + value.dump() + " is not a whole number");
  }
  if (whole < min || whole > max) {
    Refuse(std::string(name) + ": " + value.dump() + " is outside " + std::to_string(min) + " to " +
           std::to_string(max));
  }
  return whole;
}

bool Boolean(const Json& value, std::string_view name) {
  if (!value.is_boolean()) Refuse(std::string(name) + ": " + value.dump() + " is not true or false");
  return value.get<bool>();
}

std::vector<FieldValue> RecordValues(const std::string& settings, PlanRecord record) {
  std::string problem;
  const std::optional<FieldWrites> writes = record == PlanRecord::kMode
                                                ? FieldWritesFromJson<KAVR_Mode>(settings, problem)
                                                : FieldWritesFromJson<KAVR_Parameters>(settings, problem);
  if (!writes) Refuse(problem);
  if (writes->values.empty()) Refuse("names no field to write");
  // What the library would refuse is refused here, before any step is sent.
  for (const FieldValue& value : writes->values) {
    if (auto limited = LimitProblem(value)) Refuse(*limited);
  }
  return writes->values;
}

void ParseWrite(const Json& step, PlanStep& parsed, PlanRecord record) {
  const Json& fields = Required(step, "fields");
  if (!fields.is_object()) Refuse("fields: " + fields.dump() + " is not an object of field names and values");
  parsed.record = record;
  parsed.values = RecordValues(fields.dump(), record);
  if (const Json* verify = Member(step, "verify")) parsed.verify = Boolean(*verify, "verify");
}

void ParseSetMode(const Json& step, PlanStep& parsed, const SettingsFileReader&) {
  ParseWrite(step, parsed, PlanRecord::kMode);
}

void ParseSetParameters(const Json& step, PlanStep& parsed, const SettingsFileReader&) {
  ParseWrite(step, parsed, PlanRecord::kParameters);
}

void ParseLoad(const Json& step, PlanStep& parsed, const SettingsFileReader& readSettings) {
  const Json& record = Required(step, "record");
  if (record == "mode") {
    parsed.record = PlanRecord::kMode;
  } else if (record == "parameters") {
    parsed.record = PlanRecord::kParameters;
  } else {
    Refuse("record: " + record.dump() + " is neither \"mode\" nor \"parameters\"");
  }
  const Json& file = Required(step, "file");
  if (!file.is_string() || file.get<std::string>().empty())
    Refuse("file: " + file.dump() + " is not a file name");
  parsed.file = file.get<std::string>();
  std::string problem;
  const auto text = readSettings(parsed.file, problem);
  if (!text) Refuse(problem);
  try {
    parsed.values = RecordValues(*text, parsed.record);
  } catch (const Refusal& refusal) {
    Refuse(parsed.file + ": " + refusal.text);
  }
  if (const Json* verify = Member(step, "verify")) parsed.verify = Boolean(*verify, "verify");
}

void ParseStart(const Json& step, PlanStep& parsed, const SettingsFileReader&) {
  // Rounded like a destination typed on the command line.
  const double destination = std::round(Number(Required(step, "destination"), "destination"));
  if (destination < std::numeric_limits<std::int32_t>::min() ||
      destination > std::numeric_limits<std::int32_t>::max()) {
    Refuse("destination: " + Required(step, "destination").dump() + " is outside the signed 32-bit range");
  }
  parsed.destination = static_cast<std::int32_t>(destination);
  const Json& speedJson = Required(step, "speed");
  const double speed = Number(speedJson, "speed");
  if (!(speed > 0.0) || speed > std::numeric_limits<float>::max() || static_cast<float>(speed) == 0.0f) {
    Refuse("speed: " + speedJson.dump() + " is not above 0 as a 32-bit float");
  }
  parsed.speed = static_cast<float>(speed);
  if (const Json* divisor = Member(step, "divisor")) {
    const std::int64_t value = WholeNumber(*divisor, "divisor", 1, 8);
    if (!IsStepDivisor(value)) Refuse("divisor: " + divisor->dump() + " is not 1, 2, 4 or 8");
    parsed.divisor = static_cast<std::uint8_t>(value);
  }
}

void ParseWait(const Json& step, PlanStep& parsed, const SettingsFileReader&) {
  const Json& seconds = Required(step, "seconds");
  const double limit = Number(seconds, "seconds");
  if (!(limit >= 0.0 && limit <= kLongestWaitSeconds)) {
    Refuse("seconds: " + seconds.dump() + " is not a number of seconds from 0 up");
  }
  parsed.duration = std::chrono::milliseconds(static_cast<std::int64_t>(std::ceil(limit * 1000.0)));
  if (const Json* shadow = Member(step, "shadow")) {
    if (!shadow->is_object())
      Refuse("shadow: " + shadow->dump() + " is not an object such as {\"tolerance\": 50}");
    RequireKeys(*shadow, {"tolerance", "percent"}, "shadow");
    ShadowTolerance tolerance;
    if (const Json* steps = Member(*shadow, "tolerance")) {
      tolerance.steps = WholeNumber(*steps, "shadow.tolerance", 0, std::numeric_limits<std::uint32_t>::max());
    }
    if (const Json* percent = Member(*shadow, "percent")) {
      if (tolerance.steps) Refuse("shadow: give tolerance or percent, not both");
      const double share = Number(*percent, "shadow.percent");
      if (!(share >= 0.0 && share <= 100.0))
        Refuse("shadow.percent: " + percent->dump() + " is not from 0 to 100");
      tolerance.percent = share;
    }
    parsed.shadow = tolerance;
  }
}

void ParsePause(const Json& step, PlanStep& parsed, const SettingsFileReader&) {
  parsed.duration = std::chrono::milliseconds(WholeNumber(Required(step, "ms"), "ms", 0, kLongestPauseMs));
}

PlanLimits Limits(const Json& value, std::string_view name) {
  if (!value.is_object())
    Refuse(std::string(name) + ": " + value.dump() + " is not an object with min and/or max");
  RequireKeys(value, {"min", "max", "marginal"}, name);
  PlanLimits limits;
  if (const Json* min = Member(value, "min")) limits.min = Number(*min, std::string(name) + ".min");
  if (const Json* max = Member(value, "max")) limits.max = Number(*max, std::string(name) + ".max");
  if (!limits.min && !limits.max) Refuse(std::string(name) + ": give min, max or both");
  if (limits.min && limits.max && *limits.min > *limits.max) Refuse(std::string(name) + ": min is above max");
  if (const Json* marginal = Member(value, "marginal")) {
    limits.marginal = Number(*marginal, std::string(name) + ".marginal");
    if (!(*limits.marginal >= 0.0))
      Refuse(std::string(name) + ".marginal: " + marginal->dump() + " is below 0");
  }
  return limits;
}

std::vector<PlanInput> Inputs(const Json& value) {
  if (!value.is_object())
    Refuse("inputs: " + value.dump() + " is not an object of state flags and true/false");
  std::vector<PlanInput> inputs;
  for (const auto& [name, on] : value.items()) {
    const RecordField* field = FindField(RecordFields<KAVR_State>(), name);
    if (field == nullptr || field->kind != FieldKind::kFlag) {
      std::string flags;
      for (const RecordField& candidate : RecordFields<KAVR_State>()) {
        if (candidate.kind == FieldKind::kFlag)
          flags += (flags.empty() ? "" : ", ") + std::string(candidate.name);
      }
      Refuse("inputs: " + Quoted(name) + " is not a flag of KAVR_State; the flags are: " + flags);
    }
    inputs.push_back({field, Boolean(on, "inputs." + name)});
  }
  return inputs;
}

void ParseExpect(const Json& step, PlanStep& parsed, const SettingsFileReader&) {
  PlanExpectation& expect = parsed.expect;
  if (const Json* position = Member(step, "position")) {
    expect.position =
        static_cast<std::int32_t>(WholeNumber(*position, "position", std::numeric_limits<std::int32_t>::min(),
                                              std::numeric_limits<std::int32_t>::max()));
  }
  if (const Json* tolerance = Member(step, "tolerance")) {
    if (!expect.position) Refuse("tolerance is given without a position");
    expect.tolerance = WholeNumber(*tolerance, "tolerance", 0, std::numeric_limits<std::uint32_t>::max());
  }
  if (const Json* running = Member(step, "running")) expect.running = Boolean(*running, "running");
  if (const Json* inputs = Member(step, "inputs")) expect.inputs = Inputs(*inputs);
  if (const Json* voltage = Member(step, "voltage")) expect.voltage = Limits(*voltage, "voltage");
  if (const Json* temperature = Member(step, "temperature"))
    expect.temperature = Limits(*temperature, "temperature");
  // Named conditions on the state's flags, the same as inputs.
  for (const auto& [key, field] :
       {std::pair{"rotary_error", "RotaryError"}, {"emergency", "EmergencyPushed"}, {"power", "PowerOn"}}) {
    if (const Json* on = Member(step, key)) {
      expect.inputs.push_back({FindField(RecordFields<KAVR_State>(), field), Boolean(*on, key)});
    }
  }
  if (!expect.position && !expect.running && expect.inputs.empty() && !expect.voltage &&
      !expect.temperature) {
    Refuse(
        "names no condition (position, running, inputs, voltage, temperature, rotary_error, emergency, "
        "power)");
  }
}

void ParseNothing(const Json&, PlanStep&, const SettingsFileReader&) {}

const StepRule kStepRules[] = {
    {PlanStepKind::kSetMode, "set-mode", {"fields", "verify"}, ParseSetMode},
    {PlanStepKind::kSetParameters, "set-parameters", {"fields", "verify"}, ParseSetParameters},
    {PlanStepKind::kLoad, "load", {"record", "file", "verify"}, ParseLoad},
    {PlanStepKind::kStart, "start", {"destination", "speed", "divisor"}, ParseStart},
    {PlanStepKind::kWait, "wait", {"seconds", "shadow"}, ParseWait},
    {PlanStepKind::kExpect,
     "expect",
     {"position", "tolerance", "running", "inputs", "voltage", "temperature", "rotary_error", "emergency",
      "power"},
     ParseExpect},
    {PlanStepKind::kPause, "pause", {"ms"}, ParsePause},
    {PlanStepKind::kStop, "stop", {}, ParseNothing},
    {PlanStepKind::kSave, "save", {}, ParseNothing},
    {PlanStepKind::kVerify, "verify", {}, ParseNothing},
    {PlanStepKind::kPowerCycle, "power-cycle", {}, ParseNothing},
};

std::string StepNames() {
  std::string names;
  for (const StepRule& rule : kStepRules) names += (names.empty() ? "" : ", ") + std::string(rule.name);
  return names;
}

PlanStep ParseStep(const Json& step, const SettingsFileReader& readSettings) {
  if (!step.is_object()) Refuse("not an object with a \"step\" member");
  const Json& name = Required(step, "step");
  const auto rule = std::ranges::find_if(
      kStepRules, [&](const StepRule& r) { return name.is_string() && name.get<std::string>() == r.name; });
  if (rule == std::end(kStepRules)) Refuse(name.dump() + " is not a step; the steps are: " + StepNames());
  RequireKeys(step, rule->keys, rule->name, "step");
  PlanStep parsed;
  parsed.kind = rule->kind;
  rule->parse(step, parsed, readSettings);
  return parsed;
}

// Parses, refusing a name given twice in one object (the JSON library would
// keep one of them silently) and nesting beyond kDeepestNesting.
Json ParseStrictly(std::string_view text) {
  // The parser takes a NUL for the end of the text and ignores what follows.
  if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
    Refuse("not JSON: a NUL byte at byte " + std::to_string(nul + 1) + "; nothing may follow the value");
  }
  std::vector<std::set<std::string>> openObjects;
  const Json::parser_callback_t check = [&](int depth, Json::parse_event_t event, Json& parsed) {
    if (depth > kDeepestNesting) Refuse("nested deeper than " + std::to_string(kDeepestNesting) + " levels");
    switch (event) {
      case Json::parse_event_t::object_start:
        openObjects.emplace_back();
        break;
      case Json::parse_event_t::object_end:
        if (!openObjects.empty()) openObjects.pop_back();
        break;
      case Json::parse_event_t::key:
        // The plan's own members are known before the rest is read.
        if (depth == 1)
          RequireKeys(Json::object({{parsed.get<std::string>(), nullptr}}), {"name", "steps"}, "a plan");
        if (!openObjects.empty() && openObjects.back().size() >= kMostMembers) {
          Refuse("an object of more than " + std::to_string(kMostMembers) + " members");
        }
        if (!openObjects.empty() && !openObjects.back().insert(parsed.get<std::string>()).second) {
          Refuse(parsed.dump() + " is given twice in one object");
        }
        break;
      default:
        break;
    }
    return true;
  };
  try {
    return Json::parse(text, check);
  } catch (const Json::exception& error) {
    // "[json.exception.parse_error.101] parse error at line 1, column 2: ...",
    // or a number beyond a double: "[json.exception.out_of_range.406] number overflow ..."
    const std::string what = error.what();
    const std::size_t bracket = what.find(']');
    Refuse("not JSON: " + (bracket == std::string::npos ? what : what.substr(bracket + 2)));
  }
}

Plan ParsePlan(std::string_view text, const SettingsFileReader& readSettings) {
  const Json json = ParseStrictly(text);
  if (!json.is_object()) Refuse("not a JSON object with a name and steps");
  RequireKeys(json, {"name", "steps"}, "a plan");
  Plan plan;
  const Json& name = Required(json, "name");
  if (!name.is_string() || name.get<std::string>().empty()) Refuse("name: " + name.dump() + " is not a text");
  plan.name = name.get<std::string>();
  const Json& steps = Required(json, "steps");
  if (!steps.is_array() || steps.empty()) Refuse("steps: not a list of at least one step");
  for (std::size_t index = 0; index < steps.size(); ++index) {
    try {
      plan.steps.push_back(ParseStep(steps[index], readSettings));
    } catch (const Refusal& refusal) {
      const Json* kind = steps[index].is_object() ? Member(steps[index], "step") : nullptr;
      const std::string named =
          kind != nullptr && kind->is_string() ? " (" + kind->get<std::string>() + ")" : "";
      Refuse("step " + std::to_string(index + 1) + named + ": " + refusal.text);
    }
  }
  return plan;
}

}  // namespace

std::string_view PlanStepName(PlanStepKind kind) {
  for (const StepRule& rule : kStepRules) {
    if (rule.kind == kind) return rule.name;
  }
  return "?";
}

std::optional<Plan> ReadPlan(std::string_view text, const SettingsFileReader& readSettings,
                             std::string& problem) {
  try {
    return ParsePlan(text, readSettings);
  } catch (const Refusal& refusal) {
    return Fail(problem, refusal.text);
  } catch (const nlohmann::json::exception& error) {
    // Every check above comes first; this is the last guard at the file's edge.
    return Fail(problem, std::string("cannot be read: ") + error.what());
  } catch (const std::bad_alloc&) {
    return Fail(problem, "too large to read");
  }
}

}  // namespace kavr

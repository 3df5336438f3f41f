#include "app/expect_conditions.h"

#include "reports/reports.h"
#include "transcript/record_fields.h"

namespace kavr {
namespace {

using Conditions = std::vector<MeasuredCondition>;

std::string OnOff(bool on) { return on ? "on" : "off"; }

MeasurementLimits Exactly(double value, std::optional<double> tolerance = std::nullopt) {
  return {.expected = value, .tolerance = tolerance};
}

std::string LimitsText(const PlanLimits& limits) {
  if (limits.min && limits.max)
    return MeasurementNumber(*limits.min) + " to " + MeasurementNumber(*limits.max);
  if (limits.min) return "at least " + MeasurementNumber(*limits.min);
  return "at most " + MeasurementNumber(*limits.max);
}

// A condition and its words; the measurement judged against its limits.
void Add(Conditions& conditions, Measurement measurement, std::string expected, std::string got) {
  measurement.outcome = Judge(measurement.limits, measurement.value);
  conditions.push_back({std::move(measurement), std::move(expected), std::move(got)});
}

void Position(const PlanExpectation& expect, const KAVR_State& state, Conditions& conditions) {
  if (!expect.position) return;
  const double tolerance = static_cast<double>(expect.tolerance);
  Add(conditions,
      {.name = "CurrentPosition",
       .value = static_cast<double>(state.CurrentPosition),
       .unit = "steps",
       .limits = Exactly(*expect.position, tolerance)},
      "position " + std::to_string(*expect.position) +
          (expect.tolerance > 0 ? " within " + std::to_string(expect.tolerance) : ""),
      "position " + std::to_string(state.CurrentPosition));
}

void Running(const PlanExpectation& expect, const KAVR_State& state, Conditions& conditions) {
  if (!expect.running) return;
  const auto words = [](bool running) { return std::string(running ? "running" : "not running"); };
  const bool running = IsSet(state.Running);
  Add(conditions,
      {.name = "Running", .value = running ? 1.0 : 0.0, .limits = Exactly(*expect.running ? 1 : 0)},
      words(*expect.running), words(running));
}

void Inputs(const PlanExpectation& expect, const KAVR_State& state, Conditions& conditions) {
  for (const PlanInput& input : expect.inputs) {
    const bool on = ReadInteger(BytesOf(state), *input.field) != 0;
    const std::string name(input.field->name);
    Add(conditions, {.name = name, .value = on ? 1.0 : 0.0, .limits = Exactly(input.on ? 1 : 0)},
        name + " " + OnOff(input.on), name + " " + OnOff(on));
  }
}

// A reading held to a range: the supply voltage, the temperature.
void Reading(const std::optional<PlanLimits>& limits, const char* name, const char* words, const char* unit,
             float value, Conditions& conditions) {
  if (!limits) return;
  Add(conditions,
      {.name = name,
       .value = static_cast<double>(value),
       .unit = unit,
       .limits = {.min = limits->min, .max = limits->max, .marginal = limits->marginal}},
      std::string(words) + " " + LimitsText(*limits) + " " + unit,
      std::string(words) + " " + MeasurementNumber(value) + " " + unit);
}

void Voltage(const PlanExpectation& expect, const KAVR_State& state, Conditions& conditions) {
  Reading(expect.voltage, "InputVoltage", "voltage", "V", state.InputVoltage, conditions);
}

void Temperature(const PlanExpectation& expect, const KAVR_State& state, Conditions& conditions) {
  Reading(expect.temperature, "Temperature", "temperature", "°C", state.Temperature, conditions);
}

using ConditionReader = void (*)(const PlanExpectation&, const KAVR_State&, Conditions&);
constexpr ConditionReader kConditionReaders[] = {Position, Running, Inputs, Voltage, Temperature};

}  // namespace

std::vector<MeasuredCondition> MeasureExpectation(const PlanExpectation& expect, const KAVR_State& state) {
  Conditions conditions;
  for (const ConditionReader read : kConditionReaders) read(expect, state, conditions);
  return conditions;
}

}  // namespace kavr

// Test plans: one procedure, read from a JSON file, that kavrctl runs over
// many controllers. The whole plan is checked here, with the same field
// names and value checks as the commands, before anything is sent; a plan
// that is read is one that can run.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/field_assignments.h"
#include "app/move_shadow.h"
#include "transcript/record_fields.h"

namespace kavr {

enum class PlanStepKind {
  kSetMode,
  kSetParameters,
  kLoad,
  kStart,
  kWait,
  kExpect,
  kPause,
  kStop,
  kSave,
  kVerify,
  // Every controller of the run switched off and on: what a save must survive.
  kPowerCycle,
};

// "set-mode", "wait" and so on: how a plan names the step.
std::string_view PlanStepName(PlanStepKind kind);

// Which record a write goes to.
enum class PlanRecord { kMode, kParameters };

// Inclusive limits of a reading; either may be open. A value within
// `marginal` of a limit passes but is flagged.
struct PlanLimits {
  std::optional<double> min;
  std::optional<double> max;
  std::optional<double> marginal;
};

// A switch input of the state (a flag of KAVR_State) that must be on or off.
struct PlanInput {
  const RecordField* field = nullptr;
  bool on = false;
};

// What an expect step requires of the state; at least one condition is set.
struct PlanExpectation {
  std::optional<std::int32_t> position;
  std::int64_t tolerance = 0;  // microsteps either side of `position`
  std::optional<bool> running;
  std::vector<PlanInput> inputs;
  std::optional<PlanLimits> voltage;
  std::optional<PlanLimits> temperature;
};

struct PlanStep {
  PlanStepKind kind = PlanStepKind::kStop;
  // set-mode, set-parameters, load: the record and the checked values.
  PlanRecord record = PlanRecord::kMode;
  std::vector<FieldValue> values;
  bool verify = false;  // read back after the write
  std::string file;     // load: as the plan names it
  // start
  std::int32_t destination = 0;
  float speed = 0.0f;
  std::uint8_t divisor = 1;
  // wait: the time limit; pause: how long
  std::chrono::milliseconds duration{0};
  // wait: hold each move against its prediction, within this tolerance
  std::optional<ShadowTolerance> shadow;
  PlanExpectation expect;
};

struct Plan {
  std::string name;
  std::vector<PlanStep> steps;
};

// The text of a settings file a load step names. Failure: see app/problem.h.
using SettingsFileReader =
    std::function<std::optional<std::string>(const std::string& file, std::string& problem)>;

// A plan, or the first reason to refuse it: "step 3 (start): speed: ...".
// Never throws, whatever the text: duplicate names, numbers beyond any
// range and values of the wrong kind are refused like unknown names.
std::optional<Plan> ReadPlan(std::string_view text, const SettingsFileReader& readSettings,
                             std::string& problem);

}  // namespace kavr

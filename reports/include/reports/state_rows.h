// The state of a controller as rows of label and value: the one model the
// state report's text, the monitor's fields and kavrctl watch's line are
// all views of. A new monitor field is one row here and one label there.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "contract/records.h"

namespace kavr {

enum class StateRowKey {
  kPosition,
  kTemperature,
  kStepDivisor,
  kLoft,
  kPower,
  kMotion,
  kReset,
  kSyncIn,
  kSyncOut,
  kRotary,
  kRotaryError,
  kEmergency,
  kTrailer1,
  kTrailer2,
  kVoltage,
};

struct StateRow {
  StateRowKey key;
  // The report line is label + value, as the report has always worded it
  // ("- Step Motor is " + "Running in CCW Direction ", trailing space and
  // all).
  std::string_view label;
  std::string value;
  // A switch input's short name for the monitor ("Trailer 1") and whether
  // its flag is set; nothing for the rows that are no switch input.
  std::optional<std::string_view> inputName = std::nullopt;
  bool active = false;
};

// The rows in the report's order, numbers printed with `decimalSeparator`.
std::vector<StateRow> StateRows(const KAVR_State& state, std::string_view decimalSeparator);

// The value of the row with that key (empty when there is none).
std::string_view StateValue(const std::vector<StateRow>& rows, StateRowKey key);

}  // namespace kavr

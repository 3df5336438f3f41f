// What the monitor shows of a controller's state. Every word and number is
// a value of the state report's own rows (reports/state_rows.h), so that the
// monitor and the report box can never tell the user two different things
// about one record. Shells: kavrtest (the monitor).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "contract/records.h"
#include "reports/state_rows.h"

namespace kavr {

// One switch input: its name, the report's word for its state ("Pushed",
// "TRUE", "Clear"...) and whether it is active (its flag is set).
struct StateIndicator {
  std::string_view name;
  std::string word;
  bool active = false;
};

struct StateSummary {
  std::string position;                // the number alone: "-250"
  std::string motion;                  // "Running in CCW Direction at Full Speed", "Not Running"
  std::string power;                   // "Full", "Half", "Off"
  std::string voltage;                 // "12.0", or "Low"
  std::string temperature;             // "31.25°C"
  std::string stepDivisor;             // "8"
  std::vector<StateIndicator> inputs;  // emergency, trailers, sync in/out, rotary
};

// The switch inputs the monitor lights, in its order.
inline constexpr StateRowKey kMonitoredInputs[] = {
    StateRowKey::kEmergency, StateRowKey::kTrailer1, StateRowKey::kTrailer2,    StateRowKey::kSyncIn,
    StateRowKey::kSyncOut,   StateRowKey::kRotary,   StateRowKey::kRotaryError,
};

StateSummary SummarizeState(const KAVR_State& state, std::string_view decimalSeparator);

// The names of the inputs a summary lists, in its order.
std::vector<std::string_view> StateInputNames();

}  // namespace kavr

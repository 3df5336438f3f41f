#include "app/state_summary.h"

#include "reports/state_rows.h"

namespace kavr {
namespace {

std::string Trimmed(std::string_view text) {
  while (text.ends_with(' ')) text.remove_suffix(1);
  return std::string(text);
}

}  // namespace

StateSummary SummarizeState(const KAVR_State& state, std::string_view decimalSeparator) {
  const std::vector<StateRow> rows = StateRows(state, decimalSeparator);
  const auto value = [&rows](StateRowKey key) { return std::string(StateValue(rows, key)); };
  StateSummary summary{value(StateRowKey::kPosition),
                       // The report keeps a trailing space after the direction; the field does not.
                       Trimmed(StateValue(rows, StateRowKey::kMotion)),
                       value(StateRowKey::kPower),
                       value(StateRowKey::kVoltage),
                       value(StateRowKey::kTemperature),
                       value(StateRowKey::kStepDivisor),
                       {}};
  for (StateRowKey key : kMonitoredInputs) {
    for (const StateRow& row : rows) {
      if (row.key == key && row.inputName) summary.inputs.push_back({*row.inputName, row.value, row.active});
    }
  }
  return summary;
}

std::vector<std::string_view> StateInputNames() {
  std::vector<std::string_view> names;
  for (const StateIndicator& input : SummarizeState(KAVR_State{}, ".").inputs) names.push_back(input.name);
  return names;
}

}  // namespace kavr

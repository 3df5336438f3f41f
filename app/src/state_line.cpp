#include "app/state_line.h"

#include "reports/report_text.h"
#include "reports/state_rows.h"

namespace kavr {

std::string StateLine(const KAVR_State& state, std::string_view decimalSeparator) {
  const std::vector<StateRow> rows = StateRows(state, decimalSeparator);
  // Direction and full speed in the line's own short words, from the flags;
  // every other value is the report's.
  std::string line = "position=" + std::string(StateValue(rows, StateRowKey::kPosition));
  line += " running=";
  line += IsSet(state.Running) ? FlagWord(state.DirectionCCW, "CCW", "CW") : "no";
  line += " full-speed=";
  line += FlagWord(state.FullSpeed, "yes", "no");
  line += " power=" + std::string(StateValue(rows, StateRowKey::kPower));
  line += " voltage=" + std::string(StateValue(rows, StateRowKey::kVoltage));
  line += " temperature=" + std::string(StateValue(rows, StateRowKey::kTemperature));
  return line;
}

}  // namespace kavr

#include "app/state_line.h"

#include "reports/report_text.h"

namespace kavr {

std::string StateLine(const KAVR_State& state, std::string_view decimalSeparator) {
  ReportText line{std::string(decimalSeparator)};
  line.Append("position=").AppendInteger(state.CurrentPosition);
  line.Append(" running=").Append(IsSet(state.Running) ? FlagWord(state.DirectionCCW, "CCW", "CW") : "no");
  line.Append(" full-speed=").Append(FlagWord(state.FullSpeed, "yes", "no"));
  line.Append(" power=").Append(IsSet(state.PowerOn) ? FlagWord(state.FullPower, "Full", "Half") : "Off");
  line.Append(" voltage=");
  // As in the report: a voltage that is neither below nor above zero (NaN too) is low.
  if (state.InputVoltage < 0.0f || state.InputVoltage > 0.0f) {
    line.AppendNumber(state.InputVoltage, "0.0");
  } else {
    line.Append("Low");
  }
  line.Append(" temperature=").AppendNumber(state.Temperature, "0.00").Append(kDegreeSign).Append("C");
  return std::move(line).Take();
}

}  // namespace kavr

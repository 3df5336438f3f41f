#include "reports/report_text.h"
#include "reports/reports.h"

namespace kavr {

namespace {
constexpr std::string_view kStateTitle = "KAVR_GetState Successful";

constexpr std::string_view PushedWord(Flag pushed) { return FlagWord(pushed, "Pushed", "Unpushed"); }
constexpr std::string_view PinWord(Flag state) { return FlagWord(state, "TRUE", "FALSE"); }
}  // namespace

std::string StateReportText(const KAVR_State& state, std::string_view decimal_separator) {
  ReportText report{std::string(decimal_separator)};
  report.Line("The state is:");
  report.Append("- Current Position in microsteps - ").AppendInteger(state.CurrentPosition).EndLine();
  report.Append("- Temperature - ").AppendNumber(state.Temperature, "0.00").Append(kDegreeSign).Line("C");
  report.Append("- Step Divisor - ").AppendNumber(state.StepDivisor, "0").EndLine();
  report.Append("- Loft State - ").Line(FlagWord(state.LoftIndefinite, "Indefinite", "Fixed"));

  report.Append("- Power - ");
  if (IsSet(state.PowerOn)) {
    report.Line(FlagWord(state.FullPower, "Full", "Half"));
  } else {
    report.Line("Off");
  }

  if (IsSet(state.Running)) {
    // The direction keeps its trailing space even when nothing follows it.
    report.Append("- Step Motor is Running in ")
        .Append(FlagWord(state.DirectionCCW, "CCW Direction ", "CW Direction "));
    if (state.StepDivisor == 1 && IsSet(state.FullSpeed)) report.Append("at Full Speed");
    report.EndLine();
  } else {
    report.Line("- Step Motor is Not Running");
  }

  report.Append("- Device ").Line(FlagWord(state.AfterReset, "is After Reset", "Position Already Set"));
  report.Append("- Input Synchronization Logical Pin State - ").Line(PinWord(state.SyncInState));
  report.Append("- Output Synchronization Logical Pin State - ").Line(PinWord(state.SyncOutState));
  report.Append("- Rotary Transducer Logical Pin State - ").Line(PinWord(state.RotaryState));
  report.Append("- Rotary Transducer Error Flag - ").Line(FlagWord(state.RotaryError, "Error", "Clear"));
  report.Append("- Emergency Disable Button - ").Line(PushedWord(state.EmergencyPushed));
  report.Append("- Trailer 1 Press State - ").Line(PushedWord(state.Trailer1Pushed));
  report.Append("- Trailer 2 Press State - ").Line(PushedWord(state.Trailer2Pushed));

  // Zero of either sign and not-a-number all mean the supply is low.
  report.Append("- Input Voltage - ");
  if (state.InputVoltage < 0.0f || state.InputVoltage > 0.0f) {
    report.AppendNumber(state.InputVoltage, "0.0").EndLine();
  } else {
    report.Line("Low");
  }
  return std::move(report).Take();
}

void PrintState(const KAVR_State& state, std::string_view decimal_separator, ReportDisplay& display) {
  display.ShowReport(StateReportText(state, decimal_separator), std::string(kStateTitle));
}

}  // namespace kavr

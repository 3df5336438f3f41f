#include "reports/state_rows.h"

#include <algorithm>

#include "reports/report_text.h"

namespace kavr {
namespace {

constexpr std::string_view PushedWord(Flag pushed) { return FlagWord(pushed, "Pushed", "Unpushed"); }
constexpr std::string_view PinWord(Flag state) { return FlagWord(state, "TRUE", "FALSE"); }

// One number as the report prints it.
class Numbers {
 public:
  explicit Numbers(std::string_view decimalSeparator) : decimalSeparator_(decimalSeparator) {}
  std::string Integer(std::int64_t value) const { return Text().AppendInteger(value).Str(); }
  std::string Number(double value, const NumberPattern& pattern) const {
    return Text().AppendNumber(value, pattern).Str();
  }

 private:
  ReportText Text() const { return ReportText{std::string(decimalSeparator_)}; }
  std::string_view decimalSeparator_;
};

std::string Motion(const KAVR_State& state) {
  if (!IsSet(state.Running)) return "Not Running";
  // The direction keeps its trailing space even when nothing follows it.
  std::string motion =
      "Running in " + std::string(FlagWord(state.DirectionCCW, "CCW Direction ", "CW Direction "));
  if (state.StepDivisor == 1 && IsSet(state.FullSpeed)) motion += "at Full Speed";
  return motion;
}

// Zero of either sign and not-a-number all mean the supply is low.
std::string Voltage(const KAVR_State& state, const Numbers& numbers) {
  if (state.InputVoltage < 0.0f || state.InputVoltage > 0.0f)
    return numbers.Number(state.InputVoltage, "0.0");
  return "Low";
}

StateRow Input(StateRowKey key, std::string_view label, std::string_view value, std::string_view name,
               Flag flag) {
  return StateRow{key, label, std::string(value), name, IsSet(flag)};
}

}  // namespace

std::vector<StateRow> StateRows(const KAVR_State& state, std::string_view decimalSeparator) {
  const Numbers numbers(decimalSeparator);
  using enum StateRowKey;
  return {
      {kPosition, "- Current Position in microsteps - ", numbers.Integer(state.CurrentPosition)},
      {kTemperature, "- Temperature - ",
       numbers.Number(state.Temperature, "0.00") + std::string(kDegreeSign) + "C"},
      {kStepDivisor, "- Step Divisor - ", numbers.Number(state.StepDivisor, "0")},
      {kLoft, "- Loft State - ", std::string(FlagWord(state.LoftIndefinite, "Indefinite", "Fixed"))},
      {kPower, "- Power - ",
       std::string(IsSet(state.PowerOn) ? FlagWord(state.FullPower, "Full", "Half") : "Off")},
      {kMotion, "- Step Motor is ", Motion(state)},
      {kReset, "- Device ",
       std::string(FlagWord(state.AfterReset, "is After Reset", "Position Already Set"))},
      Input(kSyncIn, "- Input Synchronization Logical Pin State - ", PinWord(state.SyncInState), "Sync in",
            state.SyncInState),
      Input(kSyncOut, "- Output Synchronization Logical Pin State - ", PinWord(state.SyncOutState),
            "Sync out", state.SyncOutState),
      Input(kRotary, "- Rotary Transducer Logical Pin State - ", PinWord(state.RotaryState), "Rotary",
            state.RotaryState),
      Input(kRotaryError, "- Rotary Transducer Error Flag - ", FlagWord(state.RotaryError, "Error", "Clear"),
            "Rotary error", state.RotaryError),
      Input(kEmergency, "- Emergency Disable Button - ", PushedWord(state.EmergencyPushed), "Emergency",
            state.EmergencyPushed),
      Input(kTrailer1, "- Trailer 1 Press State - ", PushedWord(state.Trailer1Pushed), "Trailer 1",
            state.Trailer1Pushed),
      Input(kTrailer2, "- Trailer 2 Press State - ", PushedWord(state.Trailer2Pushed), "Trailer 2",
            state.Trailer2Pushed),
      {kVoltage, "- Input Voltage - ", Voltage(state, numbers)},
  };
}

std::string_view StateValue(const std::vector<StateRow>& rows, StateRowKey key) {
  const auto found =
      std::find_if(rows.begin(), rows.end(), [key](const StateRow& row) { return row.key == key; });
  return found == rows.end() ? std::string_view() : std::string_view(found->value);
}

}  // namespace kavr

#include "reports/report_text.h"
#include "reports/reports.h"

namespace kavr {

namespace {
constexpr std::string_view kModeTitle = "KAVR_SetMode Successful";

constexpr std::string_view LevelWord(Flag trueHigh) { return FlagWord(trueHigh, "+3/+5 V", "0 V(GND)"); }
}  // namespace

std::string ModeReportText(const KAVR_Mode& mode, std::string_view decimalSeparator) {
  ReportText report{std::string(decimalSeparator)};
  report.Line("Mode parameters:");

  report.Append("Buttons - ").Line(FlagWord(mode.ButtonsDisabled, "Disabled", "Enabled"));
  if (!IsSet(mode.ButtonsDisabled)) {
    report.Append("Button 1 TRUE state - ").Line(LevelWord(mode.Button1TrueHigh));
    report.Append("Button 2 TRUE state - ").Line(LevelWord(mode.Button2TrueHigh));
  }

  report.Append("Current reduction regime - ").Line(FlagWord(mode.CurrentReduction, "Used", "Not Used"));
  if (IsSet(mode.PowerOff)) {
    report.Append("Power - ").Line(FlagWord(mode.EmergencyOff, "Emerjency Off", "Off"));
  } else {
    report.Line("Power - On");
  }

  if (IsSet(mode.Trailer1Enabled) || IsSet(mode.Trailer2Enabled)) {
    report.Append("Trailers are - ").Line(FlagWord(mode.TrailersSwapped, "Swapped", "Direct"));
  }
  report.Append("Trailer 1 - ").Line(FlagWord(mode.Trailer1Enabled, "Enabled", "Disabled"));
  if (IsSet(mode.Trailer1Enabled)) {
    report.Append("Trailer 1 TRUE state - ").Line(LevelWord(mode.Trailer1TrueHigh));
  }
  report.Append("Trailer 2 - ").Line(FlagWord(mode.Trailer2Enabled, "Enabled", "Disabled"));
  if (IsSet(mode.Trailer2Enabled)) {
    report.Append("Trailer 2 TRUE state - ").Line(LevelWord(mode.Trailer2TrueHigh));
  }

  report.Append("Rotary Transducer - ").Line(FlagWord(mode.RotaryEnabled, "Enabled", "Disabled"));
  if (IsSet(mode.RotaryEnabled)) {
    report.Append("Rotary Transducer TRUE state - ").Line(LevelWord(mode.RotaryTrueHigh));
    report.Append("Rotary Transducer Operation - ")
        .Line(FlagWord(mode.RotaryStopOnError, "Stop on error", "Check and ignore error"));
    report.Append("Reset Rotary Transducer Check Positions - ")
        .Line(FlagWord(mode.ResetRotaryCheck, "Initiated", "No, why?"));
  }

  report.Append("Output Syncronization - ").Line(FlagWord(mode.SyncOutEnabled, "Enabled", "Disabled"));
  if (IsSet(mode.SyncOutEnabled)) {
    report.Append("Reset Output Synchronization Counter - ")
        .Line(FlagWord(mode.ResetSyncOutCounter, "Initiated", "No, why?"));
    report.Append("Number of steps after which synchronization output sygnal occures - ")
        .AppendInteger(mode.SyncOutCount)
        .EndLine();
  }

  report.Line("Synchronization input mode:");
  report.Line(FlagWord(mode.SyncInSingleMove, "Step motor will move one time to the destination position",
                       "Step motor will move multiple times by [destination position]"));
  report.Append("Synchronization Output - ").Line(FlagWord(mode.SyncOutInverted, "INVERTED", "NORMAL"));
  return std::move(report).Take();
}

void PrintMode(const KAVR_Mode& mode, std::string_view decimalSeparator, ReportDisplay& display) {
  display.ShowReport(ModeReportText(mode, decimalSeparator), std::string(kModeTitle));
}

}  // namespace kavr

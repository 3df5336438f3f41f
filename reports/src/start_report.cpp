#include "reports/report_text.h"
#include "reports/reports.h"

namespace kavr {

namespace {
constexpr std::string_view kStartTitle = "KAVR_Start Successful";
}  // namespace

std::string StartReportText(const std::int32_t& destination, const float& speed,
                            const KAVR_StartParameters& start, std::string_view decimalSeparator) {
  ReportText report{std::string(decimalSeparator)};
  report.Append("Destination position - ").AppendInteger(destination).EndLine();
  report.Append("Speed - ").AppendNumber(speed, "##.00").Line(" tacts/s");
  report.Append("Steps Divisor - ").AppendNumber(start.StepDivisor, "0").EndLine();

  // Slow start/stop only exists without microstepping; the backlash options
  // only with it.
  if (start.StepDivisor == 1) {
    report.Append("Slow start/stop mode - ").Line(FlagWord(start.SlowStart, "Enabled", "Disabled"));
  } else {
    report.Append("Automatic backlash operation - ")
        .Line(FlagWord(start.AutoBacklash, "Enabled", "Disabled"));
    if (IsSet(start.AutoBacklash)) {
      report.Append("Automatic backlash operation direction - ")
          .Line(FlagWord(start.BacklashCCW, "CCW", "CW"));
      report.Append("Force automatic backlash operation - ")
          .Line(FlagWord(start.ForceBacklash, "TRUE", "FALSE"));
    }
  }

  report.Line(FlagWord(start.WaitSyncIn, "Controller will wait for input synchronization signal to start",
                       "Input synchronization signal ignored"));
  report.Line(FlagWord(start.SyncOutCounterReset, "Output synchronization counter will be reset",
                       "Output synchronization counter will not be reset"));
  return std::move(report).Take();
}

void PrintStart(const std::int32_t& destination, const float& speed, const KAVR_StartParameters& start,
                std::string_view decimalSeparator, ReportDisplay& display) {
  display.ShowReport(StartReportText(destination, speed, start, decimalSeparator), std::string(kStartTitle));
}

}  // namespace kavr

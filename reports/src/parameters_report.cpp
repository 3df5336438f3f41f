#include <cmath>

#include "reports/report_text.h"
#include "reports/reports.h"

namespace kavr {

namespace {
constexpr std::string_view kParametersTitle = "KAVR_SetParameters Successful";

void TimeLine(ReportText& report, std::string_view label, float milliseconds) {
  report.Append(label).AppendNumber(milliseconds, "###0").Line(" ms");
}

void SpeedLine(ReportText& report, std::string_view label, float stepsPerSecond) {
  report.Append(label).AppendNumber(stepsPerSecond, "###0.00").Line(" steps/s");
}

void DistanceLine(ReportText& report, std::string_view label, std::int16_t steps) {
  report.Append(label).AppendInteger(steps).Line(" steps");
}
}  // namespace

std::string ParametersReportText(const KAVR_Parameters& parameters, std::string_view decimalSeparator) {
  ReportText report{std::string(decimalSeparator)};
  report.Line("The parameters are:");
  TimeLine(report, "Full acceleration time - ", parameters.AccelerationTime);
  TimeLine(report, "Full deceleration time - ", parameters.DecelerationTime);
  TimeLine(report, "Power reduction timeout - ", parameters.PowerReductionTimeout);
  // Each button timeout is followed by the speed it leads to, unlike the
  // record, which keeps the timeouts together and the speeds together.
  TimeLine(report, "Button speedup timeout 1 - ", parameters.ButtonTimeout1);
  SpeedLine(report, "Button speed after timeout 1 - ", parameters.ButtonSpeed1);
  TimeLine(report, "Button speedup timeout 2 - ", parameters.ButtonTimeout2);
  SpeedLine(report, "Button speed after timeout 2 - ", parameters.ButtonSpeed2);
  TimeLine(report, "Button speedup timeout 3 - ", parameters.ButtonTimeout3);
  SpeedLine(report, "Button speed after timeout 3 - ", parameters.ButtonSpeed3);
  TimeLine(report, "Button speedup timeout 4 - ", parameters.ButtonTimeout4);
  SpeedLine(report, "Button speed after timeout 4 - ", parameters.ButtonSpeed4);
  TimeLine(report, "Button reset timeout - ", parameters.ButtonResetTimeout);
  SpeedLine(report, "Button reset operation speed - ", parameters.ButtonResetSpeed);
  DistanceLine(report, "Backlash operation distance - ", parameters.BacklashDistance);
  DistanceLine(report, "Revolution distance - ", parameters.RevolutionDistance);
  DistanceLine(report, "Minimal revolution distance error - ", parameters.MinRevolutionError);
  report.Append("Power off temperature - ")
      .AppendNumber(parameters.PowerOffTemperature, "##0.00")
      .Append(kDegreeSign)
      .Line("C");

  // The controller stores both of these half a unit above what it does.
  report.Append("Duration of the output synchronization pulse - ");
  if (parameters.SyncOutPulse == 0) {
    report.Line("minimal");
  } else {
    report.AppendNumber(static_cast<double>(parameters.SyncOutPulse) - 0.5, "##0.0").Line(" * [Tact Period]");
  }

  report.Append("Speed of the last phase of the backlash operation - ");
  const float lastPhaseSpeed = parameters.BacklashLastPhaseSpeed;
  if (lastPhaseSpeed == 0.0f || std::isnan(lastPhaseSpeed)) {
    report.Line("normal");
  } else {
    report.AppendNumber(static_cast<double>(lastPhaseSpeed) - 0.5, "###0.00").Line(" steps/s");
  }
  return std::move(report).Take();
}

void PrintParameters(const KAVR_Parameters& parameters, std::string_view decimalSeparator,
                     ReportDisplay& display) {
  display.ShowReport(ParametersReportText(parameters, decimalSeparator), std::string(kParametersTitle));
}

}  // namespace kavr

#include "reports/report_text.h"
#include "reports/reports.h"
#include "reports/state_rows.h"

namespace kavr {

namespace {
constexpr std::string_view kStateTitle = "KAVR_GetState Successful";
}  // namespace

std::string StateReportText(const KAVR_State& state, std::string_view decimalSeparator) {
  ReportText report{std::string(decimalSeparator)};
  report.Line("The state is:");
  for (const StateRow& row : StateRows(state, decimalSeparator)) report.Append(row.label).Line(row.value);
  return std::move(report).Take();
}

void PrintState(const KAVR_State& state, std::string_view decimalSeparator, ReportDisplay& display) {
  display.ShowReport(StateReportText(state, decimalSeparator), std::string(kStateTitle));
}

}  // namespace kavr

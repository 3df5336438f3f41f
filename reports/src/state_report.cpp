#include "reports/report_text.h"
#include "reports/reports.h"
#include "reports/state_rows.h"

namespace kavr {

namespace {
constexpr std::string_view kStateTitle = "KAVR_GetState Successful";
}  // namespace

std::string StateReportText(const KAVR_State& state, std::string_view decimal_separator) {
  ReportText report{std::string(decimal_separator)};
  report.Line("The state is:");
  for (const StateRow& row : StateRows(state, decimal_separator)) report.Append(row.label).Line(row.value);
  return std::move(report).Take();
}

void PrintState(const KAVR_State& state, std::string_view decimal_separator, ReportDisplay& display) {
  display.ShowReport(StateReportText(state, decimal_separator), std::string(kStateTitle));
}

}  // namespace kavr

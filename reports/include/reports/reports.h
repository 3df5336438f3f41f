// The five reports. Each *Text function builds a report's whole text from its
// inputs (read only); each Print* function shows that text under the
// report's title through the display.
#pragma once

#include <cstdint>
#include <string>

#include "kavr/controller_library.h"
#include "kavr/records.h"
#include "reports/show_report.h"

namespace kavr {

std::string ModeReportText(const KAVR_Mode& mode);
void PrintMode(const KAVR_Mode& mode, ReportDisplay& display);

std::string StateReportText(const KAVR_State& state);
void PrintState(const KAVR_State& state, ReportDisplay& display);

std::string ParametersReportText(const KAVR_Parameters& parameters);
void PrintParameters(const KAVR_Parameters& parameters, ReportDisplay& display);

std::string StartReportText(const std::int32_t& destination, const float& speed,
                            const KAVR_StartParameters& start);
void PrintStart(const std::int32_t& destination, const float& speed, const KAVR_StartParameters& start,
                ReportDisplay& display);

// Asks the library for its last error text and shows it under "Error".
std::string LastErrorText(ControllerLibrary& library);
void PrintLastError(ControllerLibrary& library, ReportDisplay& display);

}  // namespace kavr

// The five reports. Each *Text function builds a report's whole text from its
// inputs (read only), printing numbers with the decimal separator its caller
// chose; each Print* function shows that text under the report's title
// through the display.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "contract/records.h"
#include "device/controller_library.h"
#include "reports/show_report.h"

namespace kavr {

std::string ModeReportText(const KAVR_Mode& mode, std::string_view decimalSeparator);
void PrintMode(const KAVR_Mode& mode, std::string_view decimalSeparator, ReportDisplay& display);

std::string StateReportText(const KAVR_State& state, std::string_view decimalSeparator);
void PrintState(const KAVR_State& state, std::string_view decimalSeparator, ReportDisplay& display);

std::string ParametersReportText(const KAVR_Parameters& parameters, std::string_view decimalSeparator);
void PrintParameters(const KAVR_Parameters& parameters, std::string_view decimalSeparator,
                     ReportDisplay& display);

std::string StartReportText(const std::int32_t& destination, const float& speed,
                            const KAVR_StartParameters& start, std::string_view decimalSeparator);
void PrintStart(const std::int32_t& destination, const float& speed, const KAVR_StartParameters& start,
                std::string_view decimalSeparator, ReportDisplay& display);

// Asks the library for its last error text and shows it under "Error".
std::string LastErrorText(ControllerLibrary& library);
void PrintLastError(ControllerLibrary& library, ReportDisplay& display);

}  // namespace kavr

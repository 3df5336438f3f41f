#include "reports/report_text.h"

#include <utility>

namespace kavr {

namespace {
// Longer than the longest report, so building one never reallocates.
constexpr std::size_t kTypicalReportSize = 1024;
}  // namespace

ReportText::ReportText(std::string decimal_separator) : decimal_separator_(std::move(decimal_separator)) {
  text_.reserve(kTypicalReportSize);
}

ReportText& ReportText::Append(std::string_view text) {
  text_ += text;
  return *this;
}

ReportText& ReportText::AppendNumber(double value, const NumberPattern& pattern) {
  kavr::AppendNumber(text_, value, pattern, decimal_separator_);
  return *this;
}

ReportText& ReportText::AppendInteger(std::int64_t value) {
  kavr::AppendInteger(text_, value);
  return *this;
}

ReportText& ReportText::EndLine() {
  text_ += kLineEnd;
  return *this;
}

}  // namespace kavr

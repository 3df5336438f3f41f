#include "reports/report_text.h"

#include <utility>

namespace kavr {

namespace {
// Longer than the longest report, so building one never reallocates.
constexpr std::size_t kTypicalReportSize = 1024;
}  // namespace

ReportText::ReportText(std::string decimalSeparator) : decimalSeparator_(std::move(decimalSeparator)) {
  text_.reserve(kTypicalReportSize);
}

ReportText& ReportText::Append(std::string_view text) {
  text_ += text;
  return *this;
}

ReportText& ReportText::AppendNumber(double value, const NumberPattern& pattern) {
  kavr::AppendNumber(text_, value, pattern, decimalSeparator_);
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

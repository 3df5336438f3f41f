// The text of a report: lines built by appending, each ended by exactly one
// carriage return and never a line feed (the message box breaks lines on
// the carriage return alone).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "contract/records.h"
#include "reports/number_format.h"

namespace kavr {

// U+00B0 in UTF-8; temperatures are followed by it and "C", with no space.
inline constexpr std::string_view kDegreeSign = "\xC2\xB0";

inline constexpr char kLineEnd = '\r';

class ReportText {
 public:
  // Numbers are printed with the given decimal separator.
  explicit ReportText(std::string decimalSeparator);

  ReportText& Append(std::string_view text);
  ReportText& AppendNumber(double value, const NumberPattern& pattern);
  ReportText& AppendInteger(std::int64_t value);
  ReportText& EndLine();
  // A whole line: the text and its carriage return.
  ReportText& Line(std::string_view text) { return Append(text).EndLine(); }

  const std::string& Str() const { return text_; }
  std::string Take() && { return std::move(text_); }

 private:
  std::string decimalSeparator_;
  std::string text_;
};

// The word for a flag: any nonzero value is true.
constexpr std::string_view FlagWord(Flag flag, std::string_view whenSet, std::string_view whenClear) {
  return IsSet(flag) ? whenSet : whenClear;
}

}  // namespace kavr

// Shared helpers for the report tests: a display that records what it was
// asked to show, and line splitting on carriage returns.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "reports/show_report.h"

namespace kavr::testing {

struct ShownReport {
  std::string prompt;
  std::string title;
};

class RecordingDisplay : public ReportDisplay {
 public:
  void ShowReport(const std::string& prompt, const std::string& title) override {
    shown.push_back({prompt, title});
  }
  std::vector<ShownReport> shown;
};

// Joins lines into report text: each line followed by one carriage return.
inline std::string ReportOf(const std::vector<std::string_view>& lines) {
  std::string text;
  for (std::string_view line : lines) {
    text += line;
    text += '\r';
  }
  return text;
}

// The lines of a report text; the text must end with a carriage return.
inline std::vector<std::string> LinesOf(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t cr = text.find('\r'); cr != std::string_view::npos; cr = text.find('\r', start)) {
    lines.emplace_back(text.substr(start, cr - start));
    start = cr + 1;
  }
  if (start != text.size()) lines.emplace_back(text.substr(start));  // an unterminated tail shows up
  return lines;
}

// Every report ends with a carriage return and holds no line feed.
inline bool IsWellFormedReport(std::string_view text) {
  return !text.empty() && text.back() == '\r' && text.find('\n') == std::string_view::npos;
}

}  // namespace kavr::testing

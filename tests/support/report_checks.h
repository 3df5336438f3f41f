// Shared helpers for the report tests: a display that keeps what it was
// asked to show, report text from its lines, and line-by-line checks.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "reports/show_report.h"

namespace kavr::report_checks {

// The (title, prompt) of each message box shown.
using Shown = std::vector<std::pair<std::string, std::string>>;

class RecordingDisplay : public ReportDisplay {
 public:
  void ShowReport(const std::string& prompt, const std::string& title) override {
    shown.emplace_back(title, prompt);
  }
  Shown shown;
};

// What `print` shows when handed a display.
template <class Print>
Shown ShownBy(Print print) {
  RecordingDisplay display;
  print(display);
  return display.shown;
}

// Each line followed by one carriage return.
inline std::string ReportOf(const std::vector<std::string_view>& lines) {
  std::string text;
  for (std::string_view line : lines) (text += line) += '\r';
  return text;
}

// The lines of a report text; an unterminated tail counts as a line, so a
// missing last carriage return shows up in the count.
inline std::vector<std::string> LinesOf(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t cr = std::min(text.find('\r'), text.size());
    lines.emplace_back(text.substr(0, cr));
    text.remove_prefix(std::min(cr + 1, text.size()));
  }
  return lines;
}

// One expected line of the report built from a record.
template <class Record>
struct LineCase {
  Record record;
  std::size_t index;
  std::string line;
};

template <class Record>
void ExpectLines(std::string (*build)(const Record&, std::string_view), std::size_t lineCount,
                 const std::vector<LineCase<Record>>& cases) {
  for (const LineCase<Record>& c : cases) {
    SCOPED_TRACE(c.line);
    const std::vector<std::string> lines = LinesOf(build(c.record, "."));
    ASSERT_EQ(lines.size(), lineCount);
    EXPECT_EQ(lines[c.index], c.line);
  }
}

}  // namespace kavr::report_checks

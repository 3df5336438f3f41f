// The seam through which every message of the program is shown: a modal
// box with the prompt as plain text, a single OK button and a title. The
// prompt is UTF-8 and its lines end in carriage returns. Returns when the
// user has dismissed the box.
#pragma once

#include <string>

namespace kavr {

class ReportDisplay {
 public:
  virtual ~ReportDisplay() = default;
  virtual void ShowReport(const std::string& prompt, const std::string& title) = 0;
  // The program's own refusal of something the user typed, which must not
  // look like a report of the library's; shown as a report where a display
  // draws no difference.
  virtual void ShowRefusal(const std::string& prompt, const std::string& title) { ShowReport(prompt, title); }
};

}  // namespace kavr

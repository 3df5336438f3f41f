// Shows reports in modal message boxes: plain text (a library's text is never
// taken as markup), one OK button, every carriage return a line break.
#pragma once

#include <QString>
#include <string>

#include "reports/show_report.h"

class QWidget;

namespace kavr {

// The prompt as the box shows it: carriage returns become line breaks.
QString PromptForDisplay(const std::string& prompt);

class MessageBoxDisplay : public ReportDisplay {
 public:
  // Boxes are centred on the active window, or on the screen when none is.
  MessageBoxDisplay() = default;
  void ShowReport(const std::string& prompt, const std::string& title) override;
};

}  // namespace kavr

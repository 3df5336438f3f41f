// Shows reports in modal message boxes: plain text (a library's text is never
// taken as markup), one OK button, every carriage return a line break.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <string>

#include "reports/show_report.h"

namespace kavr {

// The prompt as the box shows it: carriage returns become line breaks.
QString PromptForDisplay(const std::string& prompt);

class MessageBoxDisplay : public ReportDisplay {
 public:
  // Boxes are centred on `parentWindow` and modal to it alone, so that the
  // program's other top-level windows stay usable while one is open. Without
  // a parent window they are modal to the whole program.
  explicit MessageBoxDisplay(QWidget* parentWindow = nullptr) : parentWindow_(parentWindow) {}
  void SetParentWindow(QWidget* parentWindow) { parentWindow_ = parentWindow; }

  // Returns when the user has dismissed the box.
  void ShowReport(const std::string& prompt, const std::string& title) override;
  // The same box with a warning icon; reports and the library's errors keep none.
  void ShowRefusal(const std::string& prompt, const std::string& title) override;

 private:
  void Show(QMessageBox::Icon icon, const std::string& prompt, const std::string& title);

  QPointer<QWidget> parentWindow_;
};

}  // namespace kavr

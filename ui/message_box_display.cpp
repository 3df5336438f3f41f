#include "message_box_display.h"

#include "app/actions.h"
#include "report_box.h"

namespace kavr {
namespace {

// The program's own refusal of a typed value must not look like a success
// report; it is the only box under this title. The boxes of the library's
// results and errors keep no icon.
QMessageBox::Icon IconFor(const std::string& title) {
  return title == kStartInputTitle ? QMessageBox::Warning : QMessageBox::NoIcon;
}

}  // namespace

QString PromptForDisplay(const std::string& prompt) {
  QString text = QString::fromUtf8(prompt.data(), static_cast<qsizetype>(prompt.size()));
  // Report lines end in carriage returns; the box breaks lines on line feeds.
  // A library's own text may end its lines in CR LF, which is one break.
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

void MessageBoxDisplay::ShowReport(const std::string& prompt, const std::string& title) {
  ReportBox box(IconFor(title), QString::fromStdString(title), PromptForDisplay(prompt), parentWindow_);
  box.setWindowModality(parentWindow_ ? Qt::WindowModal : Qt::ApplicationModal);
  box.exec();
}

}  // namespace kavr

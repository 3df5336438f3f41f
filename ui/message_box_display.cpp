#include "message_box_display.h"

#include "report_box.h"
#include "text/text.h"

namespace kavr {

QString PromptForDisplay(const std::string& prompt) {
  // A library's text may hold any character; no control character but its
  // line ends is drawn.
  const std::string drawable = DrawableUtf8(prompt, true);
  QString text = QString::fromUtf8(drawable.data(), static_cast<qsizetype>(drawable.size()));
  // Report lines end in carriage returns; the box breaks lines on line feeds.
  // A library's own text may end its lines in CR LF, which is one break.
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

void MessageBoxDisplay::ShowReport(const std::string& prompt, const std::string& title) {
  Show(QMessageBox::NoIcon, prompt, title);
}

void MessageBoxDisplay::ShowRefusal(const std::string& prompt, const std::string& title) {
  Show(QMessageBox::Warning, prompt, title);
}

void MessageBoxDisplay::Show(QMessageBox::Icon icon, const std::string& prompt, const std::string& title) {
  ReportBox box(icon, QString::fromStdString(title), PromptForDisplay(prompt), parentWindow_);
  box.setWindowModality(parentWindow_ ? Qt::WindowModal : Qt::ApplicationModal);
  box.exec();
}

}  // namespace kavr

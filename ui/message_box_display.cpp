#include "message_box_display.h"

#include <QApplication>
#include <QMessageBox>

namespace kavr {

QString PromptForDisplay(const std::string& prompt) {
  QString text = QString::fromUtf8(prompt.data(), static_cast<qsizetype>(prompt.size()));
  // Report lines end in carriage returns; the box breaks lines on line feeds.
  // A library's own text may end its lines in CR LF, which is one break.
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

void MessageBoxDisplay::ShowReport(const std::string& prompt, const std::string& title) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title), PromptForDisplay(prompt),
                  QMessageBox::Ok, QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

}  // namespace kavr

// Start-up: only the device-selection dialog is created. The program ends
// when its last window closes: the dialog, or after a choice the test window.
#include <QApplication>
#include <QLocale>

#include "dialog.h"
#include "kavr/dynamic_controller_library.h"
#include "message_box_display.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // The user's notation, decided once: Qt's system locale follows the
  // environment on Unix and the user's settings on Windows.
  const std::string decimalSeparator = QString(QLocale::system().decimalPoint()).toStdString();
  kavr::DynamicControllerLibrary library;
  kavr::MessageBoxDisplay display;

  Dialog dialog(library, display, decimalSeparator);
  // The user has already been told why; nothing else is shown.
  if (!dialog.Load()) return 1;
  dialog.show();
  return app.exec();
}

// One QApplication for every widget test. Test discovery runs the executable
// at build time without the test environment, so the offscreen platform is
// chosen here when nothing else was. Widgets draw in the Fusion style, the
// one most Linux desktops give a Qt program, whatever the machine's theme.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setStyle(QStringLiteral("Fusion"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

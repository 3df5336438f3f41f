// The floor for the window program's start-up: the least a static Qt Widgets
// program does before a dialog like the device choice is on the screen (a
// list and two buttons), built with the same Qt and compilers.
#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QDialog dialog;
  dialog.setWindowTitle(QStringLiteral("Minimal Qt window"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* list = new QListWidget(&dialog);
  list->addItems({QStringLiteral("first"), QStringLiteral("second")});
  layout->addWidget(list);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(new QPushButton(QStringLiteral("OK"), &dialog));
  buttons->addWidget(new QPushButton(QStringLiteral("Cancel"), &dialog));
  layout->addLayout(buttons);
  dialog.show();
  return app.exec();
}

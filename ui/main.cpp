// Start-up: only the device-selection dialog is created. The program ends
// when its last window closes: the dialog, or after a choice the test window.
//
// Every library call goes through one recording library from the first, so
// that the monitor's log holds the whole run whenever it is opened, and the
// transcript (--trace) too.
#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>
#include <QSettings>
#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>

#include "app/call_log.h"
#include "app/library_wiring.h"
#include "app/version.h"
#include "device/dynamic_controller_library.h"
#include "dialog.h"
#include "dlgform.h"
#include "message_box_display.h"
#include "monitor_launcher.h"

namespace {

// As kavrctl ends a run whose output was lost.
constexpr int kOutputFailedExitCode = 8;

struct Options {
  bool monitor = false;
  std::optional<QString> trace;
};

void NameTheApplication() {
  QCoreApplication::setOrganizationName(QStringLiteral("kavrtest"));
  QCoreApplication::setApplicationName(QStringLiteral("kavrtest"));
  QCoreApplication::setApplicationVersion(QString::fromLatin1(kavr::kVersion));
}

// Exits on --help, --version and a bad argument, saying why.
Options ReadOptions(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Test client for stepper-motor controllers: lists the attached controllers, then offers "
                     "one button per library operation."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption trace(
      QStringLiteral("trace"),
      QStringLiteral("Write one line per library call to <file> (- for standard error)."),
      QStringLiteral("file"));
  const QCommandLineOption monitor(QStringLiteral("monitor"),
                                   QStringLiteral("Open the live monitor beside the test window."));
  parser.addOption(trace);
  parser.addOption(monitor);
  parser.process(arguments);

  Options options;
  options.monitor = parser.isSet(monitor);
  if (parser.isSet(trace)) options.trace = parser.value(trace);
  return options;
}

// --help and --version must answer in a terminal without a display, where
// the widgets' application cannot start: they are read without it.
bool AsksForHelpOrVersion(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    for (std::string_view option : {"-h", "-?", "--help", "--help-all", "-v", "--version"}) {
      if (argument == option) return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (AsksForHelpOrVersion(argc, argv)) {
    QCoreApplication reader(argc, argv);
    NameTheApplication();
    ReadOptions(QCoreApplication::arguments());
  }
  // Takes its own arguments (-platform, -style...) out of the list first.
  QApplication app(argc, argv);
  NameTheApplication();
  const Options options = ReadOptions(QCoreApplication::arguments());

  kavr::CallLog log;
  std::optional<std::string> traceFile;
  if (options.trace) traceFile = options.trace->toStdString();
  std::string problem;
  const auto wiring = kavr::LibraryWiring::Build(
      traceFile, &log, [] { return std::make_shared<kavr::DynamicControllerLibrary>(); }, problem);
  if (!wiring) {
    std::fprintf(stderr, "kavrtest: %s\n", problem.c_str());
    return 1;
  }
  kavr::RecordingControllerLibrary& library = wiring->Calls();

  // The user's notation, decided once: Qt's system locale follows the
  // environment on Unix and the user's settings on Windows.
  const std::string decimalSeparator = QString(QLocale::system().decimalPoint()).toStdString();
  // A transcript that lost a line says so once, at once, and in the exit code.
  bool transcriptFailed = false;
  library.AddObserver([&wiring, &transcriptFailed](const kavr::LibraryCall&) {
    if (transcriptFailed || wiring->TranscriptProblem().empty()) return;
    transcriptFailed = true;
    std::fprintf(stderr, "kavrtest: %s\n", wiring->TranscriptProblem().c_str());
  });
  kavr::MessageBoxDisplay display;
  QSettings settings;
  MonitorLauncher launcher(library, log, settings, decimalSeparator);

  Dialog dialog(library, display, decimalSeparator);
  // Each window's boxes are modal to that window alone.
  display.SetParentWindow(&dialog);
  QObject::connect(&dialog, &Dialog::TestWindowOpening,
                   [&display](QWidget* window) { display.SetParentWindow(window); });
  QObject::connect(&dialog, &QDialog::accepted, &launcher,
                   [&] { launcher.Attach(*dialog.TestWindow(), dialog.Chosen(), options.monitor); });
  // The user has already been told why; nothing else is shown.
  if (!dialog.Load()) return 1;
  dialog.show();
  const int code = app.exec();
  return code == 0 && transcriptFailed ? kOutputFailedExitCode : code;
}

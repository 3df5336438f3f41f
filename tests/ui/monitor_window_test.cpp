// The monitor offscreen on the scripted library: what it polls and shows,
// its STOP while the test window shows a box, a failing poll, the call log,
// and how it opens.
#include "monitor_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/selection.h"
#include "app/record_fields.h"
#include "app/recording_library.h"
#include "call_log_view.h"
#include "dlgform.h"
#include "fakes.h"
#include "message_box_display.h"
#include "monitor_launcher.h"
#include "report_box.h"

namespace {

using ::testing::Each;
using ::testing::HasSubstr;
using fakes::Strings;

class MonitorTest : public ::testing::Test {
 protected:
  MonitorTest() {
    library.AddObserver([this](const kavr::LibraryCall& call) { log.Add(call); });
  }

  MonitorWindow& Monitor() {
    if (!monitor) monitor = std::make_unique<MonitorWindow>(library, log, settings, selection, ".");
    return *monitor;
  }
  template <typename Control = QWidget>
  Control* Named(const char* accessibleName) {
    for (auto* control : Monitor().findChildren<Control*>()) {
      if (control->accessibleName() == QLatin1String(accessibleName)) return control;
    }
    ADD_FAILURE() << "nothing named " << accessibleName;
    return nullptr;
  }
  QString Text(const char* accessibleName) { return Named<QLabel>(accessibleName)->text(); }
  long Count(const char* entry) {
    return std::count(f.library.events.begin(), f.library.events.end(), entry);
  }
  QStringList LogRows() {
    const QAbstractItemModel* rows = Named<QListView>("Call log")->model();
    QStringList texts;
    for (int row = 0; row < rows->rowCount(); ++row) texts << rows->index(row, 0).data().toString();
    return texts;
  }

  fakes::Fakes f;
  kavr::RecordingControllerLibrary library{f.library};
  kavr::CallLog log;
  QTemporaryDir scratch;
  QSettings settings{scratch.filePath("kavrtest.ini"), QSettings::IniFormat};
  const kavr::Selection selection{2, 1, "0123456789ABCDEF", ""};
  std::unique_ptr<MonitorWindow> monitor;
};

TEST_F(MonitorTest, PollsOnlyTheSelectedControllersStateShowsItUnderAccessibleNamesAndStopsWhenClosed) {
  KAVR_State& state = f.library.state;
  state = {};
  state.CurrentPosition = -250;
  state.Temperature = 31.25f;
  state.StepDivisor = 1;
  state.Running = state.DirectionCCW = state.FullSpeed = state.PowerOn = 1;
  state.EmergencyPushed = 1;
  state.Trailer2Pushed = -1;
  Monitor().show();
  QTest::qWait(350);

  EXPECT_TRUE(Monitor().windowTitle().startsWith("Monitor"));
  EXPECT_THAT(Monitor().windowTitle().toStdString(), HasSubstr("0123456789ABCDEF"));
  EXPECT_EQ(Text("Position"), "-250");
  EXPECT_EQ(Text("Motion"), "Running in CCW Direction at Full Speed");
  EXPECT_EQ(Text("Power"), "Half");
  EXPECT_EQ(Text("Input voltage"), "Low");
  EXPECT_EQ(Text("Temperature"), QString::fromUtf8("31.25\u00B0C"));
  for (const auto& [input, word] : {std::pair{"Emergency", "Pushed"},
                                    {"Trailer 1", "Unpushed"},
                                    {"Trailer 2", "Pushed"},
                                    {"Sync in", "FALSE"}}) {
    EXPECT_EQ(Named<QLabel>(input)->accessibleDescription(), word) << input;
  }
  EXPECT_EQ(Named<QPushButton>("STOP")->text(), "STOP");
  EXPECT_EQ(Named<QComboBox>("Interval")->currentText(), "100 ms");
  EXPECT_EQ(Named<QCheckBox>("Open at start")->text(), "Open at start");

  // Shown at once, then every 100 ms; one log row for all of them.
  EXPECT_GE(f.library.events.size(), 3u);
  EXPECT_THAT(f.library.events, Each(std::string("GetState")));
  EXPECT_THAT(f.library.devices, Each(1));
  EXPECT_TRUE(f.library.dirtyReads.empty());
  ASSERT_EQ(LogRows().size(), 1);
  EXPECT_THAT(LogRows()[0].toStdString(), HasSubstr("GetState 1 rc=0"));

  Monitor().close();
  const std::size_t calls = f.library.events.size();
  QTest::qWait(250);
  EXPECT_EQ(f.library.events.size(), calls);
}

TEST_F(MonitorTest, StopButtonAndKeyReachTheSelectedControllerWhileTheTestWindowShowsABox) {
  kavr::MessageBoxDisplay boxes;
  DLGForm boxedWindow(library, boxes, selection);
  boxes.SetParentWindow(&boxedWindow);
  boxedWindow.Load();
  Monitor().show();
  bool boxSeen = false;
  long pollsUnderTheBox = 0;
  QTimer::singleShot(50, [&] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<kavr::ReportBox*>(top);
      if (box == nullptr || !box->isVisible()) continue;
      boxSeen = true;
      const long before = Count("GetState");
      QTest::qWait(250);
      pollsUnderTheBox = Count("GetState") - before;
      // Through the monitor's window, where a box modal to the program would block them.
      QPushButton* stop = Named<QPushButton>("STOP");
      QTest::mouseClick(Monitor().windowHandle(), Qt::LeftButton, {},
                        stop->mapTo(&Monitor(), stop->rect().center()));
      Monitor().activateWindow();
      EXPECT_TRUE(QTest::qWaitForWindowActive(&Monitor()));
      EXPECT_EQ(Count("Stop"), 1);
      QTest::keyClick(Monitor().windowHandle(), Qt::Key_Escape);
      QTest::keyClick(box, Qt::Key_Return);
    }
  });
  boxedWindow.findChild<QPushButton*>("CGetState")->click();

  EXPECT_TRUE(boxSeen);
  EXPECT_GE(pollsUnderTheBox, 1);
  EXPECT_EQ(Count("Stop"), 2);
  EXPECT_THAT(f.library.devices, Each(1));
}

TEST_F(MonitorTest, AFailingPollShowsTheLibrarysTextPausesWithoutABoxAndResumes) {
  f.library.results[kavr::Entry::GetState] = 5;
  f.library.lastError = U"Device <b>is</b> busy";
  Monitor().show();
  QTest::qWait(250);

  EXPECT_EQ(f.library.events, (Strings{"GetState", "GetLastErr"}));
  EXPECT_EQ(Text("Status"), "GetState failed with code 5: Device <b>is</b> busy - polling paused");
  EXPECT_EQ(Named<QLabel>("Status")->textFormat(), Qt::PlainText);
  for (QWidget* top : QApplication::topLevelWidgets())
    EXPECT_FALSE(top->isVisible() && top->inherits("QMessageBox"));
  const QModelIndex failed = Named<QListView>("Call log")->model()->index(0, 0);
  EXPECT_THAT(failed.data().toString().toStdString(), HasSubstr("GetState 1 rc=5"));
  EXPECT_EQ(failed.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));

  f.library.results.clear();
  Named<QPushButton>("Resume")->click();
  EXPECT_EQ(f.library.events.back(), "GetState");
  EXPECT_EQ(Text("Status"), "");
  EXPECT_EQ(Named<QPushButton>("Pause")->text(), "Pause");
}

TEST_F(MonitorTest, LogListsEveryCallInOrderCollapsesPollingShowsFieldsAndCopiesAndSavesWhole) {
  DLGForm window(library, f.display, selection);
  window.Load();
  Monitor().show();
  window.findChild<QPushButton*>("CSetMode")->click();
  for (int poll = 0; poll < 3; ++poll) Monitor().PollNow();

  const QStringList rows = LogRows();
  ASSERT_EQ(rows.size(), 4);
  const char* expected[] = {"GetState 1 rc=0", "GetMode 1 rc=0", "SetMode 1 rc=0", "GetState 1 rc=0"};
  for (int row = 0; row < 4; ++row) EXPECT_THAT(rows[row].toStdString(), HasSubstr(expected[row]));
  EXPECT_THAT(rows[3].toStdString(), HasSubstr(", 3 polls"));

  // The mode as read: the zero-filled record sent, the controller's returned.
  auto* list = Named<QListView>("Call log");
  list->setCurrentIndex(list->model()->index(1, 0));
  const std::string details = Monitor().findChild<QPlainTextEdit*>()->toPlainText().toStdString();
  const auto mode = kavr::BytesOf(f.library.mode);
  const auto reserved = *kavr::FindField(kavr::RecordFields<KAVR_Mode>(), "Reserved80");
  const std::string reservedHex = kavr::HexBytes({mode.begin() + 80, mode.end()});
  EXPECT_THAT(details, HasSubstr("* PowerOff "));
  EXPECT_THAT(details, HasSubstr(std::string(reserved.size * 2, '0') + "  " + reservedHex));

  QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
  const QString whole = QString::fromStdString(kavr::LogText(log));
  EXPECT_EQ(QApplication::clipboard()->text(), whole);
  EXPECT_EQ(whole.count('\n'), 4);
  auto* view = Monitor().findChild<CallLogView*>();
  QString error;
  ASSERT_TRUE(view->SaveLog(scratch.filePath("calls.txt"), error)) << error.toStdString();
  QFile saved(scratch.filePath("calls.txt"));
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(saved.readAll()), whole);
  EXPECT_FALSE(view->SaveLog(scratch.path(), error));
  EXPECT_FALSE(error.isEmpty());
}

TEST_F(MonitorTest, OpensWithF2OrAtStartWhenChosenBesideTheTestWindow) {
  DLGForm window(library, f.display, selection);
  window.Load();
  {
    MonitorLauncher launcher(library, log, settings, ".");
    launcher.Attach(window, selection, false);
    QTest::qWait(20);
    EXPECT_EQ(launcher.Monitor(), nullptr);
    window.activateWindow();
    QTest::keyClick(window.windowHandle(), Qt::Key_F2);
    ASSERT_NE(launcher.Monitor(), nullptr);
    EXPECT_TRUE(launcher.Monitor()->isVisible());
    launcher.Monitor()->findChild<QCheckBox*>("Openatstart")->setChecked(true);
  }
  MonitorLauncher launcher(library, log, settings, ".");
  launcher.Attach(window, selection, false);
  QTest::qWait(20);
  ASSERT_NE(launcher.Monitor(), nullptr);
  EXPECT_TRUE(launcher.Monitor()->isVisible());

  const QRect screen(0, 0, 1280, 1024);
  const struct {
    QRect neighbour;
    int width;
    QPoint movedTo, placedAt;
  } places[] = {
      {{100, 50, 400, 300}, 700, {100, 50}, {508, 50}},     // right
      {{800, 50, 400, 300}, 700, {800, 50}, {92, 50}},      // left
      {{440, 500, 400, 300}, 760, {112, 500}, {520, 324}},  // the neighbour moves aside
      {{440, 50, 400, 300}, 1000, {440, 50}, {280, 50}},    // too wide for both
  };
  for (const auto& p : places) {
    const SideBySide placed = PlaceBeside(p.neighbour, QSize(p.width, 700), screen);
    EXPECT_EQ(placed.neighbour, p.movedTo);
    EXPECT_EQ(placed.window, p.placedAt);
  }
}

}  // namespace

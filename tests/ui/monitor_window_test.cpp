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
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/recording_library.h"
#include "app/selection.h"
#include "call_log_view.h"
#include "dlgform.h"
#include "fakes.h"
#include "message_box_display.h"
#include "monitor_launcher.h"
#include "report_box.h"
#include "state_view.h"
#include "transcript/record_fields.h"

namespace {

using fakes::Strings;
using ::testing::Each;
using ::testing::HasSubstr;

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
  // A value of the state, by its caption.
  QLabel* Value(const char* caption) {
    auto* label = Monitor().findChild<QLabel*>(QString::fromLatin1(caption).remove(QLatin1Char(' ')));
    if (label == nullptr) ADD_FAILURE() << "no value " << caption;
    return label;
  }
  QString Text(const char* caption) { return Value(caption)->text(); }
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
  // What a screen reader hears is the name: caption and value.
  for (const auto& [caption, text] : {std::pair{"Position", "-250"},
                                      {"Motion", "Running in CCW Direction at Full Speed"},
                                      {"Power", "Half"},
                                      {"Input voltage", "Low"},
                                      {"Temperature", "31.25\u00B0C"},
                                      {"Emergency", "Pushed"},
                                      {"Trailer 1", "Unpushed"},
                                      {"Trailer 2", "Pushed"},
                                      {"Sync in", "FALSE"}}) {
    EXPECT_EQ(Value(caption)->accessibleName(), QString::fromUtf8(caption) + ": " + QString::fromUtf8(text));
  }
  EXPECT_EQ(Text("Position"), "-250");
  EXPECT_EQ(Text("Motion"), "Running in CCW Direction at Full Speed");
  EXPECT_EQ(Value("Sync in")->accessibleDescription(), "FALSE");
  // Kept current.
  state.CurrentPosition = 1234;
  state.Running = 0;
  Monitor().PollNow();
  EXPECT_EQ(Value("Position")->accessibleName(), "Position: 1234");
  EXPECT_EQ(Value("Motion")->accessibleName(), "Motion: Not Running");
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

// At its smallest, where any text that widened a label would widen it.
TEST_F(MonitorTest, NoValueResizesTheWindow) {
  f.library.state = {};
  Monitor().show();
  Monitor().resize(1, 1);
  QApplication::processEvents();
  const QSize smallest = Monitor().size();
  const QSize smallestState = Monitor().findChild<StateView*>()->minimumSizeHint();
  KAVR_State& state = f.library.state;
  state.Running = state.DirectionCCW = state.FullSpeed = 1;
  state.CurrentPosition = -2147483647 - 1;
  state.Temperature = -1e30f;
  Monitor().PollNow();
  QApplication::processEvents();
  EXPECT_EQ(Monitor().size(), smallest);
  EXPECT_EQ(Monitor().findChild<StateView*>()->minimumSizeHint(), smallestState);
}

// Esc closes an open drop-down and nothing else; anywhere else it stops.
TEST_F(MonitorTest, EscInADropDownOnlyClosesIt) {
  Monitor().show();
  Monitor().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Monitor()));
  auto* interval = Named<QComboBox>("Interval");
  interval->setFocus();
  interval->showPopup();
  QWidget* popup = QApplication::activePopupWidget();
  ASSERT_NE(popup, nullptr);
  QTest::keyClick(popup, Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  EXPECT_EQ(Count("Stop"), 0);
  for (QWidget* focus : {static_cast<QWidget*>(interval), Named("Call log"), Named("Pause")}) {
    focus->setFocus();
    QTest::keyClick(Monitor().windowHandle(), Qt::Key_Escape);
  }
  EXPECT_EQ(Count("Stop"), 3);
}

// Opened on a long log, the newest call is in view and stays so as calls
// come, until the user scrolls up to read.
TEST_F(MonitorTest, TheCallLogFollowsTheNewestCallUnlessScrolledUp) {
  for (int call = 0; call < 60; ++call) library.Stop(call % 2);
  Monitor().show();
  QTest::qWait(50);
  QScrollBar* bar = Named<QListView>("Call log")->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  library.Stop(0);
  library.Stop(1);
  QApplication::processEvents();
  EXPECT_EQ(bar->value(), bar->maximum());
  bar->setValue(3);
  library.Stop(0);
  QApplication::processEvents();
  EXPECT_EQ(bar->value(), 3);
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
    QSize size;
    QPoint movedTo, placedAt;
    QSize placedSize;
    QRect available;
  } places[] = {
      {{100, 50, 400, 300}, {700, 700}, {100, 50}, {508, 50}, {700, 700}, screen},     // right
      {{800, 50, 400, 300}, {700, 700}, {800, 50}, {92, 50}, {700, 700}, screen},      // left
      {{440, 500, 400, 300}, {760, 700}, {112, 500}, {520, 324}, {760, 700}, screen},  // the neighbour moves
                                                                                       // aside
      {{440, 50, 400, 300}, {1000, 700}, {440, 16}, {280, 324}, {1000, 700}, screen},  // ... up, the window
                                                                                       // below
      {{0, 0, 400, 500}, {1000, 700}, {0, 0}, {408, 0}, {872, 700}, screen},           // narrowed to fit
      // At 1.5 times the size nothing fits: the least overlap, here one below the other.
      {{229, 208, 396, 318}, {762, 640}, {229, 0}, {91, 283}, {762, 400}, {0, 0, 853, 683}},
      {{229, 208, 318, 396}, {640, 683}, {0, 208}, {253, 0}, {600, 683}, {0, 0, 853, 683}},
  };
  for (const auto& p : places) {
    const SideBySide placed = PlaceBeside(p.neighbour, p.size, {600, 400}, p.available);
    EXPECT_EQ(placed.neighbour, p.movedTo) << p.neighbour.x();
    EXPECT_EQ(placed.window, p.placedAt) << p.neighbour.x();
    EXPECT_EQ(placed.size, p.placedSize) << p.neighbour.x();
    // Wholly on the screen.
    EXPECT_TRUE(p.available.contains(QRect(placed.window, placed.size))) << p.neighbour.x();
  }
}

}  // namespace

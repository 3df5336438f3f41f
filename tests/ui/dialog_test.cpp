// The device-selection dialog, offscreen, on a scripted controller library.
#include "dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/selection.h"
#include "device/dynamic_controller_library.h"
#include "dlgform.h"
#include "fakes.h"
#include "text/text.h"
#include "twips.h"

namespace {

using fakes::Positions;
using fakes::Strings;

QListWidget* List(Dialog& dialog) { return dialog.findChild<QListWidget*>("List1"); }

// A dialog on a scripted library.
struct Selection {
  QPushButton* Button(const char* name) { return dialog.findChild<QPushButton*>(name); }
  Strings Lines() {
    Strings lines;
    for (int i = 0; i < List(dialog)->count(); ++i)
      lines.push_back(List(dialog)->item(i)->text().toStdString());
    return lines;
  }
  void LoadAndShow(std::int32_t count) {
    f.library.initCount = count;
    EXPECT_TRUE(dialog.Load());
    dialog.show();
  }
  // A click on the line as the user makes it (Ctrl+click unselects).
  void ClickLine(int row, Qt::KeyboardModifiers modifiers = {}, bool twice = false) {
    List(dialog)->scrollToItem(List(dialog)->item(row));
    const QPoint at = List(dialog)->visualItemRect(List(dialog)->item(row)).center();
    QTest::mouseClick(List(dialog)->viewport(), Qt::LeftButton, modifiers, at);
    if (twice) QTest::mouseDClick(List(dialog)->viewport(), Qt::LeftButton, modifiers, at);
  }

  fakes::Fakes f;
  const std::u32string& serials = f.library.initSerials;
  const std::u32string& versions = f.library.initVersions;
  Dialog dialog{f.library, f.display};
};

TEST(Dialog, ListsTheControllersAndChoosesByDoubleClickOkOrEnterButNotByCancelEscapeOrNoSelection) {
  const struct {
    const char* how;
    int clickedLine;  // -1: none, the first line stays selected
    Qt::KeyboardModifiers modifiers;
    const char* button;
    Qt::Key key;
    std::int32_t index;
    std::string serial, version;  // empty: nothing chosen
    bool staysOpen;
  } cases[] = {
      {"double click", 2, {}, nullptr, {}, 2, "IJKLMNOPQRSTUVWX", "3456", false},  // positions 35-50, 11-14
      {"OK", -1, {}, "OKButton", {}, 0, "ABCDEFGHIJKLMNOP", "0123", false},
      {"Enter", 1, {}, nullptr, Qt::Key_Return, 1, "RSTUVWXYZABCDEFG", "5601", false},
      {"OK without a selected line", 0, Qt::ControlModifier, "OKButton", {}, 0, "", "", true},
      {"Cancel", 1, {}, "CancelButton", {}, 0, "", "", false},
      {"Escape", -1, {}, nullptr, Qt::Key_Escape, 0, "", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    Selection s;
    s.LoadAndShow(3);
    EXPECT_EQ(s.Lines(), (Strings{"Device - 1 Serial Number - ABCDEFGHIJKLMNOP Version - 0123",
                                  "Device - 2 Serial Number - RSTUVWXYZABCDEFG Version - 5601",
                                  "Device - 3 Serial Number - IJKLMNOPQRSTUVWX Version - 3456"}));
    EXPECT_EQ(List(s.dialog)->selectedItems(), QList{List(s.dialog)->item(0)});
    // A line longer than the list is read whole in its tool tip.
    EXPECT_EQ(List(s.dialog)->item(2)->toolTip().toStdString(), s.Lines()[2]);
    EXPECT_EQ(s.dialog.Chosen().DeviceCount, 3);
    EXPECT_TRUE(s.dialog.Load());  // a second load calls Init no more

    if (c.clickedLine >= 0) s.ClickLine(c.clickedLine, c.modifiers, c.how == std::string("double click"));
    if (c.button) s.Button(c.button)->click();
    if (c.key) QTest::keyClick(List(s.dialog), c.key);
    EXPECT_EQ(s.dialog.isVisible(), c.staysOpen);
    EXPECT_EQ(s.dialog.Chosen().DeviceIndex, c.index);
    EXPECT_EQ(s.dialog.Chosen().DeviceSerial, c.serial);
    EXPECT_EQ(s.dialog.Chosen().DeviceVersion, c.version);
    EXPECT_EQ(s.f.library.events, Strings{"Init"});
    ASSERT_EQ(s.dialog.TestWindow() != nullptr, !c.serial.empty());
    // The values were stored before the test window loaded.
    if (s.dialog.TestWindow()) {
      EXPECT_TRUE(s.dialog.TestWindow()->isVisible());
      EXPECT_EQ(s.dialog.TestWindow()->findChild<QLabel*>("TextSel")->text().toStdString(),
                "S/N: " + c.serial + "  Version: " + c.version);
    }
  }
}

TEST(Dialog, TheFiftyNinthSerialIsCutLaterOnesAreEmptyAndCodeZeroIsNeverDrawn) {
  Selection s;
  s.f.library.initSerials.replace(0, 16, U"SN\0-7\0\0\0\0\0\0\0\0\0\0\0", 16);
  s.f.library.initVersions.replace(290, 4, U"1\0\0\0", 4);
  s.LoadAndShow(60);
  const Strings lines = s.Lines();
  ASSERT_EQ(lines.size(), 60u);
  EXPECT_EQ(lines[0], "Device - 1 Serial Number - SN-7 Version - 0123");
  EXPECT_EQ(lines[58], "Device - 59 Serial Number - " + Positions(s.serials, 987, 1000) + " Version - 1");
  EXPECT_EQ(lines[59], "Device - 60 Serial Number -  Version - " + Positions(s.versions, 296, 299));

  // The arrow keys scroll a line wider than the list sideways.
  QTest::keyClick(List(s.dialog), Qt::Key_Right);
  EXPECT_GT(List(s.dialog)->horizontalScrollBar()->value(), 0);

  s.ClickLine(58);
  s.Button("OKButton")->click();
  EXPECT_EQ(s.dialog.Chosen().DeviceIndex, 58);
  EXPECT_EQ(s.dialog.Chosen().DeviceSerial, Positions(s.serials, 987, 1000));
  EXPECT_EQ(s.dialog.Chosen().DeviceVersion, "1");
}

TEST(Dialog, NothingToChooseFromShowsTheErrorBoxAndListsNothing) {
  const std::string noDevices = "No Devices Found\rOr DLL is locked - try restart Visual Basic";
  const std::string missing = "/opt/kavrtest/bin/KAVRVBDLL.so: cannot open shared object file";
  const std::string saysSo = "Cannot load the controller library /opt/KAVRVBDLL.so: file too short";
  const std::string noEntry = "The controller library /opt/libm.so has no entry _KAVRVB_Init: undefined";
  const struct {
    kavr::ResultCode result;
    std::int32_t count;
    std::string loadFailure, prompt;
  } cases[] = {
      {0, 0, "", noDevices},
      {0, -1, "", noDevices},
      {3, 2, "", noDevices},
      {1, 0, missing, "Cannot load the controller library:\r" + missing},
      {1, 0, saysSo, saysSo},  // not said twice
      {kavr::kLibraryUnavailable, 0, "", "This file is not a controller library:\r" + noEntry},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "result " << c.result << " count " << c.count << " " << c.loadFailure);
    Selection s;
    s.f.library.results[kavr::Entry::Init] = c.result;
    s.f.library.initCount = c.count;
    s.f.library.loadFailure = c.loadFailure;
    // The binding's own text; asked for only when the file lacks the entry.
    s.f.library.lastError = kavr::FromUtf8(noEntry);
    EXPECT_FALSE(s.dialog.Load());
    const Strings events = c.result == kavr::kLibraryUnavailable ? Strings{"Init", "GetLastErr", "show ERROR"}
                                                                 : Strings{"Init", "show ERROR"};
    EXPECT_EQ(s.f.library.events, events);
    EXPECT_EQ(s.f.display.shown.at(0).prompt, c.prompt);
    EXPECT_EQ(List(s.dialog)->count(), 0);
    EXPECT_FALSE(s.dialog.isVisible());
    EXPECT_EQ(s.dialog.Chosen().DeviceCount, c.count);
  }
}

TEST(Dialog, LayoutFollowsTheTwipsGridAndOpensCentred) {
  Selection s;
  Dialog& d = s.dialog;
  EXPECT_EQ(d.windowTitle(), "Select Your Choice");
  const QSize client(kavr::TwipsToPixelsX(d, 7410), kavr::TwipsToPixelsY(d, 3240));
  EXPECT_EQ(d.minimumSize(), client);
  EXPECT_EQ(d.maximumSize(), client);
  EXPECT_FALSE(d.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                  Qt::WindowContextHelpButtonHint));
  EXPECT_TRUE(d.windowFlags() & Qt::WindowCloseButtonHint);
  const struct {
    const char* name;
    QString caption;
    QRect twips;
  } controls[] = {
      {"OKButton", "OK", {6120, 120, 1215, 375}},
      {"CancelButton", "Cancel", {6120, 600, 1215, 375}},
      {"List1", "", {120, 120, 5775, 2985}},
  };
  for (const auto& c : controls) {
    SCOPED_TRACE(c.name);
    auto* control = d.findChild<QWidget*>(c.name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->geometry(),
              kavr::TwipsRect(d, c.twips.x(), c.twips.y(), c.twips.width(), c.twips.height()));
    EXPECT_EQ(control->property("text").toString(), c.caption);
  }
  EXPECT_EQ(List(d)->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_FALSE(List(d)->isSortingEnabled());

  s.LoadAndShow(2);
  EXPECT_EQ(d.focusWidget(), s.Button("OKButton"));
  EXPECT_EQ(s.Button("OKButton")->nextInFocusChain(), s.Button("CancelButton"));
  EXPECT_EQ(s.Button("CancelButton")->nextInFocusChain(), List(d));
  const QPoint screenCentre = d.screen()->availableGeometry().center();
  EXPECT_LE((d.frameGeometry().center() - screenCentre).manhattanLength(), 4);
}

// True when the application's loop, run as the program runs it, ended because
// the last window closed. The steps run inside the loop, one after another.
bool RunUntilLastWindowCloses(std::vector<std::function<void()>> steps) {
  QTimer watchdog;
  QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::exit(99); });
  watchdog.start(5000);
  int delay = 0;
  for (auto& step : steps) QTimer::singleShot(delay += 20, step);
  return QApplication::exec() == 0;
}

TEST(Dialog, TheProgramRunsUntilItsLastWindowCloses) {
  // Windows left visible by other tests would keep the loop running.
  for (QWidget* window : QApplication::topLevelWidgets()) window->hide();
  Selection cancelled;
  cancelled.LoadAndShow(2);
  EXPECT_TRUE(RunUntilLastWindowCloses({[&] { cancelled.Button("CancelButton")->click(); }}));

  Selection chosen;
  chosen.LoadAndShow(2);
  bool testWindowOpenAlone = false;
  EXPECT_TRUE(RunUntilLastWindowCloses({
      [&] { chosen.Button("OKButton")->click(); },
      [&] {
        testWindowOpenAlone = !chosen.dialog.isVisible() && chosen.dialog.TestWindow()->isVisible();
        chosen.dialog.TestWindow()->close();
      },
  }));
  EXPECT_TRUE(testWindowOpenAlone);
}

}  // namespace

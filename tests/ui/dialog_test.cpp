// The device-selection dialog, offscreen, on a scripted controller library.
#include "dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <functional>

#include "dlgform.h"
#include "fakes.h"
#include "module1.h"
#include "selection_buffers.h"
#include "twips.h"

namespace {

using kavr::testing::FakeControllerLibrary;
using kavr::testing::RecordingDisplay;
using kavr::testing_buffers::Positions;
using Strings = std::vector<std::string>;

void SendMouse(QWidget* target, QEvent::Type type, QPoint at, Qt::KeyboardModifiers modifiers = {}) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton, held, modifiers);
  QApplication::sendEvent(target, &event);
}

void SendKey(QWidget* target, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Module1::DeviceCount = Module1::DeviceIndex = 0;
    Module1::DeviceSerial.clear();
    Module1::DeviceVersion.clear();
    library.initSerials = serials;
    library.initVersions = versions;
  }

  QListWidget* List(Dialog& d) { return d.findChild<QListWidget*>("List1"); }
  QListWidget* List() { return List(dialog); }
  QPushButton* Button(const char* name) { return dialog.findChild<QPushButton*>(name); }

  Strings Lines() {
    Strings lines;
    for (int i = 0; i < List()->count(); ++i) lines.push_back(List()->item(i)->text().toStdString());
    return lines;
  }

  // Loads with `count` controllers and shows the dialog, as start-up does.
  void LoadAndShow(std::int32_t count) {
    library.initCount = count;
    ASSERT_TRUE(dialog.Load());
    dialog.show();
  }

  // A click on the line as the user makes it (Ctrl+click unselects).
  void ClickLine(int row, Qt::KeyboardModifiers modifiers = {}) {
    List()->scrollToItem(List()->item(row));
    const QPoint at = List()->visualItemRect(List()->item(row)).center();
    SendMouse(List()->viewport(), QEvent::MouseButtonPress, at, modifiers);
    SendMouse(List()->viewport(), QEvent::MouseButtonRelease, at, modifiers);
  }

  void DoubleClickLine(int row) {
    ClickLine(row);
    const QPoint at = List()->visualItemRect(List()->item(row)).center();
    SendMouse(List()->viewport(), QEvent::MouseButtonDblClick, at);
    SendMouse(List()->viewport(), QEvent::MouseButtonRelease, at);
  }

  void ExpectNothingChosen(Dialog& d) {
    EXPECT_EQ(d.TestWindow(), nullptr);
    EXPECT_EQ(Module1::DeviceIndex, 0);
    EXPECT_EQ(Module1::DeviceSerial, "");
    EXPECT_EQ(Module1::DeviceVersion, "");
  }

  const std::u32string serials = kavr::testing_buffers::Patterned(U'A', 26);
  const std::u32string versions = kavr::testing_buffers::Patterned(U'0', 10);
  FakeControllerLibrary library;
  RecordingDisplay display;
  Dialog dialog{library, display};
};

TEST_F(DialogTest, ListsTheControllersNumberedWithTheFirstSelected) {
  LoadAndShow(3);
  EXPECT_EQ(Lines(), (Strings{
                         "Device - 1 Serial Number - " + Positions(serials, 1, 16) + " Version - " +
                             Positions(versions, 1, 4),
                         "Device - 2 Serial Number - " + Positions(serials, 18, 33) + " Version - " +
                             Positions(versions, 6, 9),
                         "Device - 3 Serial Number - " + Positions(serials, 35, 50) + " Version - " +
                             Positions(versions, 11, 14),
                     }));
  ASSERT_EQ(List()->selectedItems().size(), 1);
  EXPECT_EQ(List()->selectedItems().front(), List()->item(0));
  EXPECT_EQ(Module1::DeviceCount, 3);
  EXPECT_TRUE(display.shown.empty());

  // Init belongs to the one load of the run.
  EXPECT_TRUE(dialog.Load());
  EXPECT_EQ(library.calls, Strings{"Init"});
  EXPECT_EQ(List()->count(), 3);
}

TEST_F(DialogTest, DoubleClickChoosesTheLineAndOpensTheTestWindow) {
  LoadAndShow(3);
  DoubleClickLine(2);

  EXPECT_EQ(Module1::DeviceIndex, 2);
  EXPECT_EQ(Module1::DeviceSerial, Positions(serials, 35, 50));
  EXPECT_EQ(Module1::DeviceVersion, Positions(versions, 11, 14));
  ASSERT_NE(dialog.TestWindow(), nullptr);
  EXPECT_TRUE(dialog.TestWindow()->isVisible());
  EXPECT_FALSE(dialog.isVisible());
  // The values were stored before the test window loaded.
  auto* label = dialog.TestWindow()->findChild<QLabel*>("TextSel");
  ASSERT_NE(label, nullptr);
  EXPECT_TRUE(label->text().contains(QString::fromStdString(Module1::DeviceSerial)));
  EXPECT_TRUE(label->text().contains(QString::fromStdString(Module1::DeviceVersion)));
  EXPECT_EQ(library.calls, Strings{"Init"});
}

TEST_F(DialogTest, OkAndEnterChooseTheSelectedLine) {
  LoadAndShow(3);
  Button("OKButton")->click();
  EXPECT_EQ(Module1::DeviceIndex, 0);
  EXPECT_EQ(Module1::DeviceSerial, Positions(serials, 1, 16));
  EXPECT_EQ(Module1::DeviceVersion, Positions(versions, 1, 4));
  EXPECT_NE(dialog.TestWindow(), nullptr);
  EXPECT_FALSE(dialog.isVisible());

  Dialog other(library, display);
  ASSERT_TRUE(other.Load());
  other.show();
  List(other)->setCurrentRow(1);
  SendKey(List(other), Qt::Key_Return);
  EXPECT_EQ(Module1::DeviceIndex, 1);
  EXPECT_EQ(Module1::DeviceSerial, Positions(serials, 18, 33));
  EXPECT_NE(other.TestWindow(), nullptr);
}

TEST_F(DialogTest, TheFiftyNinthSerialIsCutAndLaterOnesAreEmpty) {
  LoadAndShow(60);
  const Strings lines = Lines();
  ASSERT_EQ(lines.size(), 60u);
  EXPECT_EQ(lines[58], "Device - 59 Serial Number - " + Positions(serials, 987, 1000) + " Version - " +
                           Positions(versions, 291, 294));
  EXPECT_EQ(lines[59], "Device - 60 Serial Number -  Version - " + Positions(versions, 296, 299));

  ClickLine(58);
  Button("OKButton")->click();
  EXPECT_EQ(Module1::DeviceIndex, 58);
  EXPECT_EQ(Module1::DeviceSerial, Positions(serials, 987, 1000));
}

TEST_F(DialogTest, CodeZeroInASlotIsNeverDrawn) {
  library.initSerials.replace(0, 16, U"SN\0-7\0\0\0\0\0\0\0\0\0\0\0", 16);
  library.initVersions.replace(0, 4, U"1\0\0\0", 4);
  LoadAndShow(1);
  EXPECT_EQ(Lines(), Strings{"Device - 1 Serial Number - SN-7 Version - 1"});
  Button("OKButton")->click();
  EXPECT_EQ(Module1::DeviceSerial, "SN-7");
  EXPECT_EQ(Module1::DeviceVersion, "1");
}

TEST_F(DialogTest, NothingToChooseFromShowsTheErrorBoxAndListsNothing) {
  const std::string noDevices = "No Devices Found\rOr DLL is locked - try restart Visual Basic";
  const std::string missing = "/opt/kavrtest/bin/KAVRVBDLL.so: cannot open shared object file";
  const struct {
    kavr::ResultCode result;
    std::int32_t count;
    std::string loadFailure, prompt;
  } cases[] = {
      {0, 0, "", noDevices},
      {0, -1, "", noDevices},
      {3, 2, "", noDevices},
      {1, 0, missing, "Cannot load the controller library:\r" + missing},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "result " << c.result << " count " << c.count);
    FakeControllerLibrary failing;
    failing.results["Init"] = c.result;
    failing.initCount = c.count;
    failing.initSerials = serials;
    failing.loadFailure = c.loadFailure;
    RecordingDisplay boxes;
    Dialog failed(failing, boxes);

    EXPECT_FALSE(failed.Load());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "ERROR");
    EXPECT_EQ(boxes.shown[0].prompt, c.prompt);
    EXPECT_EQ(List(failed)->count(), 0);
    EXPECT_FALSE(failed.isVisible());
    EXPECT_EQ(failing.calls, Strings{"Init"});
    EXPECT_EQ(Module1::DeviceCount, c.count);
  }
}

TEST_F(DialogTest, CancelAndEscapeCloseWithoutCallingTheLibrary) {
  LoadAndShow(3);
  ClickLine(1);
  Button("CancelButton")->click();
  EXPECT_FALSE(dialog.isVisible());
  ExpectNothingChosen(dialog);

  Dialog other(library, display);
  ASSERT_TRUE(other.Load());
  other.show();
  SendKey(List(other), Qt::Key_Escape);
  EXPECT_FALSE(other.isVisible());
  ExpectNothingChosen(other);
  EXPECT_EQ(library.calls, (Strings{"Init", "Init"}));
}

TEST_F(DialogTest, OkWithNoSelectedLineKeepsTheDialogOpen) {
  LoadAndShow(3);
  ClickLine(0, Qt::ControlModifier);
  ASSERT_TRUE(List()->selectedItems().isEmpty());
  Button("OKButton")->click();
  EXPECT_TRUE(dialog.isVisible());
  ExpectNothingChosen(dialog);
}

TEST_F(DialogTest, LayoutFollowsTheTwipsGrid) {
  EXPECT_EQ(dialog.windowTitle(), "Select Your Choice");
  const QSize client(kavr::TwipsToPixelsX(dialog, 7410), kavr::TwipsToPixelsY(dialog, 3240));
  EXPECT_EQ(dialog.minimumSize(), client);
  EXPECT_EQ(dialog.maximumSize(), client);
  const Qt::WindowFlags flags = dialog.windowFlags();
  EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                        Qt::WindowContextHelpButtonHint));
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);

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
    auto* control = dialog.findChild<QWidget*>(c.name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->geometry(),
              kavr::TwipsRect(dialog, c.twips.x(), c.twips.y(), c.twips.width(), c.twips.height()));
    EXPECT_EQ(control->accessibleName(), c.caption);
  }
  EXPECT_EQ(Button("OKButton")->text(), "OK");
  EXPECT_EQ(Button("CancelButton")->text(), "Cancel");
  EXPECT_TRUE(Button("OKButton")->isDefault());
  EXPECT_EQ(List()->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_FALSE(List()->isSortingEnabled());

  LoadAndShow(2);
  EXPECT_EQ(dialog.focusWidget(), Button("OKButton"));
  EXPECT_EQ(Button("OKButton")->nextInFocusChain(), Button("CancelButton"));
  EXPECT_EQ(Button("CancelButton")->nextInFocusChain(), List());
  const QPoint screenCentre = dialog.screen()->availableGeometry().center();
  EXPECT_LE((dialog.frameGeometry().center() - screenCentre).manhattanLength(), 4);
}

// The application's event loop, as the program runs it: it ends when the last
// window closes.
class LifetimeTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    // Windows left visible by other tests would keep the loop running.
    for (QWidget* window : QApplication::topLevelWidgets()) window->hide();
  }

  // True when the loop ended because the last window closed. The steps run
  // inside the loop, one after another.
  bool RunUntilLastWindowCloses(std::vector<std::function<void()>> steps) {
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::exit(99); });
    watchdog.start(5000);
    int delay = 0;
    for (auto& step : steps) QTimer::singleShot(delay += 20, &dialog, step);
    return QApplication::exec() == 0;
  }
};

TEST_F(LifetimeTest, ClosingTheDialogWithoutAChoiceEndsTheProgram) {
  LoadAndShow(2);
  EXPECT_TRUE(RunUntilLastWindowCloses({[this] { Button("CancelButton")->click(); }}));
}

TEST_F(LifetimeTest, AfterAChoiceTheProgramRunsUntilTheTestWindowCloses) {
  LoadAndShow(2);
  bool testWindowOpenAlone = false;
  EXPECT_TRUE(RunUntilLastWindowCloses({
      [this] { Button("OKButton")->click(); },
      [this, &testWindowOpenAlone] {
        testWindowOpenAlone = !dialog.isVisible() && dialog.TestWindow()->isVisible();
        dialog.TestWindow()->close();
      },
  }));
  EXPECT_TRUE(testWindowOpenAlone);
}

}  // namespace

// The test window offscreen: its controls as the user meets them, the load
// step, and which controls each button reads.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dlgform.h"
#include "module1.h"
#include "twips.h"
#include "window_fakes.h"

namespace {

using ::testing::ElementsAre;

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Module1::DeviceIndex = 1;
    Module1::DeviceSerial = "0123456789ABCDEF";
    Module1::DeviceVersion = "2.31";
    window.Load();
  }
  void TearDown() override {
    Module1::DeviceIndex = 0;
    Module1::DeviceSerial.clear();
    Module1::DeviceVersion.clear();
  }

  template <typename Control>
  Control* Find(const char* name) {
    auto* control = window.findChild<Control*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
  }

  void Click(const char* name) { Find<QPushButton>(name)->click(); }

  window_test::Journal journal;
  window_test::ScriptedLibrary library{journal};
  window_test::RecordingDisplay display{journal};
  DLGForm window{library, display};
};

TEST_F(WindowTest, HasEveryControlWithItsKindCaptionAndContainer) {
  const struct {
    const char* name;
    const char* kind;
    const char* caption;
    const char* container;
  } controls[] = {
      {"CGetState", "QPushButton", "KAVR_GetState", "DLGForm"},
      {"CStop", "QPushButton", "KAVR_Stop", "DLGForm"},
      {"CGetLastErr", "QPushButton", "KAVR_GetLastErr", "DLGForm"},
      {"CSetParameters", "QPushButton", "KAVR_SetParameters", "DLGForm"},
      {"CSaveParametersToFlash", "QPushButton", "KAVR_SaveParametersToFlash", "DLGForm"},
      {"Frame1", "QGroupBox", "KAVR_Mode", "DLGForm"},
      {"ChPower(0)", "QCheckBox", "Power", "Frame1"},
      {"ChTrSwap(0)", "QCheckBox", "TrSwap", "Frame1"},
      {"CSetMode", "QPushButton", "KAVR_SetMode", "Frame1"},
      {"Frame3", "QGroupBox", "", "DLGForm"},
      {"ChPower(1)", "QCheckBox", "Power", "Frame3"},
      {"Command1", "QPushButton", "KAVR_SetMode", "Frame3"},
      {"Frame2", "QGroupBox", "KAVR_Start", "DLGForm"},
      {"Label2", "QLabel", "DestPos", "Frame2"},
      {"Label3", "QLabel", "Speed", "Frame2"},
      {"Label1", "QLabel", "Step Divisor", "Frame2"},
      {"CStart", "QPushButton", "KAVR_Start", "Frame2"},
  };
  for (const auto& c : controls) {
    SCOPED_TRACE(c.name);
    QWidget* control = Find<QWidget>(c.name);
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(control->inherits(c.kind));
    EXPECT_EQ(control->parentWidget()->objectName().toStdString(), c.container);
    EXPECT_EQ(control->accessibleName().toStdString(), c.caption);
    QString shown;
    if (auto* button = qobject_cast<QAbstractButton*>(control)) shown = button->text();
    if (auto* label = qobject_cast<QLabel*>(control)) shown = label->text();
    if (auto* frame = qobject_cast<QGroupBox*>(control)) shown = frame->title();
    EXPECT_EQ(shown.toStdString(), c.caption);
    // Nothing sticks out of its container.
    EXPECT_TRUE(control->parentWidget()->rect().contains(control->geometry())) << c.name;
  }
  EXPECT_EQ(Find<QLineEdit>("TDP")->parentWidget(), Find<QWidget>("Frame2"));
  EXPECT_EQ(Find<QLineEdit>("TSP")->parentWidget(), Find<QWidget>("Frame2"));
  EXPECT_EQ(Find<QComboBox>("Combo1")->parentWidget(), Find<QWidget>("Frame2"));
  EXPECT_EQ(Find<QLabel>("TextSel")->parentWidget(), &window);
}

TEST_F(WindowTest, IsAFixedSizeWindowWithItsCaption) {
  EXPECT_EQ(window.windowTitle().toStdString(), "VB Test KAVRDLL");
  const QSize client(kavr::TwipsToPixelsX(window, 5910), kavr::TwipsToPixelsY(window, 4455));
  EXPECT_EQ(window.size(), client);
  EXPECT_EQ(window.minimumSize(), client);
  EXPECT_EQ(window.maximumSize(), client);
  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(window.isModal());
}

TEST_F(WindowTest, LoadStepFillsTheSelectionLineTheDivisorsAndTheDefaults) {
  const QString selection = Find<QLabel>("TextSel")->text();
  EXPECT_EQ(selection.toStdString(), "S/N: 0123456789ABCDEF  Version: 2.31");
  EXPECT_EQ(selection.size(), 36);

  auto* divisors = Find<QComboBox>("Combo1");
  ASSERT_EQ(divisors->count(), 4);
  EXPECT_EQ(divisors->itemText(0), "1");
  EXPECT_EQ(divisors->itemText(1), "2");
  EXPECT_EQ(divisors->itemText(2), "4");
  EXPECT_EQ(divisors->itemText(3), "8");
  EXPECT_EQ(divisors->currentText(), "1");
  EXPECT_FALSE(divisors->isEditable());

  EXPECT_EQ(Find<QLineEdit>("TDP")->text(), "0");
  EXPECT_EQ(Find<QLineEdit>("TSP")->text(), "3000");
  EXPECT_TRUE(Find<QCheckBox>("ChPower(0)")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>("ChPower(1)")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>("ChTrSwap(0)")->isChecked());
  EXPECT_TRUE(library.calls.empty());
}

TEST_F(WindowTest, FocusStartsOnTheStateButtonAndTabsInTheTableOrder) {
  EXPECT_EQ(window.focusWidget(), Find<QWidget>("CGetState"));

  std::vector<std::string> order;
  QWidget* at = Find<QWidget>("CGetState");
  do {
    if (at->focusPolicy() & Qt::TabFocus) order.push_back(at->objectName().toStdString());
    at = at->nextInFocusChain();
  } while (at != Find<QWidget>("CGetState") && order.size() < 40);
  EXPECT_THAT(order, ElementsAre("CGetState", "CStop", "CGetLastErr", "CSetParameters",
                                 "CSaveParametersToFlash", "ChPower(0)", "ChTrSwap(0)", "Combo1", "CStart",
                                 "CSetMode", "TDP", "TSP", "Command1", "ChPower(1)"));
}

TEST_F(WindowTest, ButtonsRunTheirActionsOnTheSelectedDevice) {
  const struct {
    const char* button;
    std::vector<std::string> events;
  } cases[] = {
      {"CGetState", {"GetState", "show KAVR_GetState Successful"}},
      {"CStop", {"Stop", "show KAVR_Stop Successful"}},
      {"CGetLastErr", {"GetLastErr", "show Error"}},
      {"CSetParameters", {"GetParameters", "SetParameters", "show KAVR_SetParameters Successful"}},
      {"CSaveParametersToFlash", {"SaveParametersToFlash", "show KAVR_SaveParametersToFlash Successful"}},
      {"CSetMode", {"GetMode", "SetMode", "show KAVR_SetMode Successful"}},
      {"Command1", {"GetMode", "SetMode", "show KAVR_SetMode Successful"}},
      {"CStart", {"GetStartParameters", "Start", "show KAVR_Start Successful"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.button);
    journal.events.clear();
    library.calls.clear();
    Click(c.button);
    EXPECT_EQ(journal.events, c.events);
    for (const auto& call : library.calls) {
      if (call.entry != "GetLastErr") {
        EXPECT_EQ(call.device, 1) << call.entry;
      }
    }
  }
}

TEST_F(WindowTest, EachModeButtonReadsOnlyItsOwnBoxesAndGrayedIsUnchecked) {
  const struct {
    Qt::CheckState power0, swap, power1;
    kavr::Flag modePowerOff, modeSwapped, powerPowerOff;
  } cases[] = {
      {Qt::Checked, Qt::Checked, Qt::Unchecked, 0, 1, 1},
      {Qt::Unchecked, Qt::Unchecked, Qt::Checked, 1, 0, 0},
      {Qt::PartiallyChecked, Qt::PartiallyChecked, Qt::PartiallyChecked, 1, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.power0 << c.swap << c.power1);
    library.calls.clear();
    const std::pair<const char*, Qt::CheckState> boxes[] = {
        {"ChPower(0)", c.power0}, {"ChTrSwap(0)", c.swap}, {"ChPower(1)", c.power1}};
    for (const auto& [name, state] : boxes) {
      Find<QCheckBox>(name)->setTristate(true);
      Find<QCheckBox>(name)->setCheckState(state);
    }
    Click("CSetMode");
    Click("Command1");
    const auto writes = library.CallsOf("SetMode");
    ASSERT_EQ(writes.size(), 2u);
    KAVR_Mode byMode;
    KAVR_Mode byPower;
    std::memcpy(&byMode, writes[0].bytes.data(), sizeof byMode);
    std::memcpy(&byPower, writes[1].bytes.data(), sizeof byPower);
    EXPECT_EQ(byMode.PowerOff, c.modePowerOff);
    EXPECT_EQ(byMode.TrailersSwapped, c.modeSwapped);
    EXPECT_EQ(byPower.PowerOff, c.powerPowerOff);
    EXPECT_EQ(byPower.TrailersSwapped, library.mode.TrailersSwapped);
  }
}

TEST_F(WindowTest, StartButtonSendsTheStartGroupAsTyped) {
  Click("CStart");
  Find<QComboBox>("Combo1")->setCurrentIndex(3);
  Find<QLineEdit>("TDP")->setText(" -150 ");
  Find<QLineEdit>("TSP")->setText("250");
  Click("CStart");
  Find<QLineEdit>("TSP")->setText("abc");
  Click("CStart");

  const auto starts = library.CallsOf("Start");
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[0].destination, 0);
  EXPECT_EQ(starts[0].speed, 3000.0f);
  EXPECT_EQ(starts[0].bytes.at(0), 1);
  EXPECT_EQ(starts[1].destination, -150);
  EXPECT_EQ(starts[1].speed, 250.0f);
  EXPECT_EQ(starts[1].bytes.at(0), 8);
  ASSERT_EQ(display.shown.size(), 3u);
  EXPECT_EQ(display.shown[2].title, "KAVR_Start");
  EXPECT_EQ(display.shown[2].prompt, "Speed: \"abc\" is not a number");
  // The actions change no control.
  EXPECT_EQ(Find<QLineEdit>("TSP")->text(), "abc");
}

TEST_F(WindowTest, ClosingCallsNothing) {
  window.close();
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(library.calls.empty());
  EXPECT_TRUE(display.shown.empty());
}

}  // namespace

// The test window offscreen: its controls as the user meets them, the load
// step, and which controls each button reads.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <map>

#include "app/selection.h"
#include "dlgform.h"
#include "fakes.h"
#include "reports/reports.h"
#include "twips.h"

namespace {

using fakes::BytesOf;
using fakes::Strings;

// What the control shows: a caption, a frame's title, a field's text or the current choice.
QString ShownText(const QWidget& control) {
  const char* property = control.inherits("QGroupBox") ? "title" : "text";
  return control.property(control.inherits("QComboBox") ? "currentText" : property).toString();
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { window.Load(); }
  template <typename Control = QWidget>
  Control* Find(const char* name) {
    auto* control = window.findChild<Control*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
  }

  fakes::Fakes f;
  DLGForm window{f.library, f.display, kavr::Selection{2, 1, "0123456789ABCDEF", "2.31"}};
};

TEST_F(WindowTest, LoadsEveryControlWithItsKindContainerAndCaption) {
  const struct {
    const char *name, *kind, *container, *caption, *text = nullptr;  // text null: the caption
  } controls[] = {
      {"TextSel", "QLabel", "DLGForm", "S/N: 0123456789ABCDEF  Version: 2.31"},
      {"CGetState", "QPushButton", "DLGForm", "KAVR_GetState"},
      {"CStop", "QPushButton", "DLGForm", "KAVR_Stop"},
      {"CGetLastErr", "QPushButton", "DLGForm", "KAVR_GetLastErr"},
      {"CSetParameters", "QPushButton", "DLGForm", "KAVR_SetParameters"},
      {"CSaveParametersToFlash", "QPushButton", "DLGForm", "KAVR_SaveParametersToFlash"},
      {"Frame1", "QGroupBox", "DLGForm", "KAVR_Mode"},
      {"ChPower(0)", "QCheckBox", "Frame1", "Power"},
      {"ChTrSwap(0)", "QCheckBox", "Frame1", "TrSwap"},
      {"CSetMode", "QPushButton", "Frame1", "KAVR_SetMode"},
      {"Frame3", "QGroupBox", "DLGForm", ""},
      {"ChPower(1)", "QCheckBox", "Frame3", "Power"},
      {"Command1", "QPushButton", "Frame3", "KAVR_SetMode"},
      {"Frame2", "QGroupBox", "DLGForm", "KAVR_Start"},
      {"Label2", "QLabel", "Frame2", "DestPos"},
      {"TDP", "QLineEdit", "Frame2", "DestPos", "0"},
      {"Label3", "QLabel", "Frame2", "Speed"},
      {"TSP", "QLineEdit", "Frame2", "Speed", "3000"},
      {"Label1", "QLabel", "Frame2", "Step Divisor"},
      {"Combo1", "QComboBox", "Frame2", "Step Divisor", "1"},
      {"CStart", "QPushButton", "Frame2", "KAVR_Start"},
  };
  for (const auto& c : controls) {
    SCOPED_TRACE(c.name);
    QWidget* control = Find(c.name);
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(control->inherits(c.kind));
    EXPECT_EQ(control->parentWidget()->objectName().toStdString(), c.container);
    EXPECT_EQ(control->accessibleName().toStdString(), c.caption);
    EXPECT_EQ(ShownText(*control).toStdString(), c.text ? c.text : c.caption);
    // Nothing sticks out of its container.
    EXPECT_TRUE(control->parentWidget()->rect().contains(control->geometry()));
  }
  auto* divisors = Find<QComboBox>("Combo1");
  QStringList items;
  for (int i = 0; i < divisors->count(); ++i) items << divisors->itemText(i);
  EXPECT_EQ(items, QStringList({"1", "2", "4", "8"}));
  EXPECT_FALSE(divisors->isEditable());
  EXPECT_TRUE(Find<QCheckBox>("ChPower(0)")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>("ChPower(1)")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>("ChTrSwap(0)")->isChecked());
  EXPECT_TRUE(f.library.events.empty());
}

// The inside of a frame's border as drawn (without its controls): scanned
// from each edge through the frame's middle, right of any caption, past the
// background and then past the border's lines.
QRect InsideOfBorder(QWidget& frame) {
  QImage image(frame.size(), QImage::Format_RGB32);
  frame.render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
  const QRgb background = frame.palette().color(QPalette::Window).rgb();
  const auto scan = [&](int from, int step, int end, auto pixelAt) {
    int at = from;
    while (at != end && pixelAt(at) == background) at += step;
    while (at != end && pixelAt(at) != background) at += step;
    return at;
  };
  const int x = frame.width() * 3 / 4, y = frame.height() / 2;
  const auto down = [&](int row) { return image.pixel(x, row); };
  const auto across = [&](int column) { return image.pixel(column, y); };
  return QRect(QPoint(scan(0, 1, frame.width(), across), scan(0, 1, frame.height(), down)),
               QPoint(scan(frame.width() - 1, -1, -1, across), scan(frame.height() - 1, -1, -1, down)));
}

TEST_F(WindowTest, EveryControlSitsInsideItsFrameWhoseBorderRunsThroughTheCaption) {
  const int captionHeight = Find("Frame1")->fontMetrics().height();
  std::map<std::string, int> borderTops;  // in the window
  for (const char* name : {"Frame1", "Frame2", "Frame3"}) {
    SCOPED_TRACE(name);
    QWidget* frame = Find(name);
    const QRect inside = InsideOfBorder(*frame);
    EXPECT_LT(inside.top(), captionHeight);
    borderTops[name] = frame->y() + inside.top();
    for (QWidget* control : frame->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      EXPECT_TRUE(inside.contains(control->geometry()))
          << control->objectName().toStdString() << " in " << inside.top() << "," << inside.left();
    }
  }
  EXPECT_EQ(borderTops["Frame1"], borderTops["Frame3"]);
}

TEST_F(WindowTest, IsAFixedSizeWindowThatTabsInTheTableOrderAndClosesSilently) {
  EXPECT_EQ(window.windowTitle(), "VB Test KAVRDLL");
  const QSize client(kavr::TwipsToPixelsX(window, 5910), kavr::TwipsToPixelsY(window, 4455));
  EXPECT_EQ(window.size(), client);
  EXPECT_EQ(window.minimumSize(), client);
  EXPECT_EQ(window.maximumSize(), client);
  EXPECT_FALSE(window.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(window.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(window.isModal());

  EXPECT_EQ(window.focusWidget(), Find("CGetState"));
  Strings order;
  QWidget* at = Find("CGetState");
  do {
    if (at->focusPolicy() & Qt::TabFocus) order.push_back(at->objectName().toStdString());
    at = at->nextInFocusChain();
  } while (at != Find("CGetState") && order.size() < 40);
  EXPECT_EQ(order, (Strings{"CGetState", "CStop", "CGetLastErr", "CSetParameters", "CSaveParametersToFlash",
                            "ChPower(0)", "ChTrSwap(0)", "Combo1", "CStart", "CSetMode", "TDP", "TSP",
                            "Command1", "ChPower(1)"}));

  window.close();  // sends no stop
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(f.library.events.empty());
}

TEST_F(WindowTest, EachButtonTestsEveryCallAndAFailedCallShowsTheLastErrorAndEndsTheAction) {
  const struct {
    const char* button;
    Strings calls;
    std::string title, prompt;  // prompt empty: a report whose bytes are checked below
  } cases[] = {
      {"CGetState", {"GetState"}, "KAVR_GetState Successful", kavr::StateReportText(f.library.state, ".")},
      {"CStop", {"Stop"}, "KAVR_Stop Successful", "Should be Stoped"},
      {"CSaveParametersToFlash",
       {"SaveParametersToFlash"},
       "KAVR_SaveParametersToFlash Successful",
       "Parameters Should be Saved"},
      {"CGetLastErr", {"GetLastErr"}, "Error", "Device is busy"},
      {"CSetParameters", {"GetParameters", "SetParameters"}, "KAVR_SetParameters Successful", ""},
      {"CSetMode", {"GetMode", "SetMode"}, "KAVR_SetMode Successful", ""},
      {"Command1", {"GetMode", "SetMode"}, "KAVR_SetMode Successful", ""},
      {"CStart", {"GetStartParameters", "Start"}, "KAVR_Start Successful", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.button);
    f.library.events.clear();
    Find<QPushButton>(c.button)->click();
    Strings expected = c.calls;
    expected.push_back("show " + c.title);
    EXPECT_EQ(f.library.events, expected);
    if (!c.prompt.empty()) {
      EXPECT_EQ(f.display.shown.back().prompt, c.prompt);
    }
    // A write after a failed read would overwrite the controller with values nobody chose.
    for (std::size_t failing = 0; failing < c.calls.size() && c.calls[failing] != "GetLastErr"; ++failing) {
      f.library.events.clear();
      f.library.results = {{fakes::EntryCalled(c.calls[failing]), 5}};
      Find<QPushButton>(c.button)->click();
      f.library.results.clear();
      expected.assign(c.calls.begin(), c.calls.begin() + failing + 1);
      expected.insert(expected.end(), {"GetLastErr", "show Error"});
      EXPECT_EQ(f.library.events, expected) << c.calls[failing];
      EXPECT_EQ(f.display.shown.back().prompt, "Device is busy");
    }
  }
  // Every read got a fresh zero-filled record, and every call named the selected controller.
  EXPECT_TRUE(f.library.dirtyReads.empty());
  EXPECT_THAT(f.library.devices, ::testing::Each(1));
}

TEST_F(WindowTest, ModeButtonsWriteOnlyTheirFieldsFromOnlyTheirOwnBoxesAndGrayedIsUnchecked) {
  const struct {
    Qt::CheckState power0, swap, power1;
    kavr::Flag modePowerOff, modeSwapped, powerPowerOff;
  } cases[] = {
      {Qt::Checked, Qt::Checked, Qt::Unchecked, 0, 1, 1},
      {Qt::Unchecked, Qt::Unchecked, Qt::Checked, 1, 0, 0},
      {Qt::PartiallyChecked, Qt::Checked, Qt::PartiallyChecked, 1, 1, 1},
      {Qt::Checked, Qt::PartiallyChecked, Qt::Checked, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.power0 << c.swap << c.power1);
    const std::pair<const char*, Qt::CheckState> boxes[] = {
        {"ChPower(0)", c.power0}, {"ChTrSwap(0)", c.swap}, {"ChPower(1)", c.power1}};
    for (const auto& [name, state] : boxes) {
      Find<QCheckBox>(name)->setTristate(true);
      Find<QCheckBox>(name)->setCheckState(state);
    }
    const auto press = [&](const char* button, kavr::Flag powerOff, std::optional<kavr::Flag> swapped) {
      // Both trailers off, and the swap flag as a library may hand it back.
      f.library.mode.Trailer1Enabled = f.library.mode.Trailer2Enabled = 0;
      f.library.mode.TrailersSwapped = -1;
      KAVR_Mode expected = f.library.mode;
      expected.PowerOff = powerOff;
      if (swapped) {
        expected.Trailer1Enabled = expected.Trailer2Enabled = 1;
        expected.TrailersSwapped = *swapped;
      }
      Find<QPushButton>(button)->click();
      EXPECT_EQ(BytesOf(f.library.mode), BytesOf(expected)) << button;
      EXPECT_EQ(f.display.shown.back().prompt, kavr::ModeReportText(expected, ".")) << button;
    };
    press("CSetMode", c.modePowerOff, c.modeSwapped);
    press("Command1", c.powerPowerOff, std::nullopt);
  }
}

TEST_F(WindowTest, ParametersButtonWritesTheButtonTimeoutAndCarriesEveryOtherByte) {
  KAVR_Parameters expected = f.library.parameters;
  expected.ButtonTimeout1 = 1000.0f;
  Find<QPushButton>("CSetParameters")->click();
  EXPECT_EQ(BytesOf(f.library.parameters), BytesOf(expected));
  EXPECT_EQ(f.display.shown.back().prompt, kavr::ParametersReportText(expected, "."));
}

TEST_F(WindowTest, StartButtonSendsTheStartGroupAsTyped) {
  Find<QComboBox>("Combo1")->setCurrentIndex(3);
  Find<QLineEdit>("TDP")->setText(" -150 ");
  Find<QLineEdit>("TSP")->setText("250");
  Find<QPushButton>("CStart")->click();
  EXPECT_EQ(f.library.destination, -150);
  EXPECT_EQ(f.library.speed, 250.0f);
  EXPECT_EQ(f.library.start.StepDivisor, 8);

  Find<QLineEdit>("TSP")->setText("abc");
  Find<QPushButton>("CStart")->click();
  EXPECT_EQ(f.library.events.back(), "show KAVR_Start");
  EXPECT_EQ(f.display.shown.back().prompt, "Speed: \"abc\" is not a number");
  EXPECT_EQ(Find<QLineEdit>("TSP")->text(), "abc");  // the actions change no control
}

}  // namespace

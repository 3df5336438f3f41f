// The message box behind every report and error of the program.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>

#include "message_box_display.h"
#include "report_box.h"

namespace kavr {
namespace {

// Shows a report as the program does and runs `check` on the open box, then
// dismisses it with Enter.
void WhileShown(MessageBoxDisplay& display, const std::string& prompt, const std::string& title,
                const std::function<void(ReportBox&)>& check,
                void (MessageBoxDisplay::*show)(const std::string&,
                                                const std::string&) = &MessageBoxDisplay::ShowReport) {
  bool seen = false;
  QTimer::singleShot(0, [&] {
    // Searched among all windows, so that a box that failed to become modal
    // is still found and closed rather than hanging the test.
    for (QWidget* window : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<ReportBox*>(window);
      if (box == nullptr || !box->isVisible()) continue;
      seen = true;
      check(*box);
      QTest::keyClick(box, Qt::Key_Return);
    }
  });
  (display.*show)(prompt, title);
  EXPECT_TRUE(seen) << "no box was shown";
}

TEST(MessageBox, IsPlainTextWithOneOkModalToItsParentWindowAloneAndWarnsOnlyOfRefusals) {
  const std::pair<std::string, QString> prompts[] = {
      {"line 1\rline 2\r", "line 1\nline 2\n"},
      {"CR LF\r\nis one break", "CR LF\nis one break"},
      {"no\x1b[2J\x07 control\xc2\x85", QString::fromUtf8("no\uFFFD[2J\uFFFD control\uFFFD")},
      {"25.00\xC2\xB0"
       "C",
       QString::fromUtf8("25.00\u00B0C")},
  };
  for (const auto& [prompt, shown] : prompts) EXPECT_EQ(PromptForDisplay(prompt), shown) << prompt;

  QWidget parent, other;
  auto* parentButton = new QPushButton("parent", &parent);
  auto* otherButton = new QPushButton("other", &other);
  parent.show();
  other.show();
  int parentClicks = 0, otherClicks = 0;
  QObject::connect(parentButton, &QPushButton::clicked, [&] { ++parentClicks; });
  QObject::connect(otherButton, &QPushButton::clicked, [&] { ++otherClicks; });

  MessageBoxDisplay display(&parent);
  WhileShown(display, "<i>first</i>\rsecond", "Error", [&](ReportBox& box) {
    EXPECT_EQ(box.parentWidget(), &parent);
    EXPECT_EQ(box.windowModality(), Qt::WindowModal);
    EXPECT_EQ(box.textFormat(), Qt::PlainText);
    EXPECT_EQ(box.buttons().size(), 1);
    EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box.windowTitle(), "Error");
    EXPECT_EQ(box.text(), "<i>first</i>\nsecond");
    // Through the windows, where modality is enforced.
    for (QPushButton* button : {parentButton, otherButton}) {
      QTest::mouseClick(button->window()->windowHandle(), Qt::LeftButton, {}, button->geometry().center());
    }
  });
  EXPECT_EQ(parentClicks, 0);
  EXPECT_EQ(otherClicks, 1);

  // A typed value the program refuses itself; its report would be "KAVR_Start Successful".
  WhileShown(
      display, "Speed: \"x\" is not a number", "KAVR_Start",
      [](ReportBox& box) { EXPECT_EQ(box.icon(), QMessageBox::Warning); }, &MessageBoxDisplay::ShowRefusal);
  MessageBoxDisplay unparented;
  WhileShown(unparented, "", "ERROR",
             [](ReportBox& box) { EXPECT_EQ(box.windowModality(), Qt::ApplicationModal); });
}

TEST(MessageBox, IsWideEnoughForItsTitleAndWrapsAWordWiderThanTheScreen) {
  MessageBoxDisplay display;
  const QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
  for (const char* title : {"Error", "KAVR_SaveParametersToFlash Successful"}) {
    WhileShown(display, "", title,
               [&](ReportBox& box) { EXPECT_GE(box.width(), TitleBarWidth(title, titleFont)) << title; });
  }

  const std::string digits(500, '7');
  WhileShown(display, "DestPos: \"" + digits + "\" is outside -2147483648 to 2147483647", "KAVR_Start",
             [](ReportBox& box) {
               EXPECT_LE(box.frameGeometry().width(), box.screen()->availableGeometry().width());
               const QLabel* label = box.findChild<QLabel*>("qt_msgbox_label");
               ASSERT_NE(label, nullptr);
               const QRect needed = label->fontMetrics().boundingRect(QRect(0, 0, label->width(), 100000),
                                                                      Qt::TextWordWrap, label->text());
               EXPECT_LE(needed.width(), label->width());
               EXPECT_LE(needed.height(), label->height());
             });
}

TEST(MessageBox, CtrlCCopiesTheWholeReportOrTheSelectionWithoutTheBreaksAddedForWrapping) {
  MessageBoxDisplay display;
  const std::string longWord(300, '4');
  std::string wholeReport, selection;
  WhileShown(display, "line 1\r" + longWord + "\r", "KAVR_GetState Successful", [&](ReportBox& box) {
    QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
    wholeReport = QGuiApplication::clipboard()->text().toStdString();
    auto* label = box.findChild<QLabel*>("qt_msgbox_label");
    label->setFocus();
    label->setSelection(0, static_cast<int>(label->text().size()));
    QTest::keyClick(label, Qt::Key_C, Qt::ControlModifier);
    selection = QGuiApplication::clipboard()->text().toStdString();
  });
  const std::string text = "line 1\n" + longWord + "\n";
  EXPECT_EQ(wholeReport, "KAVR_GetState Successful\n" + text);
  EXPECT_EQ(selection, text);
}

}  // namespace
}  // namespace kavr

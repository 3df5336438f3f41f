// The message box behind every report and error of the program.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "message_box_display.h"

namespace kavr {
namespace {

TEST(Selection, MessageBoxIsModalPlainTextWithOneOkAndLineBreaks) {
  const std::pair<std::string, QString> prompts[] = {
      {"line 1\rline 2\r", "line 1\nline 2\n"},
      {"CR LF\r\nis one break", "CR LF\nis one break"},
      {"25.00\xC2\xB0"
       "C",
       QString::fromUtf8("25.00\u00B0C")},
  };
  for (const auto& [prompt, shown] : prompts) EXPECT_EQ(PromptForDisplay(prompt), shown) << prompt;

  QMessageBox* seen = nullptr;
  QString title, text;
  QTimer::singleShot(0, [&] {
    // Searched among all windows, so that a box that failed to become modal
    // is still found and closed rather than hanging the test.
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible()) seen = box;
    }
    if (seen == nullptr) return;
    EXPECT_EQ(seen, QApplication::activeModalWidget());
    EXPECT_EQ(seen->textFormat(), Qt::PlainText);
    EXPECT_EQ(seen->buttons().size(), 1);
    title = seen->windowTitle();
    text = seen->text();
    seen->button(QMessageBox::Ok)->click();
  });
  MessageBoxDisplay().ShowReport("<i>first</i>\rsecond", "ERROR");
  ASSERT_NE(seen, nullptr) << "no box was shown";
  EXPECT_EQ(title, "ERROR");
  EXPECT_EQ(text, "<i>first</i>\nsecond");
}

}  // namespace
}  // namespace kavr

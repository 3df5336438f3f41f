// Slicing the library's device buffers, and the message box behind every
// report and error of the program.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <climits>

#include "device_list.h"
#include "fakes.h"
#include "message_box_display.h"

namespace kavr {
namespace {

using ui_test::Positions;
const std::u32string kSerials = ui_test::PatternedText(U'A', 26);
const std::u32string kVersions = ui_test::PatternedText(U'0', 7);

TEST(Selection, SlotsAndLinesStopAtTheBufferEnd) {
  const struct {
    std::int32_t device;
    std::string serial, version;
  } cases[] = {
      {0, Positions(kSerials, 1, 16), Positions(kVersions, 1, 4)},
      {2, Positions(kSerials, 35, 50), Positions(kVersions, 11, 14)},
      // The 59th serial slot is cut by the end of the buffer; later ones lie past it.
      {58, Positions(kSerials, 987, 1000), Positions(kVersions, 291, 294)},
      {59, "", Positions(kVersions, 296, 299)},
      {199, "", Positions(kVersions, 996, 999)},
      {200, "", ""},
      {-1, "", ""},
      {INT_MAX, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.device);
    EXPECT_EQ(ToUtf8(SerialOf(kSerials, c.device)), c.serial);
    EXPECT_EQ(ToUtf8(VersionOf(kVersions, c.device)), c.version);
  }
  // A buffer handed back shorter than it went in is sliced as far as it goes.
  EXPECT_EQ(ToUtf8(SerialOf(U"SHORT", 0)), "SHORT");

  const std::pair<std::int32_t, std::size_t> counts[] = {{0, 0},     {-1, 0},    {INT_MIN, 0},  {1, 1},
                                                         {200, 200}, {201, 200}, {INT_MAX, 200}};
  for (const auto& [count, lines] : counts) {
    EXPECT_EQ(DeviceLines(count, kSerials, kVersions).size(), lines) << count;
  }
}

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

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes.h"
#include "report_checks.h"
#include "reports/reports.h"

namespace kavr {
namespace {

using report_checks::RecordingDisplay;
using report_checks::Shown;

// The shared fake, with a GetLastErr that keeps every buffer it is handed
// and may hand back one of another length, as a faulty binding might.
class LastErrorLibrary : public fakes::FakeLibrary {
 public:
  void GetLastErr(LibraryText& buffer) override {
    received.push_back(buffer);
    if (resizeBuffer) {
      buffer = error;
    } else {
      buffer.replace(0, error.size(), error);
    }
  }

  LibraryText error;          // written over the buffer's start
  bool resizeBuffer = false;  // or handed back in its place, as a faulty binding might
  std::vector<LibraryText> received;
};

TEST(LastErrorReportTest, ShowsTheTextUpToTheFirstZeroUnderError) {
  LastErrorLibrary library;
  RecordingDisplay display;
  PrintLastError(library, display);  // an empty text gives an empty box
  library.error = std::u32string(U"Temp\u00E9rature > 70\u00B0C") + U'\0' + U"stale longer text";
  PrintLastError(library, display);
  EXPECT_EQ(display.shown, (Shown{{"Error", ""}, {"Error", "Temp\u00E9rature > 70\u00B0C"}}));
}

TEST(LastErrorReportTest, AFreshZeroedThousandCharacterBufferAndNothingBeyondIt) {
  LastErrorLibrary library;
  library.error = LibraryText(1000, U'x');
  EXPECT_EQ(LastErrorText(library), std::string(1000, 'x'));

  library.resizeBuffer = true;
  library.error += U"beyond";
  EXPECT_EQ(LastErrorText(library), std::string(1000, 'x'));
  ASSERT_EQ(library.received.size(), 2u);
  for (const LibraryText& buffer : library.received) EXPECT_EQ(buffer, LibraryText(1000, U'\0'));
}

}  // namespace
}  // namespace kavr

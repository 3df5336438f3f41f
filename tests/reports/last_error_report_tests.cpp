#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report_test_support.h"
#include "reports/reports.h"

namespace kavr {
namespace {

using testing::RecordingDisplay;
using testing::Shown;

// Only GetLastErr is used by the error report; every other entry fails.
class LastErrorLibrary : public ControllerLibrary {
 public:
  ResultCode Init(std::int32_t&, LibraryText&, LibraryText&) override { return 1; }
  ResultCode GetState(std::int32_t, KAVR_State&) override { return 1; }
  ResultCode GetMode(std::int32_t, KAVR_Mode&) override { return 1; }
  ResultCode SetMode(std::int32_t, KAVR_Mode&) override { return 1; }
  ResultCode GetParameters(std::int32_t, KAVR_Parameters&) override { return 1; }
  ResultCode SetParameters(std::int32_t, KAVR_Parameters&) override { return 1; }
  ResultCode GetStartParameters(std::int32_t, KAVR_StartParameters&) override { return 1; }
  ResultCode Start(std::int32_t, std::int32_t, float&, KAVR_StartParameters&) override { return 1; }
  ResultCode Stop(std::int32_t) override { return 1; }
  ResultCode SaveParametersToFlash(std::int32_t) override { return 1; }

  void GetLastErr(LibraryText& buffer) override {
    received.push_back(buffer);
    if (resize_buffer) {
      buffer = error;
    } else {
      buffer.replace(0, error.size(), error);
    }
  }

  LibraryText error;           // written over the buffer's start
  bool resize_buffer = false;  // or handed back in its place, as a faulty binding might
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

  library.resize_buffer = true;
  library.error += U"beyond";
  EXPECT_EQ(LastErrorText(library), std::string(1000, 'x'));
  ASSERT_EQ(library.received.size(), 2u);
  for (const LibraryText& buffer : library.received) EXPECT_EQ(buffer, LibraryText(1000, U'\0'));
}

}  // namespace
}  // namespace kavr

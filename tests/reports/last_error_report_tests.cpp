#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "report_test_support.h"
#include "reports/reports.h"

namespace kavr {
namespace {

using testing::RecordingDisplay;

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
    if (replace_whole_buffer) {
      buffer = *replace_whole_buffer;
    } else {
      buffer.replace(0, error.size(), error);
    }
  }

  LibraryText error;                                // written over the buffer's start
  std::optional<LibraryText> replace_whole_buffer;  // a binding that resizes the buffer
  std::vector<LibraryText> received;
};

TEST(LastErrorReportTest, ShowsTheLibraryTextUnderError) {
  LastErrorLibrary library;
  library.error = U"Device 0 not connected";
  library.error += U'\0';
  RecordingDisplay display;
  PrintLastError(library, display);

  ASSERT_EQ(display.shown.size(), 1u);
  EXPECT_EQ(display.shown[0].title, "Error");
  EXPECT_EQ(display.shown[0].prompt, "Device 0 not connected");
}

TEST(LastErrorReportTest, EmptyTextGivesAnEmptyBox) {
  LastErrorLibrary library;
  RecordingDisplay display;
  PrintLastError(library, display);
  ASSERT_EQ(display.shown.size(), 1u);
  EXPECT_EQ(display.shown[0].prompt, "");
  EXPECT_EQ(display.shown[0].title, "Error");
}

TEST(LastErrorReportTest, NothingAfterTheFirstZeroIsShown) {
  LastErrorLibrary library;
  library.error = std::u32string(U"short") + U'\0' + U"stale longer text";
  EXPECT_EQ(LastErrorText(library), "short");
}

TEST(LastErrorReportTest, AFullBufferShowsAllThousandCharactersAndNothingBeyond) {
  LastErrorLibrary library;
  library.error = LibraryText(1000, U'x');
  EXPECT_EQ(LastErrorText(library), std::string(1000, 'x'));

  library.replace_whole_buffer = LibraryText(1000, U'y') + U"beyond";
  EXPECT_EQ(LastErrorText(library), std::string(1000, 'y'));
}

TEST(LastErrorReportTest, AFreshZeroedThousandCharacterBufferEachTime) {
  LastErrorLibrary library;
  library.error = LibraryText(1000, U'e');
  LastErrorText(library);
  LastErrorText(library);
  ASSERT_EQ(library.received.size(), 2u);
  for (const LibraryText& buffer : library.received) EXPECT_EQ(buffer, LibraryText(1000, U'\0'));
}

TEST(LastErrorReportTest, NonAsciiTextArrivesAsUtf8) {
  LastErrorLibrary library;
  library.error = std::u32string(U"Temp\u00E9rature > 70\u00B0C") + U'\0';
  EXPECT_EQ(LastErrorText(library),
            "Temp\xC3\xA9rature > 70\xC2\xB0"
            "C");
}

}  // namespace
}  // namespace kavr

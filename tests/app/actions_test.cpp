// The start action's typed values on a scripted library: what is sent, and
// what stops the move before it reaches the controller. The other actions
// are driven through the test window's buttons (window_test.cpp).
#include "app/actions.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "reports/reports.h"

namespace {

using fakes::BytesOf;
using fakes::Fakes;
using fakes::Strings;

TEST(Actions, StartSendsTheTypedValuesOverTheRecordAsReadAndReportsTheSpeedLeft) {
  const struct {
    const char *divisor, *destination, *speed, *separator;
    std::uint8_t sentDivisor;
    std::int32_t sentDestination;
    float sentSpeed;
  } cases[] = {
      {"1", "0", "3000", ".", 1, 0, 3000.0f},
      {"8", "-150", "3000", ".", 8, -150, 3000.0f},
      {"4", "12.7", "0.5", ".", 4, 13, 0.5f},
      {"1", " 12.5 ", "+250", ".", 1, 13, 250.0f},
      {"1", "-12.5", "-1", ".", 1, -13, -1.0f},
      {"1", "12,7", "2,5", ",", 1, 13, 2.5f},
      {"1", "2147483647.4", "1e3", ".", 1, 2147483647, 1000.0f},
      {"1", "-2147483648", "3.4e38", ".", 1, -2147483648, 3.4e38f},
      // A destination too close to zero to round up is zero, not an error.
      {"1", "1e-999", "0", ".", 1, 0, 0.0f},
      {"1", ".5", "5.", ".", 1, 1, 5.0f},
      {"1",
       "12\xD9\xAB"
       "7",
       "3000", "\xD9\xAB", 1, 13, 3000.0f},  // U+066B
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.destination << " / " << c.speed << " / " << c.separator);
    Fakes f;
    f.library.speedAfterStart = 1500.0f;
    KAVR_StartParameters expected = f.library.start;
    expected.StepDivisor = c.sentDivisor;  // the three bytes after it stay as read
    kavr::StartAction(f.library, f.display, 0, {c.divisor, c.destination, c.speed, c.separator});
    EXPECT_EQ(f.library.events, (Strings{"GetStartParameters", "Start", "show KAVR_Start Successful"}));
    EXPECT_EQ(f.library.destination, c.sentDestination);
    EXPECT_EQ(f.library.speed, c.sentSpeed);
    EXPECT_EQ(BytesOf(f.library.start), BytesOf(expected));
    EXPECT_EQ(f.display.shown.at(0).prompt,
              kavr::StartReportText(c.sentDestination, 1500.0f, expected, c.separator));
  }
}

TEST(Actions, StartRefusesTextThatDoesNotConvertAndStartsNothing) {
  const struct {
    const char *destination, *speed, *prompt, *separator = ".", *divisor = "1";
  } cases[] = {
      {"", "3000", "DestPos: \"\" is empty"},
      {"0", "   ", "Speed: \"   \" is empty"},
      {"0", "abc", "Speed: \"abc\" is not a number"},
      {"0", "1e40", "Speed: \"1e40\" is outside the range of a 32-bit float"},
      {"0", "-1e40", "Speed: \"-1e40\" is outside the range of a 32-bit float"},
      {"0", "1e999", "Speed: \"1e999\" is outside the range of a 32-bit float"},
      {"-1e999", "3000", "DestPos: \"-1e999\" is outside -2147483648 to 2147483647"},
      {"0", "inf", "Speed: \"inf\" is not a number"},
      {"0", "nan", "Speed: \"nan\" is not a number"},
      {"3000000000", "3000", "DestPos: \"3000000000\" is outside -2147483648 to 2147483647"},
      {"2147483647.5", "3000", "DestPos: \"2147483647.5\" is outside -2147483648 to 2147483647"},
      // The other notation's separator groups digits there; it is never a decimal point.
      {"12.7", "3000", "DestPos: \"12.7\" is not a number (the decimal separator is \",\")", ","},
      {"1,000", "3000", "DestPos: \"1,000\" is not a number (the decimal separator is \".\")"},
      {"0", "-1e-999", "Speed: \"-1e-999\" is too small for a 32-bit float (it would be sent as 0)"},
      {"0x10", "3000", "DestPos: \"0x10\" is not a number"},
      {"--1", "3000", "DestPos: \"--1\" is not a number"},
      {"1 2", "3000", "DestPos: \"1 2\" is not a number"},
      {"1e", "3000", "DestPos: \"1e\" is not a number"},
      {".", "3000", "DestPos: \".\" is not a number"},
      // Divisor, destination, speed: only the first bad text is named.
      {"x", "y", "DestPos: \"x\" is not a number"},
      {"x", "y", "Step Divisor: \"256\" is outside 0 to 255", ".", "256"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.prompt);
    Fakes f;
    kavr::StartAction(f.library, f.display, 0, {c.divisor, c.destination, c.speed, c.separator});
    EXPECT_EQ(f.library.events, (Strings{"GetStartParameters", "show KAVR_Start"}));
    EXPECT_EQ(f.display.shown.at(0).prompt, c.prompt);
  }
}

}  // namespace

#include <gtest/gtest.h>

#include <limits>

#include "report_test_support.h"
#include "reports/reports.h"

namespace kavr {
namespace {

using testing::IsWellFormedReport;
using testing::LinesOf;
using testing::RecordingDisplay;
using testing::ReportOf;

TEST(StartReportTest, WorkedExampleOneShowsSixLinesUnderItsTitle) {
  KAVR_StartParameters start;
  start.StepDivisor = 1;
  RecordingDisplay display;
  const std::int32_t destination = 0;
  const float speed = 500;
  PrintStart(destination, speed, start, display);

  ASSERT_EQ(display.shown.size(), 1u);
  EXPECT_EQ(display.shown[0].title, "KAVR_Start Successful");
  EXPECT_EQ(display.shown[0].prompt,
            ReportOf({"Destination position - 0", "Speed - 500.00 tacts/s", "Steps Divisor - 1",
                      "Slow start/stop mode - Disabled", "Input synchronization signal ignored",
                      "Output synchronization counter will not be reset"}));
}

TEST(StartReportTest, WorkedExampleTwoShowsEightLines) {
  KAVR_StartParameters start;
  start.StepDivisor = 8;
  start.AutoBacklash = 1;
  start.BacklashCCW = 1;
  start.ForceBacklash = 0;
  start.WaitSyncIn = 1;
  start.SyncOutCounterReset = 1;
  EXPECT_EQ(
      StartReportText(-150, 0.5f, start),
      ReportOf({"Destination position - -150", "Speed - .50 tacts/s", "Steps Divisor - 8",
                "Automatic backlash operation - Enabled", "Automatic backlash operation direction - CCW",
                "Force automatic backlash operation - FALSE",
                "Controller will wait for input synchronization signal to start",
                "Output synchronization counter will be reset"}));
}

TEST(StartReportTest, DivisorOneShowsSlowStartAndNoBacklashLines) {
  KAVR_StartParameters start;
  start.StepDivisor = 1;
  start.SlowStart = -1;
  start.AutoBacklash = 1;
  start.BacklashCCW = 1;
  start.ForceBacklash = 1;
  const std::string text = StartReportText(0, 3000, start);
  const auto lines = LinesOf(text);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[3], "Slow start/stop mode - Enabled");
  EXPECT_EQ(text.find("backlash"), std::string::npos);
}

TEST(StartReportTest, EveryOtherDivisorTakesTheBacklashBranch) {
  const std::uint8_t divisors[] = {0, 2, 4, 8, 16, 255};
  for (std::uint8_t divisor : divisors) {
    KAVR_StartParameters start;
    start.StepDivisor = divisor;
    start.SlowStart = 1;
    start.AutoBacklash = 255;
    start.BacklashCCW = 0;
    start.ForceBacklash = -1;
    const std::string text = StartReportText(0, 3000, start);
    ASSERT_TRUE(IsWellFormedReport(text));
    const auto lines = LinesOf(text);
    ASSERT_EQ(lines.size(), 8u) << int{divisor};
    EXPECT_EQ(lines[2], "Steps Divisor - " + std::to_string(divisor));
    EXPECT_EQ(lines[3], "Automatic backlash operation - Enabled");
    EXPECT_EQ(lines[4], "Automatic backlash operation direction - CW");
    EXPECT_EQ(lines[5], "Force automatic backlash operation - TRUE");
    EXPECT_EQ(text.find("Slow start"), std::string::npos);
  }
}

TEST(StartReportTest, BacklashDisabledHidesDirectionAndForce) {
  KAVR_StartParameters start;
  start.StepDivisor = 4;
  start.BacklashCCW = 1;
  start.ForceBacklash = 1;
  start.WaitSyncIn = -1;
  start.SyncOutCounterReset = 255;
  EXPECT_EQ(StartReportText(7, 30, start),
            ReportOf({"Destination position - 7", "Speed - 30.00 tacts/s", "Steps Divisor - 4",
                      "Automatic backlash operation - Disabled",
                      "Controller will wait for input synchronization signal to start",
                      "Output synchronization counter will be reset"}));
}

TEST(StartReportTest, SpeedAndDestinationRendering) {
  const struct {
    float speed;
    const char* shown;
  } cases[] = {
      {0.5f, "Speed - .50 tacts/s"},    {0.0f, "Speed - .00 tacts/s"},
      {30.0f, "Speed - 30.00 tacts/s"}, {1234.5f, "Speed - 1234.50 tacts/s"},
      {-2.0f, "Speed - -2.00 tacts/s"}, {std::numeric_limits<float>::quiet_NaN(), "Speed - NaN tacts/s"}};
  KAVR_StartParameters start;
  start.StepDivisor = 1;
  for (const auto& c : cases) EXPECT_EQ(LinesOf(StartReportText(0, c.speed, start))[1], c.shown);

  EXPECT_EQ(LinesOf(StartReportText(-2147483647 - 1, 1, start))[0], "Destination position - -2147483648");
  EXPECT_EQ(LinesOf(StartReportText(1000000, 1, start))[0], "Destination position - 1000000");
}

}  // namespace
}  // namespace kavr

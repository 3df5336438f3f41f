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

constexpr const char* kPulseLabel = "Duration of the output synchronization pulse - ";
constexpr const char* kLastPhaseLabel = "Speed of the last phase of the backlash operation - ";

KAVR_Parameters WorkedExampleParameters() {
  KAVR_Parameters parameters;
  parameters.AccelerationTime = 500;
  parameters.DecelerationTime = 500;
  parameters.PowerReductionTimeout = 100;
  parameters.ButtonTimeout1 = 1000;
  parameters.ButtonSpeed1 = 5.5f;
  parameters.ButtonTimeout2 = 200.4f;
  parameters.ButtonSpeed2 = 0.75f;
  parameters.ButtonTimeout3 = 0;
  parameters.ButtonSpeed3 = 100;
  parameters.ButtonTimeout4 = 0;
  parameters.ButtonSpeed4 = 100;
  parameters.ButtonResetTimeout = 500;
  parameters.ButtonResetSpeed = 250;
  parameters.BacklashDistance = -200;
  parameters.RevolutionDistance = 400;
  parameters.MinRevolutionError = 2;
  parameters.PowerOffTemperature = 70;
  parameters.SyncOutPulse = 4;
  parameters.BacklashLastPhaseSpeed = 0.0f;
  return parameters;
}

std::vector<std::string> LinesFor(const KAVR_Parameters& parameters) {
  const std::string text = ParametersReportText(parameters);
  EXPECT_TRUE(IsWellFormedReport(text));
  auto lines = LinesOf(text);
  EXPECT_EQ(lines.size(), 20u);
  lines.resize(20);
  return lines;
}

TEST(ParametersReportTest, WorkedExampleShowsTwentyLinesUnderItsTitle) {
  RecordingDisplay display;
  PrintParameters(WorkedExampleParameters(), display);

  ASSERT_EQ(display.shown.size(), 1u);
  EXPECT_EQ(display.shown[0].title, "KAVR_SetParameters Successful");
  EXPECT_EQ(display.shown[0].prompt,
            ReportOf({"The parameters are:",
                      "Full acceleration time - 500 ms",
                      "Full deceleration time - 500 ms",
                      "Power reduction timeout - 100 ms",
                      "Button speedup timeout 1 - 1000 ms",
                      "Button speed after timeout 1 - 5.50 steps/s",
                      "Button speedup timeout 2 - 200 ms",
                      "Button speed after timeout 2 - 0.75 steps/s",
                      "Button speedup timeout 3 - 0 ms",
                      "Button speed after timeout 3 - 100.00 steps/s",
                      "Button speedup timeout 4 - 0 ms",
                      "Button speed after timeout 4 - 100.00 steps/s",
                      "Button reset timeout - 500 ms",
                      "Button reset operation speed - 250.00 steps/s",
                      "Backlash operation distance - -200 steps",
                      "Revolution distance - 400 steps",
                      "Minimal revolution distance error - 2 steps",
                      "Power off temperature - 70.00\xC2\xB0"
                      "C",
                      "Duration of the output synchronization pulse - 3.5 * [Tact Period]",
                      "Speed of the last phase of the backlash operation - normal"}));

  KAVR_Parameters variant = WorkedExampleParameters();
  variant.SyncOutPulse = 0;
  variant.BacklashLastPhaseSpeed = 20;
  const auto lines = LinesFor(variant);
  EXPECT_EQ(lines[18], "Duration of the output synchronization pulse - minimal");
  EXPECT_EQ(lines[19], "Speed of the last phase of the backlash operation - 19.50 steps/s");
}

TEST(ParametersReportTest, PulseShowsHalfAUnitBelowTheStoredByte) {
  const struct {
    std::uint8_t pulse;
    const char* shown;
  } cases[] = {
      {0, "minimal"}, {1, "0.5 * [Tact Period]"}, {4, "3.5 * [Tact Period]"}, {255, "254.5 * [Tact Period]"}};
  for (const auto& c : cases) {
    KAVR_Parameters parameters;
    parameters.SyncOutPulse = c.pulse;
    EXPECT_EQ(LinesFor(parameters)[18], std::string(kPulseLabel) + c.shown) << int{c.pulse};
  }
}

TEST(ParametersReportTest, LastPhaseSpeedIsNormalOnlyForZeroOrNotANumber) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float speed;
    const char* shown;
  } cases[] = {{0.0f, "normal"},
               {-0.0f, "normal"},
               {nan, "normal"},
               {20.0f, "19.50 steps/s"},
               {0.5f, "0.00 steps/s"},
               {0.25f, "-0.25 steps/s"},
               {0.499f, "0.00 steps/s"},  // rounds to zero: no minus sign
               {-10.0f, "-10.50 steps/s"},
               {std::numeric_limits<float>::infinity(), "Infinity steps/s"},
               {-std::numeric_limits<float>::infinity(), "-Infinity steps/s"}};
  for (const auto& c : cases) {
    KAVR_Parameters parameters;
    parameters.BacklashLastPhaseSpeed = c.speed;
    EXPECT_EQ(LinesFor(parameters)[19], std::string(kLastPhaseLabel) + c.shown) << c.speed;
  }
}

TEST(ParametersReportTest, FieldsRenderFromTheirExactValues) {
  KAVR_Parameters parameters;
  parameters.AccelerationTime = 3.0e38f;
  parameters.DecelerationTime = 200.5f;      // halfway: away from zero
  parameters.PowerReductionTimeout = -0.4f;  // rounds to zero: no sign
  parameters.ButtonSpeed1 = 0.125f;          // halfway at two decimals
  parameters.ButtonSpeed2 = 2.675f;          // just below halfway as a float
  parameters.ButtonSpeed3 = std::numeric_limits<float>::quiet_NaN();
  parameters.ButtonResetSpeed = 123456.0f;
  parameters.RevolutionDistance = -32768;
  parameters.PowerOffTemperature = 25.5f;
  const auto lines = LinesFor(parameters);
  EXPECT_EQ(lines[1], "Full acceleration time - 300000000549775575777803994281145270272 ms");
  EXPECT_EQ(lines[2], "Full deceleration time - 201 ms");
  EXPECT_EQ(lines[3], "Power reduction timeout - 0 ms");
  EXPECT_EQ(lines[5], "Button speed after timeout 1 - 0.13 steps/s");
  EXPECT_EQ(lines[7], "Button speed after timeout 2 - 2.67 steps/s");
  EXPECT_EQ(lines[9], "Button speed after timeout 3 - NaN steps/s");
  EXPECT_EQ(lines[13], "Button reset operation speed - 123456.00 steps/s");
  EXPECT_EQ(lines[15], "Revolution distance - -32768 steps");
  EXPECT_EQ(lines[17],
            "Power off temperature - 25.50\xC2\xB0"
            "C");
}

}  // namespace
}  // namespace kavr

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

KAVR_State WorkedExampleState() {
  KAVR_State state;
  state.CurrentPosition = 250;
  state.Temperature = 31.25f;
  state.StepDivisor = 8;
  state.LoftIndefinite = 0;
  state.FullPower = 1;
  state.DirectionCCW = 1;
  state.PowerOn = 1;
  state.FullSpeed = 1;
  state.AfterReset = 0;
  state.Running = 1;
  state.SyncInState = 0;
  state.SyncOutState = 1;
  state.RotaryState = 0;
  state.RotaryError = 0;
  state.EmergencyPushed = 0;
  state.Trailer1Pushed = 1;
  state.Trailer2Pushed = 0;
  state.InputVoltage = 12.0f;
  return state;
}

std::string LineOf(const KAVR_State& state, std::size_t index) {
  const std::string text = StateReportText(state);
  EXPECT_TRUE(IsWellFormedReport(text));
  const auto lines = LinesOf(text);
  EXPECT_EQ(lines.size(), 16u);
  return index < lines.size() ? lines[index] : std::string("<missing>");
}

TEST(StateReportTest, WorkedExampleShowsSixteenLinesUnderItsTitle) {
  RecordingDisplay display;
  PrintState(WorkedExampleState(), display);

  ASSERT_EQ(display.shown.size(), 1u);
  EXPECT_EQ(display.shown[0].title, "KAVR_GetState Successful");
  EXPECT_EQ(
      display.shown[0].prompt,
      ReportOf({"The state is:", "- Current Position in microsteps - 250",
                "- Temperature - 31.25\xC2\xB0"
                "C",
                "- Step Divisor - 8", "- Loft State - Fixed", "- Power - Full",
                "- Step Motor is Running in CCW Direction ", "- Device Position Already Set",
                "- Input Synchronization Logical Pin State - FALSE",
                "- Output Synchronization Logical Pin State - TRUE",
                "- Rotary Transducer Logical Pin State - FALSE", "- Rotary Transducer Error Flag - Clear",
                "- Emergency Disable Button - Unpushed", "- Trailer 1 Press State - Pushed",
                "- Trailer 2 Press State - Unpushed", "- Input Voltage - 12.0"}));
}

TEST(StateReportTest, MotionLineFormsAndTheFullSpeedRule) {
  struct Case {
    Flag running;
    Flag ccw;
    std::uint8_t divisor;
    Flag full_speed;
    const char* line;
  };
  const Case cases[] = {
      {1, 1, 1, 1, "- Step Motor is Running in CCW Direction at Full Speed"},
      {1, 0, 1, -1, "- Step Motor is Running in CW Direction at Full Speed"},
      {1, 1, 8, 1, "- Step Motor is Running in CCW Direction "},
      {1, 0, 1, 0, "- Step Motor is Running in CW Direction "},
      {1, 0, 0, 1, "- Step Motor is Running in CW Direction "},
      {255, 1, 2, 0, "- Step Motor is Running in CCW Direction "},
      {0, 1, 1, 1, "- Step Motor is Not Running"},
  };
  for (const Case& c : cases) {
    KAVR_State state = WorkedExampleState();
    state.Running = c.running;
    state.DirectionCCW = c.ccw;
    state.StepDivisor = c.divisor;
    state.FullSpeed = c.full_speed;
    EXPECT_EQ(LineOf(state, 6), c.line) << "running " << c.running << " divisor " << int{c.divisor};
  }
}

TEST(StateReportTest, FlagWordsTreatAnyNonzeroValueAsTrue) {
  KAVR_State state;
  state.LoftIndefinite = -1;
  state.PowerOn = 255;
  state.FullPower = 0;
  state.AfterReset = 2;
  state.SyncInState = -1;
  state.SyncOutState = 255;
  state.RotaryState = 7;
  state.RotaryError = -1;
  state.EmergencyPushed = 255;
  state.Trailer1Pushed = -1;
  state.Trailer2Pushed = 0x10000;
  const auto lines = LinesOf(StateReportText(state));
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[4], "- Loft State - Indefinite");
  EXPECT_EQ(lines[5], "- Power - Half");
  EXPECT_EQ(lines[7], "- Device is After Reset");
  EXPECT_EQ(lines[8], "- Input Synchronization Logical Pin State - TRUE");
  EXPECT_EQ(lines[9], "- Output Synchronization Logical Pin State - TRUE");
  EXPECT_EQ(lines[10], "- Rotary Transducer Logical Pin State - TRUE");
  EXPECT_EQ(lines[11], "- Rotary Transducer Error Flag - Error");
  EXPECT_EQ(lines[12], "- Emergency Disable Button - Pushed");
  EXPECT_EQ(lines[13], "- Trailer 1 Press State - Pushed");
  EXPECT_EQ(lines[14], "- Trailer 2 Press State - Pushed");
}

TEST(StateReportTest, PowerOffIgnoresFullPower) {
  KAVR_State state;
  state.PowerOn = 0;
  state.FullPower = 1;
  EXPECT_EQ(LineOf(state, 5), "- Power - Off");
}

TEST(StateReportTest, InputVoltageIsLowOnlyForZeroOrNotANumber) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    float volts;
    const char* shown;
  } cases[] = {{0.0f, "Low"},   {-0.0f, "Low"},  {nan, "Low"},     {0.04f, "0.0"},    {0.05f, "0.1"},
               {-0.04f, "0.0"}, {-3.2f, "-3.2"}, {24.25f, "24.3"}, {inf, "Infinity"}, {-inf, "-Infinity"}};
  for (const auto& c : cases) {
    KAVR_State state;
    state.InputVoltage = c.volts;
    EXPECT_EQ(LineOf(state, 15), std::string("- Input Voltage - ") + c.shown) << c.volts;
  }
}

TEST(StateReportTest, NumbersKeepTheirSignsAndTheDegreeSign) {
  KAVR_State state;
  state.CurrentPosition = -250;
  state.Temperature = -0.001f;
  state.StepDivisor = 255;
  const auto lines = LinesOf(StateReportText(state));
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[1], "- Current Position in microsteps - -250");
  EXPECT_EQ(lines[2],
            "- Temperature - 0.00\xC2\xB0"
            "C");
  EXPECT_EQ(lines[3], "- Step Divisor - 255");

  state.Temperature = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(LinesOf(StateReportText(state))[2],
            "- Temperature - NaN\xC2\xB0"
            "C");
}

}  // namespace
}  // namespace kavr

// The four record reports: their worked examples verbatim, the conditional
// lines, flags holding any nonzero value, and the numbers they render.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "report_checks.h"
#include "reports/reports.h"

namespace kavr {
namespace {

using report_checks::ExpectLines;
using report_checks::LinesOf;
using report_checks::ReportOf;
using report_checks::Shown;
using report_checks::ShownBy;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(ModeReportTest, WorkedExampleShowsEighteenLinesUnderItsTitle) {
  KAVR_Mode mode;
  mode.Button1TrueHigh = mode.CurrentReduction = mode.EmergencyOff = mode.Trailer1Enabled = 1;
  mode.Trailer1TrueHigh = mode.Trailer2Enabled = mode.SyncOutEnabled = mode.SyncInSingleMove = 1;
  mode.SyncOutCount = 200;
  EXPECT_EQ(
      ShownBy([&](ReportDisplay& display) { PrintMode(mode, ".", display); }),
      (Shown{{"KAVR_SetMode Successful",
              ReportOf(
                  {"Mode parameters:", "Buttons - Enabled", "Button 1 TRUE state - +3/+5 V",
                   "Button 2 TRUE state - 0 V(GND)", "Current reduction regime - Used", "Power - On",
                   "Trailers are - Direct", "Trailer 1 - Enabled", "Trailer 1 TRUE state - +3/+5 V",
                   "Trailer 2 - Enabled", "Trailer 2 TRUE state - 0 V(GND)", "Rotary Transducer - Disabled",
                   "Output Syncronization - Enabled", "Reset Output Synchronization Counter - No, why?",
                   "Number of steps after which synchronization output sygnal occures - 200",
                   "Synchronization input mode:", "Step motor will move one time to the destination position",
                   "Synchronization Output - NORMAL"})}}));
}

TEST(ModeReportTest, ConditionalLinesFollowTheirEnables) {
  KAVR_Mode mode;  // all zero: thirteen lines, no "Trailers are" line
  EXPECT_EQ(ModeReportText(mode, "."),
            ReportOf({"Mode parameters:", "Buttons - Enabled", "Button 1 TRUE state - 0 V(GND)",
                      "Button 2 TRUE state - 0 V(GND)", "Current reduction regime - Not Used", "Power - On",
                      "Trailer 1 - Disabled", "Trailer 2 - Disabled", "Rotary Transducer - Disabled",
                      "Output Syncronization - Disabled", "Synchronization input mode:",
                      "Step motor will move multiple times by [destination position]",
                      "Synchronization Output - NORMAL"}));

  // Trailer 2 alone still gives the "Trailers are" line; the rotary lines' false words.
  mode.Trailer2Enabled = mode.RotaryEnabled = 1;
  const std::vector<std::string> lines = LinesOf(ModeReportText(mode, "."));
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(lines[6], "Trailers are - Direct");
  EXPECT_EQ(lines[11], "Rotary Transducer TRUE state - 0 V(GND)");
  EXPECT_EQ(lines[12], "Rotary Transducer Operation - Check and ignore error");
  EXPECT_EQ(lines[13], "Reset Rotary Transducer Check Positions - No, why?");
}

TEST(ModeReportTest, EveryEnableGivesTwentyOneLinesAndButtonsDisabledTheElevenLineMinimum) {
  KAVR_Mode mode;
  mode.CurrentReduction = mode.RotaryTrueHigh = mode.TrailersSwapped = mode.Trailer1Enabled = -1;
  mode.Trailer2TrueHigh = mode.Trailer2Enabled = mode.RotaryEnabled = mode.RotaryStopOnError = 1;
  mode.Button1TrueHigh = mode.Button2TrueHigh = mode.ResetRotaryCheck = mode.SyncOutEnabled = 1;
  mode.ResetSyncOutCounter = mode.SyncOutInverted = mode.PowerOff = 255;
  mode.EmergencyOff = mode.Trailer1TrueHigh = 2;
  mode.SyncOutCount = -5;
  EXPECT_EQ(
      ModeReportText(mode, "."),
      ReportOf({"Mode parameters:", "Buttons - Enabled", "Button 1 TRUE state - +3/+5 V",
                "Button 2 TRUE state - +3/+5 V", "Current reduction regime - Used", "Power - Emerjency Off",
                "Trailers are - Swapped", "Trailer 1 - Enabled", "Trailer 1 TRUE state - +3/+5 V",
                "Trailer 2 - Enabled", "Trailer 2 TRUE state - +3/+5 V", "Rotary Transducer - Enabled"}) +
          ReportOf(
              {"Rotary Transducer TRUE state - +3/+5 V", "Rotary Transducer Operation - Stop on error",
               "Reset Rotary Transducer Check Positions - Initiated", "Output Syncronization - Enabled",
               "Reset Output Synchronization Counter - Initiated",
               "Number of steps after which synchronization output sygnal occures - -5",
               "Synchronization input mode:", "Step motor will move multiple times by [destination position]",
               "Synchronization Output - INVERTED"}));

  // Whatever the fields of the hidden lines hold; power off without emergency.
  mode.ButtonsDisabled = mode.PowerOff = 1;
  mode.EmergencyOff = mode.Trailer1Enabled = mode.Trailer2Enabled = mode.RotaryEnabled = mode.SyncOutEnabled =
      0;
  EXPECT_EQ(
      ModeReportText(mode, "."),
      ReportOf({"Mode parameters:", "Buttons - Disabled", "Current reduction regime - Used", "Power - Off",
                "Trailer 1 - Disabled", "Trailer 2 - Disabled", "Rotary Transducer - Disabled",
                "Output Syncronization - Disabled", "Synchronization input mode:",
                "Step motor will move multiple times by [destination position]",
                "Synchronization Output - INVERTED"}));
}

TEST(StateReportTest, WorkedExampleShowsSixteenLinesUnderItsTitle) {
  KAVR_State state;
  state.CurrentPosition = 250;
  state.Temperature = 31.25f;
  state.StepDivisor = 8;
  state.FullPower = state.DirectionCCW = state.PowerOn = state.FullSpeed = state.Running = 1;
  state.SyncOutState = state.Trailer1Pushed = 1;
  state.InputVoltage = 12.0f;
  EXPECT_EQ(
      ShownBy([&](ReportDisplay& display) { PrintState(state, ".", display); }),
      (Shown{{"KAVR_GetState Successful",
              ReportOf({"The state is:", "- Current Position in microsteps - 250",
                        "- Temperature - 31.25\u00B0C", "- Step Divisor - 8", "- Loft State - Fixed",
                        "- Power - Full", "- Step Motor is Running in CCW Direction ",
                        "- Device Position Already Set", "- Input Synchronization Logical Pin State - FALSE",
                        "- Output Synchronization Logical Pin State - TRUE",
                        "- Rotary Transducer Logical Pin State - FALSE",
                        "- Rotary Transducer Error Flag - Clear", "- Emergency Disable Button - Unpushed",
                        "- Trailer 1 Press State - Pushed", "- Trailer 2 Press State - Unpushed",
                        "- Input Voltage - 12.0"})}}));
}

TEST(StateReportTest, AnyNonzeroFlagReadsAsTrueAndNumbersKeepTheirSigns) {
  KAVR_State state;
  state.CurrentPosition = -250;
  state.Temperature = -0.001f;
  state.StepDivisor = 255;
  state.LoftIndefinite = state.SyncInState = state.RotaryError = state.Trailer1Pushed = -1;
  state.Running = state.SyncOutState = state.EmergencyPushed = 255;
  state.FullPower = state.FullSpeed = state.AfterReset = state.RotaryState = state.Trailer2Pushed = 0x10000;
  state.InputVoltage = 0.04f;
  EXPECT_EQ(
      StateReportText(state, "."),
      ReportOf({"The state is:", "- Current Position in microsteps - -250", "- Temperature - 0.00\u00B0C",
                "- Step Divisor - 255", "- Loft State - Indefinite", "- Power - Off",
                "- Step Motor is Running in CW Direction ", "- Device is After Reset",
                "- Input Synchronization Logical Pin State - TRUE",
                "- Output Synchronization Logical Pin State - TRUE",
                "- Rotary Transducer Logical Pin State - TRUE", "- Rotary Transducer Error Flag - Error",
                "- Emergency Disable Button - Pushed", "- Trailer 1 Press State - Pushed",
                "- Trailer 2 Press State - Pushed", "- Input Voltage - 0.0"}));
}

KAVR_State Moving(Flag ccw, std::uint8_t divisor, Flag fullSpeed) {
  return {.StepDivisor = divisor, .DirectionCCW = ccw, .FullSpeed = fullSpeed, .Running = 1};
}

TEST(StateReportTest, MotionPowerAndVoltageLines) {
  ExpectLines(StateReportText, 16,
              {{Moving(1, 1, 1), 6, "- Step Motor is Running in CCW Direction at Full Speed"},
               {Moving(0, 1, 0), 6, "- Step Motor is Running in CW Direction "},
               {Moving(0, 0, 1), 6, "- Step Motor is Running in CW Direction "},
               {{.StepDivisor = 1, .DirectionCCW = 1, .FullSpeed = 1}, 6, "- Step Motor is Not Running"},
               {{.PowerOn = 255}, 5, "- Power - Half"},
               {{.InputVoltage = 0.0f}, 15, "- Input Voltage - Low"},
               {{.InputVoltage = -0.0f}, 15, "- Input Voltage - Low"},
               {{.InputVoltage = kNaN}, 15, "- Input Voltage - Low"},
               {{.InputVoltage = -3.2f}, 15, "- Input Voltage - -3.2"}});
}

TEST(ParametersReportTest, WorkedExampleShowsTwentyLinesUnderItsTitle) {
  KAVR_Parameters parameters;
  parameters.AccelerationTime = parameters.DecelerationTime = parameters.ButtonResetTimeout = 500;
  parameters.PowerReductionTimeout = parameters.ButtonSpeed3 = parameters.ButtonSpeed4 = 100;
  parameters.ButtonTimeout1 = 1000;
  parameters.ButtonSpeed1 = 5.5f;
  parameters.ButtonTimeout2 = 200.4f;
  parameters.ButtonSpeed2 = 0.75f;
  parameters.ButtonResetSpeed = 250;
  parameters.BacklashDistance = -200;
  parameters.RevolutionDistance = 400;
  parameters.MinRevolutionError = 2;
  parameters.PowerOffTemperature = 70;
  parameters.SyncOutPulse = 4;
  EXPECT_EQ(
      ShownBy([&](ReportDisplay& display) { PrintParameters(parameters, ".", display); }),
      (Shown{{"KAVR_SetParameters Successful",
              ReportOf({"The parameters are:", "Full acceleration time - 500 ms",
                        "Full deceleration time - 500 ms", "Power reduction timeout - 100 ms",
                        "Button speedup timeout 1 - 1000 ms", "Button speed after timeout 1 - 5.50 steps/s",
                        "Button speedup timeout 2 - 200 ms", "Button speed after timeout 2 - 0.75 steps/s",
                        "Button speedup timeout 3 - 0 ms", "Button speed after timeout 3 - 100.00 steps/s",
                        "Button speedup timeout 4 - 0 ms", "Button speed after timeout 4 - 100.00 steps/s",
                        "Button reset timeout - 500 ms", "Button reset operation speed - 250.00 steps/s"}) +
                  ReportOf({"Backlash operation distance - -200 steps", "Revolution distance - 400 steps",
                            "Minimal revolution distance error - 2 steps",
                            "Power off temperature - 70.00\u00B0C",
                            "Duration of the output synchronization pulse - 3.5 * [Tact Period]",
                            "Speed of the last phase of the backlash operation - normal"})}}));

  parameters.SyncOutPulse = 0;
  parameters.BacklashLastPhaseSpeed = 20;
  const std::vector<std::string> lines = LinesOf(ParametersReportText(parameters, "."));
  ASSERT_EQ(lines.size(), 20u);
  EXPECT_EQ(lines[18], "Duration of the output synchronization pulse - minimal");
  EXPECT_EQ(lines[19], "Speed of the last phase of the backlash operation - 19.50 steps/s");
}

TEST(ParametersReportTest, PulseAndLastPhaseSpeedShowHalfAUnitBelowTheStoredValue) {
  const std::string pulse = "Duration of the output synchronization pulse - ";
  const std::string lastPhase = "Speed of the last phase of the backlash operation - ";
  ExpectLines(ParametersReportText, 20,
              {{{.SyncOutPulse = 1}, 18, pulse + "0.5 * [Tact Period]"},
               {{.SyncOutPulse = 255}, 18, pulse + "254.5 * [Tact Period]"},
               {{.BacklashLastPhaseSpeed = -0.0f}, 19, lastPhase + "normal"},
               {{.BacklashLastPhaseSpeed = kNaN}, 19, lastPhase + "normal"},
               {{.BacklashLastPhaseSpeed = 0.5f}, 19, lastPhase + "0.00 steps/s"},
               {{.BacklashLastPhaseSpeed = 0.25f}, 19, lastPhase + "-0.25 steps/s"}});
}

TEST(StartReportTest, WorkedExamplesShowSixAndEightLines) {
  EXPECT_EQ(ShownBy([](ReportDisplay& display) { PrintStart(0, 500.0f, {.StepDivisor = 1}, ".", display); }),
            (Shown{{"KAVR_Start Successful",
                    ReportOf({"Destination position - 0", "Speed - 500.00 tacts/s", "Steps Divisor - 1",
                              "Slow start/stop mode - Disabled", "Input synchronization signal ignored",
                              "Output synchronization counter will not be reset"})}}));

  KAVR_StartParameters start{.StepDivisor = 8};
  start.AutoBacklash = start.BacklashCCW = start.WaitSyncIn = start.SyncOutCounterReset = 1;
  EXPECT_EQ(
      StartReportText(-150, 0.5f, start, "."),
      ReportOf({"Destination position - -150", "Speed - .50 tacts/s", "Steps Divisor - 8",
                "Automatic backlash operation - Enabled", "Automatic backlash operation direction - CCW",
                "Force automatic backlash operation - FALSE",
                "Controller will wait for input synchronization signal to start",
                "Output synchronization counter will be reset"}));
}

TEST(StartReportTest, DivisorOneShowsSlowStartAndEveryOtherDivisorTheBacklashLines) {
  KAVR_StartParameters start{.StepDivisor = 1};
  start.SlowStart = start.AutoBacklash = start.BacklashCCW = start.ForceBacklash = -1;
  const std::vector<std::string> lines = LinesOf(StartReportText(0, 3000, start, "."));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[3], "Slow start/stop mode - Enabled");

  start.BacklashCCW = 0;
  start.WaitSyncIn = start.SyncOutCounterReset = 255;
  for (std::uint8_t divisor : {0, 2, 4, 16, 255}) {
    start.StepDivisor = divisor;
    EXPECT_EQ(
        StartReportText(7, 30, start, "."),
        ReportOf({"Destination position - 7", "Speed - 30.00 tacts/s",
                  "Steps Divisor - " + std::to_string(divisor), "Automatic backlash operation - Enabled",
                  "Automatic backlash operation direction - CW", "Force automatic backlash operation - TRUE",
                  "Controller will wait for input synchronization signal to start",
                  "Output synchronization counter will be reset"}));
  }

  start.AutoBacklash = 0;  // hides direction and force, whatever they hold
  const std::vector<std::string> shortForm = LinesOf(StartReportText(7, 30, start, "."));
  ASSERT_EQ(shortForm.size(), 6u);
  EXPECT_EQ(shortForm[3], "Automatic backlash operation - Disabled");
}

}  // namespace
}  // namespace kavr

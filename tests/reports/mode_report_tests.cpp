#include <gtest/gtest.h>

#include "report_test_support.h"
#include "reports/reports.h"

namespace kavr {
namespace {

using testing::IsWellFormedReport;
using testing::LinesOf;
using testing::RecordingDisplay;
using testing::ReportOf;

TEST(ModeReportTest, WorkedExampleShowsEighteenLinesUnderItsTitle) {
  KAVR_Mode mode;
  mode.ButtonsDisabled = 0;
  mode.Button1TrueHigh = 1;
  mode.Button2TrueHigh = 0;
  mode.CurrentReduction = 1;
  mode.PowerOff = 0;
  mode.EmergencyOff = 1;
  mode.TrailersSwapped = 0;
  mode.Trailer1Enabled = 1;
  mode.Trailer1TrueHigh = 1;
  mode.Trailer2Enabled = 1;
  mode.Trailer2TrueHigh = 0;
  mode.RotaryEnabled = 0;
  mode.SyncOutEnabled = 1;
  mode.ResetSyncOutCounter = 0;
  mode.SyncOutCount = 200;
  mode.SyncInSingleMove = 1;
  mode.SyncOutInverted = 0;

  RecordingDisplay display;
  PrintMode(mode, display);

  ASSERT_EQ(display.shown.size(), 1u);
  EXPECT_EQ(display.shown[0].title, "KAVR_SetMode Successful");
  EXPECT_EQ(
      display.shown[0].prompt,
      ReportOf({"Mode parameters:", "Buttons - Enabled", "Button 1 TRUE state - +3/+5 V",
                "Button 2 TRUE state - 0 V(GND)", "Current reduction regime - Used", "Power - On",
                "Trailers are - Direct", "Trailer 1 - Enabled", "Trailer 1 TRUE state - +3/+5 V",
                "Trailer 2 - Enabled", "Trailer 2 TRUE state - 0 V(GND)", "Rotary Transducer - Disabled",
                "Output Syncronization - Enabled", "Reset Output Synchronization Counter - No, why?",
                "Number of steps after which synchronization output sygnal occures - 200",
                "Synchronization input mode:", "Step motor will move one time to the destination position",
                "Synchronization Output - NORMAL"}));
}

TEST(ModeReportTest, AllZeroRecordGivesThirteenLines) {
  EXPECT_EQ(ModeReportText(KAVR_Mode{}),
            ReportOf({"Mode parameters:", "Buttons - Enabled", "Button 1 TRUE state - 0 V(GND)",
                      "Button 2 TRUE state - 0 V(GND)", "Current reduction regime - Not Used", "Power - On",
                      "Trailer 1 - Disabled", "Trailer 2 - Disabled", "Rotary Transducer - Disabled",
                      "Output Syncronization - Disabled", "Synchronization input mode:",
                      "Step motor will move multiple times by [destination position]",
                      "Synchronization Output - NORMAL"}));
}

TEST(ModeReportTest, ButtonsDisabledAloneGivesTheElevenLineMinimum) {
  KAVR_Mode mode;
  mode.ButtonsDisabled = 1;
  mode.Button1TrueHigh = 1;  // not shown while the buttons are disabled
  const std::string text = ModeReportText(mode);
  EXPECT_EQ(LinesOf(text).size(), 11u);
  EXPECT_EQ(LinesOf(text)[1], "Buttons - Disabled");
  EXPECT_EQ(text.find("Button 1"), std::string::npos);
}

TEST(ModeReportTest, EveryEnableSetGivesAllTwentyOneLines) {
  KAVR_Mode mode;
  mode.CurrentReduction = -1;
  mode.PowerOff = 255;
  mode.EmergencyOff = -1;
  mode.Trailer1TrueHigh = 2;
  mode.Trailer2TrueHigh = 1;
  mode.RotaryTrueHigh = 1;
  mode.TrailersSwapped = 1;
  mode.Trailer1Enabled = 1;
  mode.Trailer2Enabled = 1;
  mode.RotaryEnabled = 1;
  mode.RotaryStopOnError = 1;
  mode.Button1TrueHigh = 1;
  mode.Button2TrueHigh = 1;
  mode.ResetRotaryCheck = 1;
  mode.SyncOutEnabled = 1;
  mode.ResetSyncOutCounter = 1;
  mode.SyncInSingleMove = 0;
  mode.SyncOutCount = -5;
  mode.SyncOutInverted = 1;
  EXPECT_EQ(ModeReportText(mode),
            ReportOf({"Mode parameters:",
                      "Buttons - Enabled",
                      "Button 1 TRUE state - +3/+5 V",
                      "Button 2 TRUE state - +3/+5 V",
                      "Current reduction regime - Used",
                      "Power - Emerjency Off",
                      "Trailers are - Swapped",
                      "Trailer 1 - Enabled",
                      "Trailer 1 TRUE state - +3/+5 V",
                      "Trailer 2 - Enabled",
                      "Trailer 2 TRUE state - +3/+5 V",
                      "Rotary Transducer - Enabled",
                      "Rotary Transducer TRUE state - +3/+5 V",
                      "Rotary Transducer Operation - Stop on error",
                      "Reset Rotary Transducer Check Positions - Initiated",
                      "Output Syncronization - Enabled",
                      "Reset Output Synchronization Counter - Initiated",
                      "Number of steps after which synchronization output sygnal occures - -5",
                      "Synchronization input mode:",
                      "Step motor will move multiple times by [destination position]",
                      "Synchronization Output - INVERTED"}));
}

TEST(ModeReportTest, ConditionalLinesFollowTheirEnables) {
  KAVR_Mode mode;
  mode.PowerOff = 1;
  mode.Trailer2Enabled = 1;
  mode.RotaryEnabled = 1;  // rotary sub-lines in their "false" words
  mode.ResetSyncOutCounter = 1;
  mode.SyncOutCount = 77;  // neither shown while the output is disabled
  const std::string text = ModeReportText(mode);
  ASSERT_TRUE(IsWellFormedReport(text));
  const auto lines = LinesOf(text);
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(lines[5], "Power - Off");
  EXPECT_EQ(lines[6], "Trailers are - Direct");
  EXPECT_EQ(lines[7], "Trailer 1 - Disabled");
  EXPECT_EQ(lines[8], "Trailer 2 - Enabled");
  EXPECT_EQ(lines[9], "Trailer 2 TRUE state - 0 V(GND)");
  EXPECT_EQ(lines[11], "Rotary Transducer TRUE state - 0 V(GND)");
  EXPECT_EQ(lines[12], "Rotary Transducer Operation - Check and ignore error");
  EXPECT_EQ(lines[13], "Reset Rotary Transducer Check Positions - No, why?");
  EXPECT_EQ(lines[14], "Output Syncronization - Disabled");
  EXPECT_EQ(text.find("77"), std::string::npos);
}

}  // namespace
}  // namespace kavr

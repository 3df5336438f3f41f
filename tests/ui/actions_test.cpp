// The eight actions on a scripted library: calls and their order, the bytes
// of every record sent, and the boxes the user sees.
#include "actions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "reports/reports.h"
#include "window_fakes.h"

namespace {

using kavr::BoxState;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Eq;
using window_test::Bytes;
using window_test::BytesOf;

constexpr std::int32_t kDevice = 3;

class ActionsTest : public ::testing::Test {
 protected:
  window_test::Journal journal;
  window_test::ScriptedLibrary library{journal};
  window_test::RecordingDisplay display{journal};

  const window_test::Shown& OnlyShown() {
    EXPECT_EQ(display.shown.size(), 1u);
    return display.shown.at(0);
  }
};

// --- Actions with one call: state, stop, save, last error -------------------

struct SingleCallCase {
  const char* name;
  std::function<void(kavr::ControllerLibrary&, kavr::ReportDisplay&)> run;
  const char* entry;
  const char* successTitle;
  const char* fixedPrompt;  // null: a report of the record read
};

std::vector<SingleCallCase> SingleCallCases() {
  return {
      {"State", [](auto& l, auto& d) { kavr::StateAction(l, d, kDevice); }, "GetState",
       "KAVR_GetState Successful", nullptr},
      {"Stop", [](auto& l, auto& d) { kavr::StopAction(l, d, kDevice); }, "Stop", "KAVR_Stop Successful",
       "Should be Stoped"},
      {"Save", [](auto& l, auto& d) { kavr::SaveParametersAction(l, d, kDevice); }, "SaveParametersToFlash",
       "KAVR_SaveParametersToFlash Successful", "Parameters Should be Saved"},
  };
}

TEST_F(ActionsTest, SingleCallActionsShowTheirBoxOnlyOnSuccess) {
  for (const SingleCallCase& c : SingleCallCases()) {
    SCOPED_TRACE(c.name);
    {
      window_test::Journal okJournal;
      window_test::ScriptedLibrary ok(okJournal);
      window_test::RecordingDisplay okDisplay(okJournal);
      c.run(ok, okDisplay);
      EXPECT_THAT(okJournal.events, ElementsAre(c.entry, std::string("show ") + c.successTitle));
      EXPECT_EQ(ok.calls.at(0).device, kDevice);
      if (c.fixedPrompt) {
        EXPECT_EQ(okDisplay.shown.at(0).prompt, c.fixedPrompt);
      }
    }
    {
      window_test::Journal failJournal;
      window_test::ScriptedLibrary failing(failJournal);
      window_test::RecordingDisplay failDisplay(failJournal);
      failing.results[c.entry] = -1;
      c.run(failing, failDisplay);
      EXPECT_THAT(failJournal.events, ElementsAre(c.entry, "GetLastErr", "show Error"));
      EXPECT_EQ(failDisplay.shown.at(0).prompt, "Device is busy");
    }
  }
}

TEST_F(ActionsTest, StateActionReportsTheRecordFromAFreshZeroFilledRead) {
  kavr::StateAction(library, display, kDevice);
  library.state.CurrentPosition = 1234;
  kavr::StateAction(library, display, kDevice);

  ASSERT_EQ(library.CallsOf("GetState").size(), 2u);
  EXPECT_THAT(library.CallsOf("GetState")[1].bytes, Each(Eq(0)));
  ASSERT_EQ(display.shown.size(), 2u);
  EXPECT_EQ(display.shown[1].prompt, kavr::StateReportText(library.state));
}

TEST_F(ActionsTest, LastErrorActionAsksTheLibraryEvenWithNothingToReport) {
  library.lastError = "";
  kavr::LastErrorAction(library, display);
  EXPECT_THAT(journal.events, ElementsAre("GetLastErr", "show Error"));
  EXPECT_EQ(OnlyShown().prompt, "");
}

// --- The read-then-write actions: the failure paths -------------------------

struct ReadWriteCase {
  const char* name;
  std::function<void(kavr::ControllerLibrary&, kavr::ReportDisplay&)> run;
  const char* read;
  const char* write;
  const char* successTitle;
};

std::vector<ReadWriteCase> ReadWriteCases() {
  const kavr::StartControls defaults{"1", "0", "3000", "."};
  return {
      {"Power", [](auto& l, auto& d) { kavr::PowerAction(l, d, kDevice, {BoxState::kChecked}); }, "GetMode",
       "SetMode", "KAVR_SetMode Successful"},
      {"Mode", [](auto& l, auto& d) { kavr::ModeAction(l, d, kDevice, {}); }, "GetMode", "SetMode",
       "KAVR_SetMode Successful"},
      {"Parameters", [](auto& l, auto& d) { kavr::ParametersAction(l, d, kDevice); }, "GetParameters",
       "SetParameters", "KAVR_SetParameters Successful"},
      {"Start", [defaults](auto& l, auto& d) { kavr::StartAction(l, d, kDevice, defaults); },
       "GetStartParameters", "Start", "KAVR_Start Successful"},
  };
}

TEST_F(ActionsTest, ReadThenWriteActionsSucceedFailOnWriteAndStopOnAFailedRead) {
  for (const ReadWriteCase& c : ReadWriteCases()) {
    SCOPED_TRACE(c.name);
    const std::string show = std::string("show ") + c.successTitle;
    struct Outcome {
      std::map<std::string, kavr::ResultCode> results;
      std::vector<std::string> events;
    };
    const Outcome outcomes[] = {
        {{}, {c.read, c.write, show}},
        {{{c.write, 5}}, {c.read, c.write, "GetLastErr", "show Error"}},
        // Writing back a record that was never read would overwrite the
        // controller with values nobody chose: the action ends instead.
        {{{c.read, 5}}, {c.read, "GetLastErr", "show Error"}},
        {{{c.read, 5}, {c.write, 5}}, {c.read, "GetLastErr", "show Error"}},
    };
    for (const Outcome& outcome : outcomes) {
      window_test::Journal j;
      window_test::ScriptedLibrary l(j);
      window_test::RecordingDisplay d(j);
      l.results = outcome.results;
      c.run(l, d);
      EXPECT_THAT(j.events, ElementsAreArray(outcome.events));
      for (const auto& call : l.calls) {
        if (call.entry != "GetLastErr") {
          EXPECT_EQ(call.device, kDevice) << call.entry;
        }
        if (call.entry == c.read) {
          EXPECT_THAT(call.bytes, Each(Eq(0)));
        }
      }
    }
  }
}

// --- Power and mode actions: the bytes sent --------------------------------

TEST_F(ActionsTest, PowerActionWritesOnlyPowerOffFromItsBox) {
  const struct {
    BoxState box;
    kavr::Flag powerOff;
  } cases[] = {{BoxState::kChecked, 0}, {BoxState::kUnchecked, 1}, {BoxState::kGrayed, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.box));
    window_test::Journal j;
    window_test::ScriptedLibrary l(j);
    window_test::RecordingDisplay d(j);
    kavr::PowerAction(l, d, kDevice, {c.box});

    KAVR_Mode expected = l.mode;
    expected.PowerOff = c.powerOff;
    ASSERT_EQ(l.CallsOf("SetMode").size(), 1u);
    EXPECT_EQ(l.CallsOf("SetMode")[0].bytes, BytesOf(expected));
    EXPECT_EQ(d.shown.at(0).prompt, kavr::ModeReportText(expected));
  }
}

TEST_F(ActionsTest, ModeActionEnablesBothTrailersAndWritesPowerAndSwapFromItsBoxes) {
  const struct {
    BoxState power;
    BoxState swap;
    kavr::Flag powerOff;
    kavr::Flag swapped;
  } cases[] = {
      {BoxState::kChecked, BoxState::kChecked, 0, 1},
      {BoxState::kUnchecked, BoxState::kUnchecked, 1, 0},
      {BoxState::kGrayed, BoxState::kGrayed, 1, 0},
      {BoxState::kChecked, BoxState::kUnchecked, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.power) << "/" << static_cast<int>(c.swap));
    window_test::Journal j;
    window_test::ScriptedLibrary l(j);
    window_test::RecordingDisplay d(j);
    // A controller with both trailers off and its trailers reported swapped.
    l.mode.Trailer1Enabled = 0;
    l.mode.Trailer2Enabled = 0;
    l.mode.TrailersSwapped = -1;
    kavr::ModeAction(l, d, kDevice, {c.power, c.swap});

    KAVR_Mode expected = l.mode;
    expected.Trailer1Enabled = 1;
    expected.Trailer2Enabled = 1;
    expected.PowerOff = c.powerOff;
    expected.TrailersSwapped = c.swapped;
    ASSERT_EQ(l.CallsOf("SetMode").size(), 1u);
    EXPECT_EQ(l.CallsOf("SetMode")[0].bytes, BytesOf(expected));
    EXPECT_EQ(d.shown.at(0).prompt, kavr::ModeReportText(expected));
  }
}

// --- Parameters action ------------------------------------------------------

TEST_F(ActionsTest, ParametersActionWritesTheButtonTimeoutAndCarriesEveryOtherByte) {
  kavr::ParametersAction(library, display, kDevice);

  KAVR_Parameters expected = library.parameters;
  expected.ButtonTimeout1 = 1000.0f;
  ASSERT_EQ(library.CallsOf("SetParameters").size(), 1u);
  EXPECT_EQ(library.CallsOf("SetParameters")[0].bytes, BytesOf(expected));
  EXPECT_EQ(OnlyShown().title, "KAVR_SetParameters Successful");
  EXPECT_EQ(OnlyShown().prompt, kavr::ParametersReportText(expected));
}

// --- Start action -----------------------------------------------------------

TEST_F(ActionsTest, StartActionSendsTheWindowDefaultsOverTheRecordAsRead) {
  kavr::StartAction(library, display, kDevice, {"1", "0", "3000", "."});

  ASSERT_EQ(library.CallsOf("Start").size(), 1u);
  const window_test::LibraryCall start = library.CallsOf("Start")[0];
  EXPECT_EQ(start.destination, 0);
  EXPECT_EQ(start.speed, 3000.0f);
  KAVR_StartParameters expected = library.start;
  expected.StepDivisor = 1;  // the three bytes after it stay as read
  EXPECT_EQ(start.bytes, BytesOf(expected));
  EXPECT_EQ(OnlyShown().prompt, kavr::StartReportText(0, 3000.0f, expected));
}

TEST_F(ActionsTest, StartReportShowsTheSpeedTheLibraryLeft) {
  library.speedAfterStart = 1500.0f;
  kavr::StartAction(library, display, kDevice, {"8", "-150", "3000", "."});

  KAVR_StartParameters expected = library.start;
  expected.StepDivisor = 8;
  EXPECT_EQ(library.CallsOf("Start").at(0).speed, 3000.0f);
  EXPECT_EQ(OnlyShown().title, "KAVR_Start Successful");
  EXPECT_EQ(OnlyShown().prompt, kavr::StartReportText(-150, 1500.0f, expected));
}

TEST_F(ActionsTest, StartActionConvertsTypedTextInTheLocaleNotation) {
  const struct {
    const char* divisor;
    const char* destination;
    const char* speed;
    const char* separator;
    std::uint8_t sentDivisor;
    std::int32_t sentDestination;
    float sentSpeed;
  } cases[] = {
      {"2", "-150", "3000", ".", 2, -150, 3000.0f},
      {"4", "12.7", "0.5", ".", 4, 13, 0.5f},
      {"1", " 12.5 ", "+250", ".", 1, 13, 250.0f},
      {"1", "-12.5", "-1", ".", 1, -13, -1.0f},
      {"1", "12,7", "2,5", ",", 1, 13, 2.5f},
      {"1", "2147483647.4", "1e3", ".", 1, 2147483647, 1000.0f},
      {"1", "-2147483648", "3.4e38", ".", 1, -2147483648, 3.4e38f},
      // Too close to zero for a double is zero, not an error.
      {"1", "1e-999", "-1e-999", ".", 1, 0, 0.0f},
      {"1", ".5", "5.", ".", 1, 1, 5.0f},
      {"1",
       "12\xD9\xAB"
       "7",
       "3000", "\xD9\xAB", 1, 13, 3000.0f},  // U+066B
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.destination << " / " << c.speed << " / " << c.separator);
    window_test::Journal j;
    window_test::ScriptedLibrary l(j);
    window_test::RecordingDisplay d(j);
    kavr::StartAction(l, d, kDevice, {c.divisor, c.destination, c.speed, c.separator});
    ASSERT_EQ(l.CallsOf("Start").size(), 1u);
    const window_test::LibraryCall start = l.CallsOf("Start")[0];
    EXPECT_EQ(start.destination, c.sentDestination);
    EXPECT_EQ(start.speed, c.sentSpeed);
    EXPECT_EQ(start.bytes.at(0), c.sentDivisor);
  }
}

TEST_F(ActionsTest, StartActionRefusesTextThatDoesNotConvertAndStartsNothing) {
  const struct {
    const char* destination;
    const char* speed;
    const char* separator;
    const char* prompt;
  } cases[] = {
      {"", "3000", ".", "DestPos: \"\" is empty"},
      {"0", "   ", ".", "Speed: \"   \" is empty"},
      {"0", "abc", ".", "Speed: \"abc\" is not a number"},
      {"0", "1e40", ".", "Speed: \"1e40\" is outside the range of a 32-bit float"},
      {"0", "-1e40", ".", "Speed: \"-1e40\" is outside the range of a 32-bit float"},
      {"0", "1e999", ".", "Speed: \"1e999\" is outside the range of a 32-bit float"},
      {"-1e999", "3000", ".", "DestPos: \"-1e999\" is outside -2147483648 to 2147483647"},
      {"0", "inf", ".", "Speed: \"inf\" is not a number"},
      {"0", "nan", ".", "Speed: \"nan\" is not a number"},
      {"3000000000", "3000", ".", "DestPos: \"3000000000\" is outside -2147483648 to 2147483647"},
      {"2147483647.5", "3000", ".", "DestPos: \"2147483647.5\" is outside -2147483648 to 2147483647"},
      // The other notation's separator is a group separator there, never a
      // decimal point.
      {"12.7", "3000", ",", "DestPos: \"12.7\" is not a number"},
      {"1,000", "3000", ".", "DestPos: \"1,000\" is not a number"},
      {"0x10", "3000", ".", "DestPos: \"0x10\" is not a number"},
      {"--1", "3000", ".", "DestPos: \"--1\" is not a number"},
      {"1 2", "3000", ".", "DestPos: \"1 2\" is not a number"},
      {"1e", "3000", ".", "DestPos: \"1e\" is not a number"},
      {".", "3000", ".", "DestPos: \".\" is not a number"},
      // The destination is converted before the speed: only it is named.
      {"x", "y", ".", "DestPos: \"x\" is not a number"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.prompt);
    window_test::Journal j;
    window_test::ScriptedLibrary l(j);
    window_test::RecordingDisplay d(j);
    kavr::StartAction(l, d, kDevice, {"1", c.destination, c.speed, c.separator});
    EXPECT_THAT(j.events, ElementsAre("GetStartParameters", "show KAVR_Start"));
    ASSERT_EQ(d.shown.size(), 1u);
    EXPECT_EQ(d.shown[0].prompt, c.prompt);
  }
}

TEST_F(ActionsTest, StartActionNamesABadDivisorFirst) {
  kavr::StartAction(library, display, kDevice, {"256", "x", "y", "."});
  EXPECT_THAT(journal.events, ElementsAre("GetStartParameters", "show KAVR_Start"));
  EXPECT_EQ(OnlyShown().prompt, "Step Divisor: \"256\" is outside 0 to 255");
}

}  // namespace

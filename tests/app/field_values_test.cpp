// Record fields named by the user: FIELD=VALUE texts and settings files,
// checked before anything is sent and written over the record as read.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "app/field_assignments.h"
#include "app/record_json.h"
#include "fakes.h"
#include "returned.h"

namespace kavr {
namespace {

using fakes::BytesOf;
using fakes::Patterned;

using test_support::Call;

// The values of FIELD=VALUE texts for a record, or why they are refused.
template <typename Record>
test_support::Returned<FieldWrites> Parsed(std::vector<std::string> texts) {
  return Call([&](std::string& problem) { return ParseAssignments<Record>(texts, problem); });
}

// The values of a settings text for a record, or why it is refused.
template <typename Record>
test_support::Returned<FieldWrites> FromJson(std::string_view json) {
  return Call([&](std::string& problem) { return FieldWritesFromJson<Record>(json, problem); });
}

TEST(FieldWrites, TextsWithinTheirKindsRangeAreWrittenAndNothingElse) {
  KAVR_Parameters parameters = Patterned<KAVR_Parameters>(30);
  KAVR_Parameters expected = parameters;
  expected.ButtonTimeout1 = 1000.0f;
  expected.BacklashDistance = -32768;
  expected.SyncOutPulse = 255;
  expected.PowerOffTemperature = 0.1f;
  const auto values = Parsed<KAVR_Parameters>(
      {"ButtonTimeout1=1e3", "BacklashDistance=-32768", "SyncOutPulse=+255", "PowerOffTemperature=0.1"});
  ASSERT_EQ(values.problem, "");
  ApplyFieldValues(WritableBytesOf(parameters), values.value->values);
  EXPECT_EQ(BytesOf(parameters), BytesOf(expected));

  KAVR_Mode mode{};
  mode.ButtonsDisabled = -1;
  mode.CurrentReduction = 255;
  const auto flags = Parsed<KAVR_Mode>({"ButtonsDisabled=on", "CurrentReduction=False", "PowerOff=TRUE",
                                        "EmergencyOff=1", "SyncOutCount=-2147483648"});
  ASSERT_EQ(flags.problem, "");
  ApplyFieldValues(WritableBytesOf(mode), flags.value->values);
  // A flag that is already set keeps the value read; one that changes is 1 or 0.
  EXPECT_EQ(mode.ButtonsDisabled, -1);
  EXPECT_EQ(mode.CurrentReduction, 0);
  EXPECT_EQ(mode.PowerOff, 1);
  EXPECT_EQ(mode.EmergencyOff, 1);
  EXPECT_EQ(mode.SyncOutCount, std::numeric_limits<std::int32_t>::min());
}

TEST(FieldWrites, RefusesWhatDoesNotFitNamingTheField) {
  const std::string modeFields =
      "; the fields are: ButtonsDisabled, CurrentReduction, PowerOff, EmergencyOff, Trailer1TrueHigh, "
      "Trailer2TrueHigh, RotaryTrueHigh, TrailersSwapped, Trailer1Enabled, Trailer2Enabled, RotaryEnabled, "
      "RotaryStopOnError, Button1TrueHigh, Button2TrueHigh, ResetRotaryCheck, SyncOutEnabled, "
      "ResetSyncOutCounter, SyncInSingleMove, SyncOutCount, SyncOutInverted";
  const struct {
    std::string text, problem;
  } modeCases[] = {
      {"Power=1", "\"Power\" is not a field of KAVR_Mode" + modeFields},
      {"poweroff=1", "\"poweroff\" is not a field of KAVR_Mode" + modeFields},
      {"Reserved80=0", "Reserved80 is a slot of KAVR_Mode that is never written" + modeFields},
      {"PowerOff", "\"PowerOff\" is not FIELD=VALUE; the fields of KAVR_Mode are: " + modeFields.substr(18)},
      {"PowerOff=2", "PowerOff: \"2\" is not a flag (0, 1, true, false, on or off)"},
      {"PowerOff=", "PowerOff: \"\" is not a flag (0, 1, true, false, on or off)"},
      {"SyncOutCount=2147483648", "SyncOutCount: \"2147483648\" is outside -2147483648 to 2147483647"},
      {"SyncOutCount=99999999999999999999",
       "SyncOutCount: \"99999999999999999999\" is outside -2147483648 to 2147483647"},
      {"SyncOutCount=1.5", "SyncOutCount: \"1.5\" is not a whole number"},
      {"SyncOutCount=++1", "SyncOutCount: \"++1\" is not a whole number"},
      {"SyncOutCount= 1", "SyncOutCount: \" 1\" is not a whole number"},
  };
  for (const auto& c : modeCases) EXPECT_EQ(Parsed<KAVR_Mode>({"PowerOff=1", c.text}).problem, c.problem);

  const struct {
    std::string text, problem;
  } parameterCases[] = {
      {"SyncOutPulse=256", "SyncOutPulse: \"256\" is outside 0 to 255"},
      {"SyncOutPulse=-1", "SyncOutPulse: \"-1\" is outside 0 to 255"},
      {"BacklashDistance=32768", "BacklashDistance: \"32768\" is outside -32768 to 32767"},
      {"ButtonSpeed1=nan", "ButtonSpeed1: \"nan\" is not a number"},
      {"ButtonSpeed1=1e39", "ButtonSpeed1: \"1e39\" is outside the range of a 32-bit float"},
  };
  for (const auto& c : parameterCases) {
    const auto values = Parsed<KAVR_Parameters>({c.text});
    EXPECT_EQ(values.problem, c.problem);
    EXPECT_FALSE(values.value);
  }
}

// Each float field of the patterned record, the NaN and infinities among
// them, goes through its JSON and back to the same bits.
TEST(SettingsFile, ARecordWrittenBackFromItsOwnJsonKeepsEveryByte) {
  KAVR_Parameters read = Patterned<KAVR_Parameters>(30);
  read.ButtonSpeed1 = 0.1f;
  read.ButtonSpeed2 = -0.0f;
  read.ButtonSpeed3 = std::numeric_limits<float>::infinity();
  std::uint32_t payloadNaN = 0x7fc01234;
  std::memcpy(&read.ButtonSpeed4, &payloadNaN, sizeof payloadNaN);
  const std::string json = RecordJson(read);
  EXPECT_NE(json.find("\"ButtonSpeed1\": 0.1,"), std::string::npos);
  EXPECT_NE(json.find("\"ButtonSpeed3\": \"Infinity\""), std::string::npos);
  EXPECT_EQ(json.find("Reserved"), std::string::npos);

  const auto values = FromJson<KAVR_Parameters>(json);
  ASSERT_EQ(values.problem, "");
  KAVR_Parameters written = read;
  ApplyFieldValues(WritableBytesOf(written), values.value->values);
  EXPECT_EQ(BytesOf(written), BytesOf(read));

  // Onto another controller's record every named field is written, the
  // not-read slots stay that record's own.
  KAVR_Parameters other = Patterned<KAVR_Parameters>(90);
  ApplyFieldValues(WritableBytesOf(other), values.value->values);
  EXPECT_EQ(RecordJson(other), json);
  EXPECT_EQ(std::memcmp(other.Reserved80, Patterned<KAVR_Parameters>(90).Reserved80, sizeof other.Reserved80),
            0);
}

TEST(SettingsFile, RefusesTheWholeFileAtItsFirstProblem) {
  const struct {
    const char *json, *problem;
  } cases[] = {
      {"[1]", "not a JSON object of KAVR_Mode fields"},
      {R"({"PowerOff": true, "SyncOutCount": 1.5})", "SyncOutCount: 1.5 is not a whole number"},
      {R"({"SyncOutCount": 18446744073709551615})",
       "SyncOutCount: 18446744073709551615 is outside -2147483648 to 2147483647"},
      {R"({"PowerOff": "yes"})", "PowerOff: \"yes\" is not a flag (true, false, 0 or 1)"},
      {R"({"PowerOff": 2})", "PowerOff: 2 is not a flag (0 or 1)"},
      {R"({"Reserved80": 0})",
       "Reserved80 is a slot of KAVR_Mode that is never written; the fields are: ButtonsDisabled, "
       "CurrentReduction, PowerOff, EmergencyOff, Trailer1TrueHigh, Trailer2TrueHigh, RotaryTrueHigh, "
       "TrailersSwapped, Trailer1Enabled, Trailer2Enabled, RotaryEnabled, RotaryStopOnError, "
       "Button1TrueHigh, "
       "Button2TrueHigh, ResetRotaryCheck, SyncOutEnabled, ResetSyncOutCounter, SyncInSingleMove, "
       "SyncOutCount, "
       "SyncOutInverted"},
  };
  for (const auto& c : cases) {
    const auto values = FromJson<KAVR_Mode>(c.json);
    EXPECT_EQ(values.problem, c.problem);
    EXPECT_FALSE(values.value);
  }
  const struct {
    const char *json, *problem;
  } floatCases[] = {
      {R"({"ButtonSpeed1": 1e39})", "ButtonSpeed1: 1e+39 is outside the range of a 32-bit float"},
      {R"({"ButtonSpeed1": 1e-60})", "ButtonSpeed1: 1e-60 is too close to zero for a 32-bit float"},
      {R"({"ButtonSpeed1": "nan"})", "ButtonSpeed1: \"nan\" is not a number"},
      {R"({"ButtonSpeed1": null})", "ButtonSpeed1: null is not a number"},
  };
  for (const auto& c : floatCases) EXPECT_EQ(FromJson<KAVR_Parameters>(c.json).problem, c.problem);
  // Where the text stops being JSON, in the parser's words.
  EXPECT_TRUE(
      FromJson<KAVR_Mode>("PowerOff=1").problem.starts_with("not JSON: parse error at line 1, column 1:"));
}

}  // namespace
}  // namespace kavr

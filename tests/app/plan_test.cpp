// Plans are checked whole before anything is sent: every bad plan is
// refused with the step and the reason, and no text makes the reader throw.
#include "app/plan.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "app/write_check.h"
#include "returned.h"

namespace {

using kavr::PlanStepKind;
using ::testing::HasSubstr;

// Settings files a load step may name: "good.json" and "bad.json".
std::optional<std::string> Settings(const std::string& file, std::string& problem) {
  if (file == "good.json") return std::string(R"({"AccelerationTime": 150, "BacklashDistance": -20})");
  if (file == "bad.json") return std::string(R"({"BacklashDistance": 40000})");
  problem = file + ": cannot be read";
  return std::nullopt;
}

// A plan, or the problem that refused it.
test_support::Returned<kavr::Plan> ReadText(const std::string& text) {
  return test_support::Call([&](std::string& problem) { return kavr::ReadPlan(text, Settings, problem); });
}

test_support::Returned<kavr::Plan> Read(const std::string& steps) {
  return ReadText(R"({"name": "t", "steps": [)" + steps + "]}");
}

constexpr const char* kEveryStep = R"(
  {"step": "set-mode", "fields": {"SyncOutEnabled": true, "SyncOutCount": 25}, "verify": true},
  {"step": "set-parameters", "fields": {"ButtonTimeout1": 1000}},
  {"step": "load", "record": "parameters", "file": "good.json"},
  {"step": "start", "destination": 4000.5, "speed": 2500, "divisor": 4},
  {"step": "wait", "seconds": 1.0005},
  {"step": "expect", "position": 4000, "tolerance": 2, "running": false, "inputs": {"Trailer1Pushed": true},
   "voltage": {"min": 11, "max": 13}, "temperature": {"max": 60}},
  {"step": "pause", "ms": 200},
  {"step": "stop"}, {"step": "save"}, {"step": "verify"})";

TEST(Plan, EveryStepIsReadWithItsValues) {
  const auto reading = Read(kEveryStep);
  ASSERT_TRUE(reading.value) << reading.problem;
  const auto& steps = reading.value->steps;
  ASSERT_EQ(steps.size(), 10u);
  EXPECT_EQ(steps[0].values.size(), 2u);
  EXPECT_TRUE(steps[0].verify);
  EXPECT_EQ(steps[2].record, kavr::PlanRecord::kParameters);
  EXPECT_EQ(steps[2].values.size(), 2u);
  EXPECT_EQ(steps[3].destination, 4001);  // rounded like a typed destination
  EXPECT_EQ(steps[3].divisor, 4);
  EXPECT_EQ(steps[4].duration.count(), 1001);  // a limit is never cut short
  EXPECT_EQ(steps[5].expect.tolerance, 2);
  EXPECT_EQ(steps[5].expect.inputs.size(), 1u);
  EXPECT_FALSE(steps[5].expect.temperature->min);
  EXPECT_EQ(steps[6].duration.count(), 200);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    EXPECT_EQ(kavr::PlanStepName(steps[i].kind),
              std::vector<std::string>({"set-mode", "set-parameters", "load", "start", "wait", "expect",
                                        "pause", "stop", "save", "verify"})[i]);
  }
}

TEST(Plan, ShadowedWaitsAndNamedFlagConditions) {
  const auto reading = Read(R"({"step": "wait", "seconds": 2, "shadow": {"tolerance": 50}},
    {"step": "wait", "seconds": 2, "shadow": {"percent": 5}}, {"step": "wait", "seconds": 2, "shadow": {}},
    {"step": "expect", "rotary_error": true, "emergency": false, "power": true})");
  ASSERT_TRUE(reading.value) << reading.problem;
  const auto& steps = reading.value->steps;
  EXPECT_EQ(steps[0].shadow, (kavr::ShadowTolerance{50, {}}));
  EXPECT_EQ(steps[1].shadow, (kavr::ShadowTolerance{{}, 5.0}));
  EXPECT_EQ(steps[2].shadow, kavr::ShadowTolerance{});
  std::vector<std::string> flags;
  for (const auto& input : steps[3].expect.inputs)
    flags.push_back(std::string(input.field->name) + "=" + (input.on ? "1" : "0"));
  EXPECT_EQ(flags, (std::vector<std::string>{"RotaryError=1", "EmergencyPushed=0", "PowerOn=1"}));
}

TEST(Plan, BadPlansAreRefusedWithTheStepAndTheReason) {
  struct Case {
    std::string text;  // a whole plan, or steps when it starts with '{"step"'
    const char* problem;
  };
  const Case cases[] = {
      {"", "not JSON"},
      {"[]", "not a JSON object"},
      {R"({"name": "t"})", "steps is missing"},
      {R"({"name": "", "steps": [{"step": "stop"}]})", "name: \"\" is not a text"},
      {R"({"name": "t", "steps": []})", "steps: not a list of at least one step"},
      {R"({"name": "t", "steps": [{"step": "stop"}], "extra": 1})", "\"extra\" is not a member of a plan"},
      {R"({"name": "t", "name": "u", "steps": [{"step": "stop"}]})", "\"name\" is given twice"},
      {R"({"step": "stop", "step": "save"})", "\"step\" is given twice"},
      {R"({"step": "set-mode", "fields": {"PowerOff": true, "PowerOff": false}})",
       "\"PowerOff\" is given twice"},
      {R"({"step": "jump"})",
       "step 1 (jump): \"jump\" is not a step; the steps are: set-mode, set-parameters"},
      {R"({"step": "stop"}, 5)", "step 2: not an object"},
      {R"({"step": "stop", "speed": 1})", "step 1 (stop): \"speed\" is not a member of stop; it takes none"},
      {R"({"step": "set-mode", "fields": {"Bogus": 1}})", "\"Bogus\" is not a field of KAVR_Mode"},
      {R"({"step": "set-mode", "fields": {}})", "names no field to write"},
      {R"({"step": "set-mode", "fields": {"SyncOutCount": 1e300}})",
       "SyncOutCount: 1e+300 is not a whole number"},
      {R"({"step": "set-mode", "fields": {"SyncOutCount": 99999999999999999999999}})",
       "is not a whole number"},
      {R"({"step": "set-mode", "fields": {"SyncOutCount": 2147483648}})",
       "is outside -2147483648 to 2147483647"},
      {R"({"step": "set-mode", "fields": {"Reserved80": 1}})", "slot of KAVR_Mode that is never written"},
      {R"({"step": "set-mode", "fields": {"PowerOff": true}, "verify": 1})",
       "verify: 1 is not true or false"},
      {R"({"step": "set-parameters", "fields": {"SyncOutPulse": 256}})",
       "SyncOutPulse: 256 is outside 0 to 255"},
      {R"({"step": "set-parameters", "fields": [1]})", "fields: [1] is not an object"},
      {R"({"step": "load", "record": "state", "file": "good.json"})", "neither \"mode\" nor \"parameters\""},
      {R"({"step": "load", "record": "parameters", "file": "none.json"})", "none.json: cannot be read"},
      {R"({"step": "load", "record": "parameters", "file": "bad.json"})",
       "bad.json: BacklashDistance: 40000"},
      {R"({"step": "load", "record": "mode", "file": "good.json"})",
       "\"AccelerationTime\" is not a field of KAVR_Mode"},
      {R"({"step": "start", "speed": 100})", "step 1 (start): destination is missing"},
      {R"({"step": "start", "destination": "0", "speed": 100})", "destination: \"0\" is not a finite number"},
      {R"({"step": "start", "destination": 3e9, "speed": 100})", "outside the signed 32-bit range"},
      {R"({"step": "start", "destination": 0, "speed": 0})", "speed: 0 is not above 0"},
      {R"({"step": "start", "destination": 0, "speed": 1e-50})", "is not above 0 as a 32-bit float"},
      {R"({"step": "start", "destination": 0, "speed": 1e39})", "is not above 0 as a 32-bit float"},
      {R"({"step": "start", "destination": 0, "speed": 1, "divisor": 3})", "divisor: 3 is not 1, 2, 4 or 8"},
      {R"({"step": "wait"})", "seconds is missing"},
      {R"({"step": "wait", "seconds": -1})", "seconds: -1 is not a number of seconds from 0 up"},
      {R"({"step": "wait", "seconds": 1e300})", "is not a number of seconds from 0 up"},
      {R"({"step": "wait", "seconds": 1e999})", "not JSON: number overflow"},
      {R"({"step": "pause", "ms": 86400001})", "ms: 86400001 is outside 0 to 86400000"},
      {R"({"step": "pause", "ms": 1.5})", "ms: 1.5 is not a whole number"},
      {R"({"step": "expect"})", "names no condition"},
      {R"({"step": "expect", "tolerance": 3})", "tolerance is given without a position"},
      {R"({"step": "expect", "position": 0, "tolerance": -1})", "tolerance: -1 is outside 0 to"},
      {R"({"step": "expect", "inputs": {"CurrentPosition": true}})",
       "not a flag of KAVR_State; the flags are: "},
      {R"({"step": "expect", "inputs": {"Running": "on"}})", "inputs.Running: \"on\" is not true or false"},
      {R"({"step": "expect", "voltage": {}})", "voltage: give min, max or both"},
      {R"({"step": "expect", "voltage": {"min": 13, "max": 11}})", "voltage: min is above max"},
      {R"({"step": "expect", "voltage": {"min": 11, "marginal": -0.2}})",
       "voltage.marginal: -0.2 is below 0"},
      {R"({"step": "expect", "temperature": {"low": 1}})", "\"low\" is not a member of temperature"},
      {R"({"step": "wait", "seconds": 1, "shadow": 50})", "shadow: 50 is not an object"},
      {R"({"step": "wait", "seconds": 1, "shadow": {"steps": 5}})", "\"steps\" is not a member of shadow"},
      {R"({"step": "wait", "seconds": 1, "shadow": {"tolerance": 5, "percent": 1}})",
       "tolerance or percent, not both"},
      {R"({"step": "wait", "seconds": 1, "shadow": {"tolerance": -5}})", "shadow.tolerance: -5 is outside 0"},
      {R"({"step": "wait", "seconds": 1, "shadow": {"percent": 101}})",
       "shadow.percent: 101 is not from 0 to 100"},
      {R"({"step": "expect", "emergency": 1})", "emergency: 1 is not true or false"},
      {std::string(100, '[') + std::string(100, ']'), "nested deeper than 32 levels"},
      {std::string(R"({"name": "t", "steps": [{"step": "stop"}]})") + '\0' + "{", "a NUL byte at byte 43"},
      {std::string(R"({"step": "stop"})") + '\0', "a NUL byte"},
      {R"({"k0": 1, "name": "t", "steps": [{"step": "stop"}]})", "\"k0\" is not a member of a plan"},
      // The library's limits, checked before any step is sent.
      {R"({"step": "set-mode", "fields": {"SyncOutCount": 7}}, {"step": "set-parameters", "fields": {"DecelerationTime": 9223372036854775807}})",
       "step 2 (set-parameters): DecelerationTime: 9.223372e+18 must not be longer than a day (86400000 ms)"},
      {R"({"step": "set-parameters", "fields": {"DecelerationTime": -1}})",
       "DecelerationTime: -1 must not be negative"},
      {R"({"step": "set-parameters", "fields": {"ButtonSpeed2": -0.5}})",
       "ButtonSpeed2: -0.5 must not be negative"},
      {R"({"step": "set-mode", "fields": {"SyncOutCount": -1}})", "SyncOutCount: -1 must not be negative"},
  };
  for (const Case& c : cases) {
    const bool stepsOnly = c.text.starts_with(R"({"step")");
    const auto reading = stepsOnly ? Read(c.text) : ReadText(c.text);
    EXPECT_FALSE(reading.value) << c.text;
    EXPECT_THAT(reading.problem, HasSubstr(c.problem)) << c.text;
  }
}

// Wide objects are refused at their first unknown member or at a width no
// plan takes, as they are read: 200,000 members cost no more than a few.
TEST(Plan, WideObjectsAreRefusedAsTheyAreRead) {
  std::string members;
  for (int i = 0; i < 200'000; ++i) members += "\"k" + std::to_string(i) + "\":1,";
  members.pop_back();
  const std::pair<std::string, const char*> cases[] = {
      {R"({"name": "t", )" + members + "}", "\"k0\" is not a member of a plan"},
      {R"({"name": "t", "steps": [{"step": "stop", )" + members + "}]}",
       "an object of more than 256 members"},
      {R"({"name": "t", "steps": [{"step": "set-mode", "fields": {)" + members + "}}]}",
       "more than 256 members"},
  };
  for (const auto& [text, problem] : cases) {
    const auto begun = std::chrono::steady_clock::now();
    EXPECT_THAT(ReadText(text).problem, HasSubstr(problem));
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(5)) << problem;
  }
}

// Random damage to a good plan: refused or read, never thrown or crashed.
TEST(Plan, DamagedPlansNeverThrow) {
  const std::string good = std::string(R"({"name": "t", "steps": [)") + kEveryStep + "]}";
  std::mt19937 random(17);
  const std::string alphabet = "{}[]\":,0123456789.e-+ tfnul\\\xff";
  for (int round = 0; round < 3000; ++round) {
    std::string text = good;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int edit = 0; edit < edits; ++edit) {
      const std::size_t at = random() % text.size();
      switch (random() % 3) {
        case 0:
          text[at] = alphabet[random() % alphabet.size()];
          break;
        case 1:
          text.erase(at, 1 + random() % 8);
          break;
        default:
          text.insert(at, 1, alphabet[random() % alphabet.size()]);
          break;
      }
      if (text.empty()) text.push_back('{');
    }
    SCOPED_TRACE(text);
    ReadText(text);  // which checks that it says why exactly when it returns nothing
  }
}

// Read back, each field that did not stick is named once, in words; a flag
// stored as any nonzero value still counts as set.
TEST(WriteCheck, NamesEachFieldThatDidNotStick) {
  KAVR_Mode readBack{};
  readBack.SyncOutCount = 24;
  readBack.SyncOutEnabled = 255;
  readBack.PowerOff = 0;
  const auto field = [](const char* name) { return kavr::FindField(kavr::RecordFields<KAVR_Mode>(), name); };
  const std::vector<kavr::FieldValue> sent{{field("SyncOutCount"), 20, 0.0f},
                                           {field("SyncOutEnabled"), 1, 0.0f},
                                           {field("PowerOff"), 1, 0.0f},
                                           {field("SyncOutCount"), 25, 0.0f}};
  EXPECT_EQ(kavr::WriteDifferences(kavr::BytesOf(readBack), sent),
            (std::vector<std::string>{"SyncOutCount: sent 25, the controller keeps 24",
                                      "PowerOff: sent true, the controller keeps false"}));
  KAVR_Parameters parameters{};
  parameters.AccelerationTime = 150.5f;
  const kavr::FieldValue time{kavr::FindField(kavr::RecordFields<KAVR_Parameters>(), "AccelerationTime"), 0,
                              150.5f};
  EXPECT_TRUE(kavr::WriteDifferences(kavr::BytesOf(parameters), {&time, 1}).empty());
}

}  // namespace

// Settings files as a careless or hostile hand writes them: whatever the
// text, the reader hands back values or one problem, never an exception.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "app/field_assignments.h"
#include "app/record_json.h"
#include "fakes.h"
#include "returned.h"

namespace kavr {
namespace {

// Either values and no problem, or a problem and no values; never a throw.
template <typename Record>
test_support::Returned<FieldWrites> Read(const std::string& text) {
  SCOPED_TRACE(text.substr(0, 80));
  test_support::Returned<FieldWrites> read;
  EXPECT_NO_THROW(read = test_support::Call(
                      [&](std::string& problem) { return FieldWritesFromJson<Record>(text, problem); }));
  return read;
}

TEST(SettingsFileInput, NumbersBeyondADoubleAndNamesGivenTwiceAreRefusedNamingTheField) {
  const struct {
    std::string json, problem;
  } cases[] = {
      {R"({"BacklashDistance": 1e999})", "BacklashDistance: 1e999 is outside -32768 to 32767"},
      {R"({"BacklashDistance": -1e400})", "BacklashDistance: -1e400 is outside -32768 to 32767"},
      {R"({"ButtonSpeed1": 1e999})", "ButtonSpeed1: 1e999 is outside the range of a 32-bit float"},
      {R"({"ButtonSpeed1": [[1e999]]})", "ButtonSpeed1: 1e999 is outside the range of a 32-bit float"},
      {R"({"ButtonSpeed1": 1e-400})", "ButtonSpeed1: 1e-400 is too close to zero for a 32-bit float"},
      {R"({"ButtonSpeed1": -0.0000e-999})", ""},
      {R"({"BacklashDistance": 1e-400})", "BacklashDistance: 1e-400 is not a whole number"},
      {R"({"Nothing": 1e999})", "\"Nothing\" is not a field of KAVR_Parameters; the fields are: " +
                                    WritableFieldNames(RecordFields<KAVR_Parameters>())},
      {R"({"AccelerationTime": 1, "AccelerationTime": 2})",
       "AccelerationTime is named twice; name each field once"},
      {R"({"AccelerationTime": {"a": 1, "a": 1}})", "a is named twice; name each field once"},
      {std::string(40, '[') + std::string(40, ']'), "nested deeper than 32 levels"},
      {"{\"ButtonSpeed1\": \"" + std::string(5000, 'x') + "\"}",
       "ButtonSpeed1: \"" + std::string(59, 'x') + "... is not a number"},
  };
  for (const auto& c : cases) EXPECT_EQ(Read<KAVR_Parameters>(c.json).problem, c.problem);
  EXPECT_EQ(Read<KAVR_Mode>(R"({"SyncOutCount": 1e999})").problem,
            "SyncOutCount: 1e999 is outside -2147483648 to 2147483647");
  EXPECT_EQ(Read<KAVR_Mode>(R"({"PowerOff": -1e999})").problem,
            "PowerOff: -1e999 is not a flag (true, false, 0 or 1)");

  // A byte-order mark is no fault; bytes that are not UTF-8 are.
  EXPECT_EQ(Read<KAVR_Mode>("\xEF\xBB\xBF{\"PowerOff\": true}").problem, "");
  EXPECT_TRUE(Read<KAVR_Mode>("{\"PowerOff\xff\": true}").problem.starts_with("not JSON: "));
  EXPECT_TRUE(Read<KAVR_Mode>("{\"PowerOff\": \"\xc3\x28\"}").problem.starts_with("not JSON: "));
}

// What goes out other than written says so; what goes out as written does not.
TEST(SettingsFileInput, AFloatSentOtherThanGivenIsNoted) {
  const struct {
    std::string given;
    std::vector<std::string> notes;
  } cases[] = {
      {"86400001", {"ButtonTimeout1: 86400001 is sent as 86400000, the nearest 32-bit float"}},
      {"0.30000001", {"ButtonTimeout1: 0.30000001 is sent as 0.3, the nearest 32-bit float"}},
      {"0.1", {}},
      {"1e3", {}},
      {"16777217", {"ButtonTimeout1: 16777217 is sent as 16777216, the nearest 32-bit float"}},
  };
  for (const auto& c : cases) {
    std::string problem;
    const auto typed =
        ParseAssignments<KAVR_Parameters>(std::vector<std::string>{"ButtonTimeout1=" + c.given}, problem);
    ASSERT_TRUE(typed) << problem;
    EXPECT_EQ(typed->notes, c.notes);
    const auto read = Read<KAVR_Parameters>("{\"ButtonTimeout1\": " + c.given + "}");
    ASSERT_TRUE(read.value) << read.problem;
    EXPECT_EQ(read.value->notes, c.notes);
  }
}

// Every kind of JSON value for every field, then random damage to a real
// settings file, then files of many megabytes.
// What follows a NUL is read, not ignored; a wide object is refused at its
// first unknown member, as it is read.
TEST(SettingsFileInput, NulBytesAndWideObjectsAreRefusedAtOnce) {
  std::string members;
  for (int i = 0; i < 200'000; ++i) members += "\"k" + std::to_string(i) + "\":1,";
  members.pop_back();
  const std::pair<std::string, const char*> cases[] = {
      {std::string(R"({"AccelerationTime": 153})") + '\0' + R"({"AccelerationTime": 154, "Bogus": [)",
       "not JSON: a NUL byte at byte 26"},
      {std::string("{\"AccelerationTime\": 153}\n") + '\0', "a NUL byte at byte 27"},
      {"{" + members + "}", "\"k0\" is not a field of KAVR_Parameters"},
      {R"({"AccelerationTime": 1, )" + members + "}", "\"k0\" is not a field of KAVR_Parameters"},
      {R"({"AccelerationTime": {)" + members + "}}", "an object of more than 256 members"},
  };
  for (const auto& [text, problem] : cases) {
    const auto begun = std::chrono::steady_clock::now();
    EXPECT_NE(Read<KAVR_Parameters>(text).problem.find(problem), std::string::npos) << problem;
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(5)) << problem;
  }
}

TEST(SettingsFileInput, NoTextThrows) {
  const auto begun = std::chrono::steady_clock::now();
  std::size_t inputs = 0;
  // clang-format off
  const std::vector<std::string> values = {
      "null", "true", "false", "0", "-0", "1", "-1", "2", "255", "256", "32768", "-32769", "2147483648",
      "18446744073709551615", "18446744073709551616", "-9223372036854775809", "1.5", "1e38", "1e39",
      "-1e39", "1e-45", "1e-46", "4.9e-324", "1e-400", "1e308", "1.8e308", "-1.8e308", "\"\"", "\"NaN\"",
      "\"Infinity\"", "\"-Infinity\"", "\"nan\"", "[]", "[1]", "{}", "{\"a\":1}", "\"\\u0000\"",
      "\"\\ud800\"", "01", "+1", ".5", "1.", "NaN", "Infinity", "0x10", "1e", "-", "\"\xff\"", ""};
  // clang-format on
  for (const RecordField& field : RecordFields<KAVR_Parameters>()) {
    for (const std::string& value : values) {
      Read<KAVR_Parameters>("{\"" + std::string(field.name) + "\": " + value + "}");
      ++inputs;
    }
  }
  const std::string valid = RecordJson(ui_test::Patterned<KAVR_Parameters>(30));
  std::mt19937 random(19);
  for (int i = 0; i < 20000; ++i) {
    std::string damaged = valid;
    for (int cuts = 1 + static_cast<int>(random() % 4); cuts > 0; --cuts) {
      const std::size_t at = random() % damaged.size();
      switch (random() % 4) {
        case 0:
          damaged[at] = static_cast<char>(random());
          break;
        case 1:
          damaged.erase(at, random() % 8);
          break;
        case 2:
          damaged.insert(at, values[random() % values.size()]);
          break;
        default:
          damaged.resize(at);
          break;
      }
      if (damaged.empty()) damaged.push_back('{');
    }
    Read<KAVR_Parameters>(damaged);
    ++inputs;
  }
  const std::size_t megabytes = 8 << 20;
  for (const std::string& large : {std::string(megabytes / 2, '[') + std::string(megabytes / 2, ']'),
                                   "{\"ButtonSpeed1\": \"" + std::string(megabytes, 'x') + "\"}",
                                   "{\"ButtonSpeed1\": 1" + std::string(megabytes, '0') + "}",
                                   "{\"SyncOutPulse\": -1" + std::string(megabytes, '0') + "}",
                                   "{\"ButtonSpeed1\": 0." + std::string(megabytes, '0') + "1}",
                                   "{" + std::string(megabytes, ' ') + "\"PowerOff\": 1}"}) {
    EXPECT_LT(Read<KAVR_Parameters>(large).problem.size(), 1000u);
    ++inputs;
  }
  const auto took =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begun);
  RecordProperty("inputs", static_cast<int>(inputs));
  RecordProperty("milliseconds", static_cast<int>(took.count()));
}

}  // namespace
}  // namespace kavr

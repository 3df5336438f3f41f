// The library's configuration from the environment, and the faults it
// injects on demand.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "simulator/machine.h"
#include "simulator_test_support.h"

namespace kavr::sim::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

EnvironmentLookup FakeEnvironment(std::map<std::string, std::string> variables) {
  return [variables](const char* name) -> std::optional<std::string> {
    const auto found = variables.find(name);
    return found == variables.end() ? std::nullopt : std::optional(found->second);
  };
}

TEST(Settings, DeviceCountIsAWholeNumberFrom0To58AndIsIgnoredOtherwise) {
  for (const auto& [text, expected] : {std::pair{"0", 0}, {"5", 5}, {" 58 ", 58}, {"+7", 7}}) {
    Warnings warnings;
    EXPECT_EQ(ParseDeviceCount(text, warnings.Sink()), expected) << text;
    EXPECT_TRUE(warnings.lines.empty()) << text;
  }
  for (const char* text : {"59", "200", "-1", "five", "5x", "2.5", "+-3", "99999999999999999999"}) {
    Warnings warnings;
    EXPECT_EQ(ParseDeviceCount(text, warnings.Sink()), std::nullopt) << text;
    EXPECT_THAT(warnings.lines, ElementsAre(HasSubstr("KAVR_SIM_DEVICES=\"" + std::string(text) +
                                                      "\" is not a "
                                                      "whole number from 0 to 58")));
  }
}

// A value cannot forge a second warning line, nor hide where it ends.
TEST(Settings, WarningsQuoteValuesWithControlCharactersEscaped) {
  Warnings warnings;
  const auto read = [&](const char* name, std::string value) {
    ReadConfig(FakeEnvironment({{name, std::move(value)}}), warnings.Sink());
    return warnings.lines.back();
  };
  EXPECT_THAT(read("KAVR_SIM_DEVICES", "3\nKAVRVBDLL: warning: forged"),
              HasSubstr("KAVR_SIM_DEVICES=\"3\\nKAVRVBDLL: warning: forged\" is not"));
  EXPECT_THAT(read("KAVR_SIM_FAIL", "Get\"Mo\tde\x1b[2J"), HasSubstr("\"Get\\\"Mo\\tde\\x1B[2J\" is not"));
  EXPECT_THAT(read("KAVR_SIM_RESET", "yes\r"), HasSubstr("KAVR_SIM_RESET=\"yes\\r\""));
  EXPECT_THAT(read("KAVR_SIM_HOLD_LOCK_MS", "60001"), HasSubstr("KAVR_SIM_HOLD_LOCK_MS=\"60001\" is not"));
  for (const std::string& line : warnings.lines) {
    EXPECT_EQ(line.find_first_of("\n\r\x1b"), std::string::npos) << line;
  }
}

TEST(Settings, FaultsAreNamesWithOptionalCodesAndWhatCannotBeUsedIsSkipped) {
  struct Case {
    const char* text;
    FaultPlan expected;
    std::size_t warnings;
  };
  for (const Case& c : std::vector<Case>{
           {"GetMode,Start=7", {{Entry::GetMode, 1}, {Entry::Start, 7}}, 0},
           {" Stop = -3 , _KAVRVB_Init ", {{Entry::Stop, -3}, {Entry::Init, 1}}, 0},
           {"SaveParametersToFlash,GetState,SetMode",
            {{Entry::SaveParametersToFlash, 1}, {Entry::GetState, 1}, {Entry::SetMode, 1}},
            0},
           {"SetParameters,GetParameters,GetStartParameters",
            {{Entry::SetParameters, 1}, {Entry::GetParameters, 1}, {Entry::GetStartParameters, 1}},
            0},
           {"", {}, 0},
           {",,", {}, 0},
           {"Bogus,GetMode", {{Entry::GetMode, 1}}, 1},
           {"getmode", {}, 1},
           {"Start=0", {{Entry::Start, 1}}, 1},
           {"Start=x", {{Entry::Start, 1}}, 1},
           {"Start=", {{Entry::Start, 1}}, 1},
           {"Start=4294967296", {{Entry::Start, 1}}, 1},
           {"GetLastErr", {}, 1},
       }) {
    Warnings warnings;
    EXPECT_EQ(ParseFaults(c.text, warnings.Sink()), c.expected) << c.text;
    EXPECT_EQ(warnings.lines.size(), c.warnings) << c.text;
  }
}

TEST(Settings, KeptFieldsNameAFieldOfModeOrParametersWithAValueOfItsKind) {
  struct Case {
    const char* text;
    std::vector<std::string> kept;  // "Field=integer/real"
    std::size_t warnings;
  };
  for (const Case& c : std::vector<Case>{
           {"SyncOutCount=24", {"SyncOutCount=24/0"}, 0},
           {" PowerOff = 1 , AccelerationTime=150.5,SyncOutPulse=255",
            {"PowerOff=1/0", "AccelerationTime=0/150.5", "SyncOutPulse=255/0"},
            0},
           {"PowerOff=2,SyncOutPulse=256,BacklashDistance=40000", {}, 3},
           {"AccelerationTime=1e39,AccelerationTime=nan,Reserved80=1,Bogus=1,SyncOutCount", {}, 5},
           {"CurrentPosition=1", {}, 1},  // a field of the state is never written
       }) {
    Warnings warnings;
    std::vector<std::string> kept;
    for (const KeptField& field : ParseKeptFields(c.text, warnings.Sink())) {
      std::ostringstream text;
      text << field.field->name << "=" << field.integer << "/" << field.real;
      kept.push_back(text.str());
    }
    EXPECT_EQ(kept, c.kept) << c.text;
    EXPECT_EQ(warnings.lines.size(), c.warnings) << c.text;
  }
  Warnings warnings;
  EXPECT_EQ(ReadConfig(FakeEnvironment({{"KAVR_SIM_FAIL_DEVICE", "3"}}), warnings.Sink()).faultDevice, 2);
  EXPECT_EQ(ReadConfig(FakeEnvironment({{"KAVR_SIM_FAIL_DEVICE", "0"}}), warnings.Sink()).faultDevice,
            std::nullopt);
  EXPECT_EQ(warnings.lines.size(), 1u);
}

// The library-file tests read the count and the faults through the real environment.
TEST(Settings, FlashFolderFollowsTheDataFolderRulesAndEmptyMeansUnset) {
  Warnings warnings;
  const auto read = [&](std::map<std::string, std::string> variables) {
    return ReadConfig(FakeEnvironment(std::move(variables)), warnings.Sink());
  };
#if defined(_WIN32)
  EXPECT_EQ(read({{"KAVR_SIM_FLASH_DIR", "D:/flash"}, {"LOCALAPPDATA", "C:/local"}}).flashDir, "D:/flash");
  EXPECT_EQ(read({{"LOCALAPPDATA", "C:/local"}, {"XDG_DATA_HOME", "C:/data"}}).flashDir,
            "C:/local/kavrtest-simulator");
#else
  EXPECT_EQ(read({{"KAVR_SIM_FLASH_DIR", "/srv/flash"}, {"XDG_DATA_HOME", "/data"}}).flashDir, "/srv/flash");
  EXPECT_EQ(read({{"XDG_DATA_HOME", "/data"}, {"HOME", "/home/u"}}).flashDir, "/data/kavrtest-simulator");
  // A relative data folder does not count; a relative flash folder is pinned down.
  EXPECT_EQ(read({{"XDG_DATA_HOME", "data"}, {"HOME", "/home/u"}}).flashDir,
            "/home/u/.local/share/kavrtest-simulator");
#endif
  EXPECT_EQ(read({}).flashDir, "");
  EXPECT_TRUE(read({{"KAVR_SIM_FLASH_DIR", "flash"}}).flashDir.is_absolute());
  const SimulatorConfig defaults =
      read({{"KAVR_SIM_DEVICES", ""}, {"KAVR_SIM_FAIL", ""}, {"KAVR_SIM_RESET", ""}});
  EXPECT_EQ(defaults.deviceCount, std::nullopt);
  EXPECT_TRUE(defaults.faults.empty());
  EXPECT_FALSE(defaults.powerCycle);
  EXPECT_TRUE(read({{"KAVR_SIM_RESET", " 1"}, {"KAVR_SIM_HOLD_LOCK_MS", "25"}}).powerCycle);
  EXPECT_EQ(read({{"KAVR_SIM_HOLD_LOCK_MS", "25"}}).holdLockMs, 25);
  EXPECT_TRUE(warnings.lines.empty());
}

#if !defined(_WIN32)
// The state lives where the next start of the machine empties it, apart
// for each user.
TEST(Settings, StateFolderIsTheRuntimeFolderOrAPerUserTemporaryOne) {
  Warnings warnings;
  const auto stateDir = [&](std::map<std::string, std::string> variables) {
    return ReadConfig(FakeEnvironment(std::move(variables)), warnings.Sink()).stateDir;
  };
  EXPECT_EQ(stateDir({{"KAVR_SIM_STATE_DIR", "/srv/state"}, {"XDG_RUNTIME_DIR", "/run/user/7"}}),
            "/srv/state");
  EXPECT_EQ(stateDir({{"XDG_RUNTIME_DIR", "/run/user/7"}, {"TMPDIR", "/scratch"}}),
            "/run/user/7/kavrtest-simulator");
  const std::string user = "kavrtest-simulator-" + std::to_string(CurrentUserId());
  EXPECT_EQ(stateDir({{"XDG_RUNTIME_DIR", "run"}, {"TMPDIR", "/scratch"}}), "/scratch/" + user);
  EXPECT_EQ(stateDir({}), "/tmp/" + user);
  EXPECT_TRUE(stateDir({{"KAVR_SIM_STATE_DIR", "state"}}).is_absolute());
  EXPECT_TRUE(warnings.lines.empty());
}
#endif

TEST(InjectedFaults, NamedEntriesFailWithTheirCodeAndSayItWasInjected) {
  ScratchFolder scratch;
  SimulatorRig rig(2, scratch.path,
                   {{Entry::GetMode, 7}, {Entry::SaveParametersToFlash, 1}, {Entry::Init, 3}});
  KAVR_Mode mode;
  EXPECT_EQ(rig.simulator.GetMode(0, &mode), 7);
  EXPECT_TRUE(mode.PowerOff == 0 && mode.Reserved80[0] == 0);  // nothing handed out
  EXPECT_THAT(rig.simulator.LastError(),
              HasSubstr("_KAVRVB_GetMode: injected fault (KAVR_SIM_FAIL), failing with code 7"));
  EXPECT_EQ(rig.simulator.SaveParametersToFlash(1), 1);
  EXPECT_TRUE(std::filesystem::is_empty(scratch.path));

  std::int32_t count = 0;
  char versions[1000] = {}, serials[1000] = {};
  EXPECT_EQ(rig.simulator.Init(&count, versions, 1000, serials, 1000), 3);
  EXPECT_TRUE(count == 0 && serials[0] == '\0');  // no controllers reported
  EXPECT_THAT(rig.simulator.LastError(), HasSubstr("_KAVRVB_Init"));

  // Entries not named carry on.
  KAVR_State state;
  KAVR_Parameters parameters;
  EXPECT_EQ(rig.simulator.GetState(0, &state), kSuccess);
  EXPECT_EQ(rig.simulator.GetParameters(0, &parameters), kSuccess);
}

}  // namespace
}  // namespace kavr::sim::testing

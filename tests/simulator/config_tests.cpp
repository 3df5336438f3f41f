// The library's configuration from the environment, and the faults it
// injects on demand.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "simulator/result_codes.h"
#include "simulator_test_support.h"

namespace kavr::sim::testing {
namespace {

struct Warnings {
  WarningSink sink() {
    return [this](const std::string& warning) { lines.push_back(warning); };
  }
  std::vector<std::string> lines;
};

EnvironmentLookup FakeEnvironment(std::map<std::string, std::string> variables) {
  return [variables](const char* name) -> std::optional<std::string> {
    const auto found = variables.find(name);
    if (found == variables.end()) return std::nullopt;
    return found->second;
  };
}

TEST(DeviceCountSetting, AcceptsWholeNumbersFrom0To200AndFallsBackTo2) {
  struct Case {
    const char* text;
    int expected;
    bool warns;
  };
  for (const Case& c :
       {Case{"0", 0, false}, Case{"5", 5, false}, Case{" 200 ", 200, false}, Case{"+7", 7, false},
        Case{"201", 2, true}, Case{"-1", 2, true}, Case{"five", 2, true}, Case{"5x", 2, true},
        Case{"2.5", 2, true}, Case{"+-3", 2, true}, Case{"99999999999999999999", 2, true}}) {
    Warnings warnings;
    EXPECT_EQ(ParseDeviceCount(c.text, warnings.sink()), c.expected) << c.text;
    EXPECT_EQ(warnings.lines.size(), c.warns ? 1u : 0u) << c.text;
    if (c.warns) {
      EXPECT_NE(warnings.lines[0].find("KAVR_SIM_DEVICES"), std::string::npos);
    }
  }
}

TEST(FaultSetting, ParsesNamesAndCodesAndSkipsWhatItCannotUse) {
  struct Case {
    const char* text;
    FaultPlan expected;
    std::size_t warnings;
  };
  const Case cases[] = {
      {"GetMode,Start=7", {{Entry::GetMode, 1}, {Entry::Start, 7}}, 0},
      {" Stop = -3 , _KAVRVB_Init ", {{Entry::Stop, -3}, {Entry::Init, 1}}, 0},
      {"SaveParametersToFlash,GetState,SetMode,SetParameters,GetParameters,GetStartParameters",
       {{Entry::SaveParametersToFlash, 1},
        {Entry::GetState, 1},
        {Entry::SetMode, 1},
        {Entry::SetParameters, 1},
        {Entry::GetParameters, 1},
        {Entry::GetStartParameters, 1}},
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
  };
  for (const Case& c : cases) {
    Warnings warnings;
    EXPECT_EQ(ParseFaults(c.text, warnings.sink()), c.expected) << c.text;
    EXPECT_EQ(warnings.lines.size(), c.warnings) << c.text;
  }
}

TEST(ConfigFromEnvironment, ReadsTheVariablesAndFallsBackToDefaults) {
  Warnings warnings;
  const SimulatorConfig config = ReadConfig(FakeEnvironment({{"KAVR_SIM_DEVICES", "5"},
                                                             {"KAVR_SIM_FAIL", "GetMode"},
                                                             {"KAVR_SIM_FLASH_DIR", "/srv/flash"},
                                                             {"XDG_DATA_HOME", "/data"}}),
                                            warnings.sink());
  EXPECT_EQ(config.device_count, 5);
  EXPECT_EQ(config.faults, (FaultPlan{{Entry::GetMode, 1}}));
  EXPECT_EQ(config.flash_dir, "/srv/flash");

  const SimulatorConfig defaults =
      ReadConfig(FakeEnvironment({{"KAVR_SIM_DEVICES", ""}, {"XDG_DATA_HOME", "/data"}}), warnings.sink());
  EXPECT_EQ(defaults.device_count, 2);
  EXPECT_TRUE(defaults.faults.empty());
  EXPECT_EQ(defaults.flash_dir, "/data/kavrtest-simulator");
  // A relative data folder does not count; a relative flash folder is pinned down.
  EXPECT_EQ(ReadConfig(FakeEnvironment({{"XDG_DATA_HOME", "data"}, {"HOME", "/home/u"}}), warnings.sink())
                .flash_dir,
            "/home/u/.local/share/kavrtest-simulator");
  EXPECT_EQ(ReadConfig(FakeEnvironment({}), warnings.sink()).flash_dir, "");
  EXPECT_TRUE(ReadConfig(FakeEnvironment({{"KAVR_SIM_FLASH_DIR", "flash"}}), warnings.sink())
                  .flash_dir.is_absolute());
  EXPECT_TRUE(warnings.lines.empty());

  EXPECT_EQ(ReadConfig(FakeEnvironment({{"KAVR_SIM_DEVICES", "lots"}}), warnings.sink()).device_count, 2);
  EXPECT_EQ(warnings.lines.size(), 1u);
}

TEST(InjectedFaults, NamedEntriesFailWithTheirCodeAndSayItWasInjected) {
  ScratchFolder scratch;
  SimulatorRig rig(ConfigWith(2, scratch.path(), {{Entry::GetMode, 7}, {Entry::SaveParametersToFlash, 1}}));
  KAVR_Mode mode;
  EXPECT_EQ(rig.simulator->GetMode(0, &mode), 7);
  EXPECT_EQ(mode.PowerOff, 0);  // nothing handed out
  EXPECT_EQ(mode.Reserved80[0], 0);
  const std::string text = rig.simulator->LastError();
  EXPECT_NE(text.find("_KAVRVB_GetMode"), std::string::npos) << text;
  EXPECT_NE(text.find("injected"), std::string::npos) << text;
  EXPECT_NE(text.find("7"), std::string::npos) << text;

  EXPECT_EQ(rig.simulator->SaveParametersToFlash(1), 1);
  EXPECT_TRUE(std::filesystem::is_empty(scratch.path()));

  // Entries not named carry on.
  KAVR_State state;
  EXPECT_EQ(rig.simulator->GetState(0, &state), kSuccess);
  KAVR_Parameters parameters;
  EXPECT_EQ(rig.simulator->GetParameters(0, &parameters), kSuccess);
}

TEST(InjectedFaults, FailingInitReportsNoControllers) {
  SimulatorRig rig(ConfigWith(2, {}, {{Entry::Init, 3}}));
  std::int32_t count = 0;
  char versions[1000] = {};
  char serials[1000] = {};
  EXPECT_EQ(rig.simulator->Init(&count, versions, 1000, serials, 1000), 3);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(serials[0], '\0');
  EXPECT_NE(rig.simulator->LastError().find("_KAVRVB_Init"), std::string::npos);
}

}  // namespace
}  // namespace kavr::sim::testing

// The rig around the stand-in's controllers: each fault on a controller of
// its own and through "*", the state fields it sets and the stop it causes,
// and the rig files that are refused whole.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "motion/move_model.h"
#include "simulator/flash_store.h"
#include "simulator_test_support.h"

namespace kavr::sim::testing {
namespace {

using ::testing::HasSubstr;

// Three controllers in memory behind a rig given as JSON.
struct RiggedControllers : SimulatorRig {
  explicit RiggedControllers(std::string_view json, std::filesystem::path flash = {})
      : SimulatorRig(3, std::move(flash)) {
    std::string problem;
    config.rig = ParseRig(json, problem);
    EXPECT_TRUE(config.rig) << problem;
  }

  void Mode(int device, kavr::Flag KAVR_Mode::*flag, bool on = true) {
    KAVR_Mode mode;
    ASSERT_EQ(simulator.GetMode(device, &mode), kSuccess);
    mode.*flag = ToFlag(on);
    ASSERT_EQ(simulator.SetMode(device, &mode), kSuccess);
  }
  KAVR_ResultCode Go(int device, std::int32_t destination, float speed = 2000.0f) {
    KAVR_StartParameters start;
    start.StepDivisor = 1;
    return simulator.Start(device, destination, &speed, &start);
  }
  KAVR_State After(double seconds, int device) {
    clock.Advance(seconds);
    KAVR_State state;
    EXPECT_EQ(simulator.GetState(device, &state), kSuccess);
    return state;
  }
  // Runs every controller's move to its end.
  void Settle() { clock.Advance(30.0); }
};

TEST(Rig, TrailerSwitchStopsTheMoveAtItsEdgeOnItsControllerOnly) {
  RiggedControllers rig(R"({"KAVRSIM000000002": {"trailer1": {"from": 1000}}})");
  for (int device = 0; device < 3; ++device) {
    rig.Mode(device, &KAVR_Mode::Trailer1Enabled);
    ASSERT_EQ(rig.Go(device, 2000), kSuccess);
  }
  rig.Settle();
  for (int device = 0; device < 3; ++device) {
    const KAVR_State state = rig.After(0.0, device);
    EXPECT_EQ(state.CurrentPosition, device == 1 ? 1000 : 2000) << device;
    EXPECT_EQ(IsSet(state.Trailer1Pushed), device == 1) << device;
    EXPECT_FALSE(IsSet(state.Running));
  }
  // Pressed, the switch holds the axis from going further, not from backing off.
  ASSERT_EQ(rig.Go(1, 2000), kSuccess);
  EXPECT_EQ(rig.After(1.0, 1).CurrentPosition, 1000);
  ASSERT_EQ(rig.Go(1, 0), kSuccess);
  EXPECT_EQ(rig.After(5.0, 1).CurrentPosition, 0);
}

TEST(Rig, TrailerDisabledOrSwappedChangesWhichSwitchActs) {
  RiggedControllers rig(R"({"*": {"trailer1": {"from": 1000, "to": 1200}}})");
  // Not enabled: the switch shows pressed while passing, and stops nothing.
  ASSERT_EQ(rig.Go(0, 2000), kSuccess);
  bool seenPressed = false;
  for (KAVR_State state = rig.After(0.0, 0); IsSet(state.Running); state = rig.After(0.01, 0)) {
    seenPressed |= IsSet(state.Trailer1Pushed);
    EXPECT_EQ(IsSet(state.Trailer1Pushed), state.CurrentPosition >= 1000 && state.CurrentPosition <= 1200);
  }
  EXPECT_TRUE(seenPressed);
  // Swapped: the first switch reads and acts as the second, moving down into it.
  rig.Mode(0, &KAVR_Mode::TrailersSwapped);
  rig.Mode(0, &KAVR_Mode::Trailer2Enabled);
  EXPECT_EQ(rig.After(0.0, 0).CurrentPosition, 2000);  // no reaching back into the move run
  ASSERT_EQ(rig.Go(0, 0), kSuccess);
  const KAVR_State stopped = rig.After(5.0, 0);
  EXPECT_EQ(stopped.CurrentPosition, 1200);
  EXPECT_TRUE(IsSet(stopped.Trailer2Pushed));
  EXPECT_FALSE(IsSet(stopped.Trailer1Pushed));
}

TEST(Rig, RotaryErrorIsSetPassingItsPointAndStopsWhenAskedToUntilReset) {
  RiggedControllers rig(R"({"*": {"rotary_error_at": 1500}})");
  rig.Mode(0, &KAVR_Mode::RotaryEnabled);
  rig.Mode(0, &KAVR_Mode::RotaryStopOnError);
  ASSERT_EQ(rig.Go(0, 2000), kSuccess);
  ASSERT_EQ(rig.Go(1, 2000), kSuccess);
  EXPECT_FALSE(IsSet(rig.After(0.1, 0).RotaryError));
  rig.Settle();
  const KAVR_State stopped = rig.After(0.0, 0);
  EXPECT_EQ(stopped.CurrentPosition, 1500);
  EXPECT_TRUE(IsSet(stopped.RotaryError));
  const KAVR_State passed = rig.After(0.0, 1);  // without the stop, the error alone
  EXPECT_EQ(passed.CurrentPosition, 2000);
  EXPECT_TRUE(IsSet(passed.RotaryError));
  rig.Mode(0, &KAVR_Mode::ResetRotaryCheck);
  EXPECT_FALSE(IsSet(rig.After(0.0, 0).RotaryError));
  EXPECT_TRUE(IsSet(rig.After(0.0, 1).RotaryError));
}

TEST(Rig, EmergencyStopsCutsPowerAndHoldsUntilAPowerCycle) {
  RiggedControllers rig(R"({"KAVRSIM000000001": {"emergency_after_ms": 400}})");
  ASSERT_EQ(rig.Go(0, 20000), kSuccess);
  const std::int32_t at = rig.After(0.4, 0).CurrentPosition;
  const KAVR_State pushed = rig.After(1.0, 0);
  EXPECT_EQ(pushed.CurrentPosition, at);
  EXPECT_TRUE(IsSet(pushed.EmergencyPushed));
  EXPECT_FALSE(IsSet(pushed.PowerOn));
  EXPECT_FALSE(IsSet(pushed.Running));
  rig.Mode(0, &KAVR_Mode::PowerOff, false);
  EXPECT_EQ(rig.Go(0, 0), kPowerOff);
  EXPECT_THAT(rig.simulator.LastError(), HasSubstr("emergency button"));
  EXPECT_FALSE(IsSet(rig.After(0.0, 1).EmergencyPushed));
  rig.state = PowerCycle(rig.config, rig.clock.Now(), {});
  EXPECT_FALSE(IsSet(rig.After(0.0, 0).EmergencyPushed));
  // Pushed once after the first start after switching on: a second start does not put it off.
  ASSERT_EQ(rig.Go(0, 20000), kSuccess);
  EXPECT_FALSE(IsSet(rig.After(0.3, 0).EmergencyPushed));
  ASSERT_EQ(rig.Go(0, -20000), kSuccess);
  EXPECT_TRUE(IsSet(rig.After(0.11, 0).EmergencyPushed));
}

TEST(Rig, SupplyAndTemperatureFollowTheMotor) {
  RiggedControllers rig(R"({"*": {"supply": 11.5, "supply_under_load": 9.25, "temperature": 30, "heating": 2},
                            "KAVRSIM000000003": {"supply": 0}})");
  EXPECT_FLOAT_EQ(rig.After(0.0, 0).InputVoltage, 11.5f);
  EXPECT_FLOAT_EQ(rig.After(0.0, 0).Temperature, 30.0f);
  EXPECT_FLOAT_EQ(rig.After(0.0, 2).InputVoltage, 0.0f);
  ASSERT_EQ(rig.Go(0, 20000, 2000.0f), kSuccess);  // 10 s
  const KAVR_State running = rig.After(1.0, 0);
  EXPECT_FLOAT_EQ(running.InputVoltage, 9.25f);
  EXPECT_NEAR(running.Temperature, 32.0, 1e-3);
  ASSERT_EQ(rig.simulator.Stop(0), kSuccess);  // 0.2 s to rest
  EXPECT_NEAR(rig.After(0.2, 0).Temperature, 32.4, 1e-3);
  EXPECT_NEAR(rig.After(1.0, 0).Temperature, 30.4, 1e-3);
  EXPECT_NEAR(rig.After(5.0, 0).Temperature, 30.0, 1e-3);
  EXPECT_FLOAT_EQ(rig.After(0.0, 0).InputVoltage, 11.5f);
}

TEST(Rig, LostFlashAnswersSuccessAndForgets) {
  ScratchFolder scratch;
  RiggedControllers rig(R"({"KAVRSIM000000001": {"flash_lost": true}})", scratch.path);
  for (int device : {0, 1}) {
    KAVR_Parameters parameters;
    ASSERT_EQ(rig.simulator.GetParameters(device, &parameters), kSuccess);
    parameters.AccelerationTime = 321.0f;
    ASSERT_EQ(rig.simulator.SetParameters(device, &parameters), kSuccess);
    EXPECT_EQ(rig.simulator.SaveParametersToFlash(device), kSuccess);
  }
  rig.state = PowerCycle(rig.config, rig.clock.Now(), {});
  for (int device : {0, 1}) {
    KAVR_Parameters parameters;
    ASSERT_EQ(rig.simulator.GetParameters(device, &parameters), kSuccess);
    EXPECT_EQ(parameters.AccelerationTime == 321.0f, device == 1) << device;
  }
}

TEST(Rig, SlowAxisFallsBehindItsPrediction) {
  RiggedControllers rig(R"({"KAVRSIM000000001": {"slow_by": 0.2}})");
  KAVR_Parameters parameters;
  ASSERT_EQ(rig.simulator.GetParameters(0, &parameters), kSuccess);
  KAVR_StartParameters start;
  start.StepDivisor = 1;
  const motion::Motion predicted =
      motion::PredictedMove(rig.clock.Now(), 0, 10000, 2000.0, parameters, start);
  ASSERT_EQ(rig.Go(0, 10000), kSuccess);
  ASSERT_EQ(rig.Go(1, 10000), kSuccess);
  rig.clock.Advance(3.0);
  EXPECT_NEAR(rig.After(0.0, 0).CurrentPosition, 0.8 * predicted.At(rig.clock.Now()).position, 60);
  EXPECT_EQ(rig.After(0.0, 1).CurrentPosition, predicted.At(rig.clock.Now()).position);
}

TEST(Rig, BadFilesAreRefusedWholeNamingWhatIsWrong) {
  struct Case {
    const char* text;
    const char* problem;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"{", "not JSON"},
           {"[1]", "keyed by serial number"},
           {R"({"*": 3})", "must be an object"},
           {R"({"*": {"trailer3": {}}})", "unknown key \"trailer3\""},
           {R"({"*": {"trailer1": {"from": 5, "upto": 9}}})", "unknown key \"upto\""},
           {R"({"*": {"trailer1": {"from": 9, "to": 5}}})", "beyond"},
           {R"({"*": {"trailer1": [1, 2]}})", "must be an object such as"},
           {R"({"*": {"rotary_error_at": "1500"}})", "rotary_error_at must be a number"},
           {R"({"*": {"rotary_error_at": 1e12}})", "must be from"},
           {R"({"*": {"emergency_after_ms": -1}})", "emergency_after_ms must be from 0"},
           {R"({"*": {"supply": true}})", "supply must be a number"},
           {R"({"*": {"supply_under_load": 1000}})", "supply_under_load must be from 0"},
           {R"({"*": {"temperature": -300}})", "temperature must be from"},
           {R"({"*": {"heating": -1}})", "heating must be from 0"},
           {R"({"*": {"flash_lost": 1}})", "flash_lost must be true or false"},
           {R"({"*": {"slow_by": 1}})", "slow_by must be from 0"},
       }) {
    std::string problem;
    EXPECT_FALSE(ParseRig(c.text, problem)) << c.text;
    EXPECT_THAT(problem, HasSubstr(c.problem)) << c.text;
  }
  // Read through the settings: a warning naming the file, and no rig at all.
  ScratchFolder scratch;
  const auto file = scratch.path / "rig.json";
  std::ofstream(file) << R"({"*": {"supply": 10, "bogus": 1}})";
  std::vector<std::string> warnings;
  const auto settings = [&](const std::string& path) {
    return ReadConfig(
        [&](const char* name) -> std::optional<std::string> {
          if (std::string_view(name) == "KAVR_SIM_RIG") return path;
          return std::nullopt;
        },
        [&](const std::string& line) { warnings.push_back(line); });
  };
  EXPECT_FALSE(settings(file.string()).rig);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_THAT(warnings[0], HasSubstr(file.filename().string()));
  EXPECT_THAT(warnings[0], HasSubstr("\"bogus\""));
  EXPECT_FALSE(settings((scratch.path / "missing.json").string()).rig);
  EXPECT_THAT(warnings.back(), HasSubstr("cannot be read"));
  // A serial number that is not attached leaves every controller without a rig.
  RiggedControllers unattached(R"({"*": {"supply": 5}, "KAVRSIM000000004": {"supply": 6}})");
  EXPECT_NE(unattached.After(0.0, 0).InputVoltage, 5.0f);
}

}  // namespace
}  // namespace kavr::sim::testing

// The controllers' shared state: it outlives every call, every power cycle
// brings the controllers back from their flash, and a state file that
// cannot be used is replaced rather than read.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <limits>
#include <thread>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "simulator/flash_store.h"
#include "simulator/reserved_slots.h"
#include "simulator/shared_state.h"
#include "simulator/state_codec.h"
#include "simulator_test_support.h"

namespace kavr::sim::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

class SharedStateTest : public ::testing::Test {
 protected:
  SharedStateTest() {
    config.stateDir = scratch.path / "state";
    config.flashDir = scratch.path / "flash";
  }

  // One entry call, as the library makes it.
  KAVR_ResultCode Call(const std::function<KAVR_ResultCode(Simulator&)>& call, bool atInit = false) {
    KAVR_ResultCode code = -1;
    EXPECT_EQ(CallOnSharedState(config, clock, warnings.Sink(), atInit, call, code), std::nullopt);
    return code;
  }
  std::int32_t Init() {
    std::int32_t count = -1;
    EXPECT_EQ(
        Call([&](Simulator& simulator) { return simulator.Init(&count, nullptr, 0, nullptr, 0); }, true),
        kSuccess);
    return count;
  }
  KAVR_State State(int device = 0) {
    KAVR_State state;
    EXPECT_EQ(Call([&](Simulator& simulator) { return simulator.GetState(device, &state); }), kSuccess);
    return state;
  }
  float ButtonTimeout(int device) {
    KAVR_Parameters parameters;
    EXPECT_EQ(Call([&](Simulator& simulator) { return simulator.GetParameters(device, &parameters); }),
              kSuccess);
    return parameters.ButtonTimeout1;
  }
  KAVR_ResultCode SetButtonTimeout(int device, float milliseconds) {
    KAVR_Parameters parameters = FactoryParametersHandedOut(device);
    parameters.ButtonTimeout1 = milliseconds;
    return Call([&](Simulator& simulator) { return simulator.SetParameters(device, &parameters); });
  }
  static KAVR_Parameters FactoryParametersHandedOut(int device) {
    KAVR_Parameters parameters = FactoryParameters();
    FillReservedSlots(parameters, device);
    return parameters;
  }
  // Controller 1 saved at 555 ms, then set to 777 unsaved; controller 0 on a long move.
  void Use() {
    ASSERT_EQ(Init(), 2);
    ASSERT_EQ(SetButtonTimeout(1, 555.0f), kSuccess);
    ASSERT_EQ(Call([](Simulator& simulator) { return simulator.SaveParametersToFlash(1); }), kSuccess);
    ASSERT_EQ(SetButtonTimeout(1, 777.0f), kSuccess);
    KAVR_StartParameters start;
    start.StepDivisor = 1;
    float speed = 1000.0f;
    ASSERT_EQ(Call([&](Simulator& simulator) { return simulator.Start(0, 100000, &speed, &start); }),
              kSuccess);
    clock.Advance(2.0);
  }
  void ExpectStillRunning() {
    const KAVR_State moving = State();
    EXPECT_TRUE(IsSet(moving.Running) && !IsSet(moving.AfterReset));
    EXPECT_NEAR(moving.CurrentPosition, 1900, 2);
    EXPECT_EQ(ButtonTimeout(1), 777.0f);
  }
  void ExpectPowerCycled() {
    const KAVR_State fresh = State();
    EXPECT_TRUE(IsSet(fresh.AfterReset) && !IsSet(fresh.Running));
    EXPECT_EQ(fresh.CurrentPosition, 0);
    EXPECT_EQ(ButtonTimeout(1), 555.0f);  // back from its flash
  }
  void Overwrite(const std::string& bytes) {
    std::ofstream(config.stateDir / "state", std::ios::binary | std::ios::trunc) << bytes;
  }
  std::string Stored() {
    std::ifstream file(config.stateDir / "state", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  ScratchFolder scratch;
  ManualClock clock;
  Warnings warnings;
  SimulatorConfig config;
};

TEST_F(SharedStateTest, ControllersKeepRunningAcrossCallsAndInitsThatAskForNothingNew) {
  Use();
  ExpectStillRunning();
  EXPECT_EQ(Init(), 2);
  config.deviceCount = 2;
  EXPECT_EQ(Init(), 2);
  ExpectStillRunning();
  EXPECT_THAT(warnings.lines, IsEmpty());
}

TEST_F(SharedStateTest, ReadsWriteNothingWhereNoRigActsWithTime) {
  // Every call would otherwise replace the file: a read costing a write
  // makes the stand-in many times slower than the library it stands for.
  Use();
  const std::string before = Stored();
  ExpectStillRunning();
  clock.Advance(1.0);
  EXPECT_NEAR(State().CurrentPosition, 2900, 2);
  EXPECT_EQ(Stored(), before);
}

TEST_F(SharedStateTest, EveryKindOfPowerCycleBringsTheControllersBackFromTheirFlash) {
  LiveState badValues;
  badValues.controllers.emplace_back(clock.Now());
  MotionPlan nowhere;
  nowhere.startPosition = std::numeric_limits<double>::quiet_NaN();
  badValues.controllers.back().motion = Motion(nowhere);
  struct Cause {
    const char* name;
    std::function<void()> apply;
    std::size_t warnings;
  };
  for (const Cause& cause : std::vector<Cause>{
           {"folder deleted", [&] { std::filesystem::remove_all(config.stateDir); }, 0},
           {"KAVR_SIM_RESET", [&] { config.powerCycle = true; }, 0},
           {"another count", [&] { config.deviceCount = 3; }, 1},
           {"machine restarted", [&] { clock.Advance(-3.0); }, 0},
           {"empty file", [&] { Overwrite(""); }, 1},
           {"cut short", [&] { Overwrite(Stored().substr(0, 150)); }, 1},
           {"one byte more", [&] { Overwrite(Stored() + "x"); }, 1},
           {"damaged",
            [&] {
              std::string bytes = Stored();
              bytes[bytes.size() / 2] ^= 0x10;
              Overwrite(bytes);
            },
            1},
           {"not a state file", [&] { Overwrite(EncodeFlash(FactoryParameters())); }, 1},
           {"impossible values", [&] { Overwrite(EncodeState(badValues)); }, 1},
       }) {
    SCOPED_TRACE(cause.name);
    Use();
    warnings.lines.clear();
    cause.apply();
    Init();
    config.powerCycle = false;
    config.deviceCount.reset();
    ExpectPowerCycled();
    ASSERT_EQ(warnings.lines.size(), cause.warnings);
    for (const std::string& line : warnings.lines) EXPECT_THAT(line, HasSubstr("power-cycled"));
    std::filesystem::remove_all(config.stateDir);
  }
}

// Each call locks the state for all of its read, act and write: two
// threads, each setting its own controller and reading it back, never see
// the other's write undo their own.
TEST_F(SharedStateTest, InterleavedCallsLoseNoWrite) {
  ASSERT_EQ(Init(), 2);
  int lost[2] = {};
  const auto worker = [&](int device) {
    for (int round = 1; round <= 300; ++round) {
      lost[device] += SetButtonTimeout(device, static_cast<float>(round)) != kSuccess;
      lost[device] += ButtonTimeout(device) != static_cast<float>(round);
    }
  };
  std::thread first(worker, 0), second(worker, 1);
  first.join();
  second.join();
  EXPECT_EQ(lost[0] + lost[1], 0);
  EXPECT_EQ(ButtonTimeout(0), 300.0f);
  EXPECT_EQ(ButtonTimeout(1), 300.0f);
}

TEST_F(SharedStateTest, AStateFolderThatCannotBeMadeFailsTheCallWithTheReason) {
  std::ofstream(scratch.path / "a-file") << "not a folder";
  config.stateDir = scratch.path / "a-file" / "state";
  KAVR_ResultCode code = kSuccess;
  const Problem problem = CallOnSharedState(
      config, clock, warnings.Sink(), true, [](Simulator&) { return kSuccess; }, code);
  ASSERT_NE(problem, std::nullopt);
  EXPECT_THAT(*problem, HasSubstr((scratch.path / "a-file").generic_string()));  // written with '/'
}

#ifndef _WIN32
// Only root can hand a folder to another user, so only a run as root shows it.
TEST_F(SharedStateTest, AStateFolderOfAnotherUserIsNeverUsed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a folder away";
  std::filesystem::create_directories(config.stateDir);
  ASSERT_EQ(chown(config.stateDir.c_str(), 65534, 65534), 0);
  KAVR_ResultCode code = kSuccess;
  const Problem problem = CallOnSharedState(
      config, clock, warnings.Sink(), true, [](Simulator&) { return kSuccess; }, code);
  ASSERT_NE(problem, std::nullopt);
  EXPECT_THAT(*problem, HasSubstr("belongs to another user"));
}
#endif

}  // namespace
}  // namespace kavr::sim::testing

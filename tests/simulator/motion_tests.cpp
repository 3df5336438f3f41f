// Moves over time, read through the simulator's state with a clock that the
// test moves: the factory parameters accelerate and decelerate in 200 ms, so
// a move of 3000 steps at 3000 steps/s takes 0.2 s up to speed, 0.8 s at
// speed and 0.2 s down to rest.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <tuple>

#include "simulator/controller_defaults.h"
#include "simulator/motion.h"
#include "simulator/parameter_checks.h"
#include "simulator_test_support.h"

namespace kavr::sim::testing {
namespace {

class MotionTest : public ::testing::Test {
 protected:
  // What the state shows `after` seconds more.
  struct Sample {
    double after, position;
    bool running, fullSpeed;
    double tolerance = 1.0;
  };

  KAVR_ResultCode Go(std::int32_t destination, float speed = 3000.0f, std::uint8_t divisor = 1) {
    KAVR_StartParameters start;
    start.StepDivisor = divisor;
    granted = speed;
    return rig.simulator.Start(0, destination, &granted, &start);
  }
  KAVR_State After(double seconds, int device = 0) {
    rig.clock.Advance(seconds);
    KAVR_State state;
    EXPECT_EQ(rig.simulator.GetState(device, &state), kSuccess);
    return state;
  }
  void Expect(std::initializer_list<Sample> samples) {
    for (const Sample& s : samples) {
      SCOPED_TRACE(::testing::Message() << "+" << s.after << " s, expecting " << s.position);
      const KAVR_State state = After(s.after);
      EXPECT_NEAR(state.CurrentPosition, s.position, s.tolerance);
      EXPECT_EQ(IsSet(state.Running), s.running);
      EXPECT_EQ(IsSet(state.FullSpeed), s.fullSpeed);
    }
  }
  void SetPowerOff(bool off) {
    KAVR_Mode mode;
    ASSERT_EQ(rig.simulator.GetMode(0, &mode), kSuccess);
    mode.PowerOff = ToFlag(off);
    ASSERT_EQ(rig.simulator.SetMode(0, &mode), kSuccess);
  }

  SimulatorRig rig{2};
  float granted = 0.0f;
};

TEST_F(MotionTest, MoveAcceleratesCruisesAndArrives) {
  EXPECT_TRUE(IsSet(After(0.0).AfterReset));
  Expect({{0.0, 0, false, false, 0}});
  ASSERT_EQ(Go(3000), kSuccess);
  const KAVR_State moving = After(0.0);
  EXPECT_FALSE(IsSet(moving.AfterReset));
  EXPECT_FALSE(IsSet(moving.DirectionCCW));
  Expect({{0.1, 75, true, false},     // halfway up to speed: 1/2 a t^2
          {0.5, 1500, true, true},    // t = 0.6 s: 300 steps to reach speed, then 0.4 s at speed
          {0.55, 2981, true, false},  // t = 1.15 s: 0.15 s into slowing down, 18.75 steps short
          {0.06, 3000, false, false, 0},
          {100.0, 3000, false, false, 0}});
}

TEST_F(MotionTest, ShortMoveNeverReachesFullSpeed) {
  ASSERT_EQ(Go(100), kSuccess);
  // Peak 1224.7 steps/s, reached after 50 steps; arrival at 0.1633 s.
  Expect({{0.0816, 50, true, false}, {0.08, 100, true, false}, {0.003, 100, false, false, 0}});
}

TEST_F(MotionTest, StopMidMoveDeceleratesToRest) {
  ASSERT_EQ(Go(3000), kSuccess);
  Expect({{0.6, 1500, true, true}});
  ASSERT_EQ(rig.simulator.Stop(0), kSuccess);
  // 300 steps to stop from 3000 steps/s.
  Expect({{0.1, 1725, true, false}, {0.2, 1800, false, false, 0}, {5.0, 1800, false, false, 0}});
  EXPECT_EQ(rig.simulator.Stop(0), kSuccess);  // at rest already: nothing to do
  Expect({{1.0, 1800, false, false, 0}});
}

TEST_F(MotionTest, NewStartAgainstTheMotionComesToRestBeforeTurning) {
  ASSERT_EQ(Go(3000), kSuccess);
  Expect({{0.6, 1500, true, true}});
  ASSERT_EQ(Go(0), kSuccess);
  KAVR_State state = After(0.19);  // still heading up, almost at rest
  EXPECT_GT(state.CurrentPosition, 1790);
  EXPECT_FALSE(IsSet(state.DirectionCCW));
  state = After(0.5);
  EXPECT_LT(state.CurrentPosition, 1800);
  EXPECT_TRUE(IsSet(state.DirectionCCW) && IsSet(state.Running));
  Expect({{10.0, 0, false, false, 0}});
  EXPECT_TRUE(IsSet(After(0.0).DirectionCCW));  // of the last move
}

TEST_F(MotionTest, SpeedAboveTheDivisorsMaximumIsLoweredThroughThePointer) {
  for (const auto& [divisor, asked, granted] : {std::tuple<std::uint8_t, float, float>{1, 9000, 5000},
                                                {2, 9000, 9000},
                                                {2, 12000, 10000},
                                                {8, 1e9f, 40000},
                                                {4, 3000, 3000}}) {
    ASSERT_EQ(Go(-200000, asked, divisor), kSuccess);
    EXPECT_EQ(granted, granted) << int{divisor} << " " << asked;
    EXPECT_EQ(After(0.0).StepDivisor, divisor);
  }
  // The move really runs at the lowered speed: 5000 steps/s, reached in 0.2 s over 500 steps.
  ASSERT_EQ(Go(100000, 9000.0f), kSuccess);
  EXPECT_NEAR(After(1.2).CurrentPosition, 500 + 5000, 2);
}

TEST_F(MotionTest, PowerOffRefusesAStartAndCutsARunningMove) {
  ASSERT_EQ(Go(3000), kSuccess);
  const std::int32_t where = After(0.6).CurrentPosition;
  SetPowerOff(true);
  const KAVR_State state = After(0.5);
  EXPECT_FALSE(IsSet(state.PowerOn) || IsSet(state.Running) || IsSet(state.FullPower));
  EXPECT_EQ(state.CurrentPosition, where);

  EXPECT_EQ(Go(0), kPowerOff);
  EXPECT_THAT(rig.simulator.LastError(), ::testing::HasSubstr("power is off"));
  EXPECT_EQ(After(1.0).CurrentPosition, where);

  SetPowerOff(false);
  EXPECT_TRUE(IsSet(After(0.0).PowerOn));
  EXPECT_EQ(Go(0), kSuccess);
  EXPECT_EQ(After(5.0).CurrentPosition, 0);
}

TEST_F(MotionTest, ZeroRampTimesChangeSpeedAtOnce) {
  KAVR_Parameters parameters;
  ASSERT_EQ(rig.simulator.GetParameters(0, &parameters), kSuccess);
  parameters.AccelerationTime = parameters.DecelerationTime = 0.0f;
  ASSERT_EQ(rig.simulator.SetParameters(0, &parameters), kSuccess);
  ASSERT_EQ(Go(-3000), kSuccess);
  Expect({{0.5, -1500, true, true}});
  EXPECT_TRUE(IsSet(After(0.0).DirectionCCW));
  ASSERT_EQ(rig.simulator.Stop(0), kSuccess);
  Expect({{0.0, -1500, false, false}, {1.0, -1500, false, false}});
}

TEST_F(MotionTest, IdleMotorDropsToReducedPowerAndStatusStaysPlausible) {
  ASSERT_EQ(Go(300), kSuccess);
  EXPECT_TRUE(IsSet(After(0.1).FullPower));
  EXPECT_TRUE(IsSet(After(0.5).FullPower));   // at rest for less than 1000 ms
  EXPECT_FALSE(IsSet(After(1.0).FullPower));  // reduced
  EXPECT_TRUE(IsSet(After(0.0).PowerOn));

  for (int step = 0; step < 400; ++step) {
    const KAVR_State state = After(7.3, step % 2);
    EXPECT_TRUE(state.Temperature > 25.0f && state.Temperature < 40.0f) << state.Temperature;
    EXPECT_TRUE(state.InputVoltage > 11.5f && state.InputVoltage < 12.5f) << state.InputVoltage;
  }
  EXPECT_NE(After(60.0).Temperature, After(60.0).Temperature);  // it does drift
}

// The longest ramps a controller takes with the slowest speed it takes: a
// move that outlasts any clock, read for its position and its power
// reduction without an overflow (which the sanitizer build would stop at).
TEST_F(MotionTest, LongestRampsAndSlowestSpeedsStayInRange) {
  KAVR_Parameters parameters;
  ASSERT_EQ(rig.simulator.GetParameters(0, &parameters), kSuccess);
  parameters.AccelerationTime = parameters.DecelerationTime = kLongestTimeMs;
  ASSERT_EQ(rig.simulator.SetParameters(0, &parameters), kSuccess);
  for (const float speed : {std::numeric_limits<float>::denorm_min(), 1e-3f, 40000.0f}) {
    for (const std::int32_t destination :
         {std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min()}) {
      ASSERT_EQ(Go(destination, speed, 8), kSuccess);
      for (const double later : {0.0, 1.0, 86400.0, 1e9}) {
        const KAVR_State state = After(later);
        EXPECT_TRUE(IsSet(state.Running) || state.CurrentPosition == destination) << speed << " " << later;
      }
      ASSERT_EQ(rig.simulator.Stop(0), kSuccess);
    }
  }
}

TEST(MotionPlan, ExtremeDestinationsStayInRange) {
  ManualClock clock;
  Motion motion(clock.Now(), 0);
  motion.MoveTo(clock.Now(), std::numeric_limits<std::int32_t>::max(), 40000.0, 200.0, 200.0);
  clock.Advance(30 * 24 * 3600.0);
  EXPECT_EQ(motion.At(clock.Now()).position, std::numeric_limits<std::int32_t>::max());
  motion.MoveTo(clock.Now(), std::numeric_limits<std::int32_t>::min(), 40000.0, 0.0, 1.0e9);
  clock.Advance(30 * 24 * 3600.0);
  EXPECT_EQ(motion.At(clock.Now()).position, std::numeric_limits<std::int32_t>::min());
  EXPECT_FALSE(motion.At(clock.Now()).running);
}

}  // namespace
}  // namespace kavr::sim::testing

// Moves over time, read through the simulator's state with a clock that the
// test moves: the factory parameters accelerate and decelerate in 200 ms, so
// a move of 3000 steps at 3000 steps/s takes 0.2 s up to speed, 0.8 s at
// speed and 0.2 s down to rest.
#include <gtest/gtest.h>

#include <chrono>

#include "simulator/controller_defaults.h"
#include "simulator/motion.h"
#include "simulator/result_codes.h"
#include "simulator_test_support.h"

namespace kavr::sim::testing {
namespace {

using std::chrono::duration;

class MotionTest : public ::testing::Test {
 protected:
  MotionTest() : rig_(ConfigWith(2, scratch_.path())) {}

  KAVR_ResultCode StartMove(std::int32_t destination, float& speed, std::uint8_t divisor = 1,
                            int device = 0) {
    KAVR_StartParameters start;
    EXPECT_EQ(rig_.simulator->GetStartParameters(device, &start), kSuccess);
    start.StepDivisor = divisor;
    return rig_.simulator->Start(device, destination, &speed, &start);
  }
  // At 3000 steps/s, divisor 1.
  KAVR_ResultCode Go(std::int32_t destination) {
    float speed = 3000.0f;
    return StartMove(destination, speed);
  }

  KAVR_State StateAfter(double seconds, int device = 0) {
    rig_.clock->Advance(duration<double>(seconds));
    KAVR_State state;
    EXPECT_EQ(rig_.simulator->GetState(device, &state), kSuccess);
    return state;
  }

  void SetPowerOff(bool off) {
    KAVR_Mode mode;
    ASSERT_EQ(rig_.simulator->GetMode(0, &mode), kSuccess);
    mode.PowerOff = ToFlag(off);
    ASSERT_EQ(rig_.simulator->SetMode(0, &mode), kSuccess);
  }

  ScratchFolder scratch_;
  SimulatorRig rig_;
};

TEST_F(MotionTest, MoveAcceleratesCruisesAndArrives) {
  const KAVR_State before = StateAfter(0.0);
  EXPECT_TRUE(IsSet(before.AfterReset));
  EXPECT_FALSE(IsSet(before.Running));

  ASSERT_EQ(Go(3000), kSuccess);

  KAVR_State state = StateAfter(0.1);  // halfway up to speed: 1/2 a t^2
  EXPECT_NEAR(state.CurrentPosition, 75, 1);
  EXPECT_TRUE(IsSet(state.Running));
  EXPECT_FALSE(IsSet(state.FullSpeed));
  EXPECT_FALSE(IsSet(state.AfterReset));
  EXPECT_FALSE(IsSet(state.DirectionCCW));

  state = StateAfter(0.5);  // t = 0.6 s: 300 steps to reach speed, then 0.4 s at speed
  EXPECT_NEAR(state.CurrentPosition, 1500, 1);
  EXPECT_TRUE(IsSet(state.FullSpeed));

  state = StateAfter(0.55);  // t = 1.15 s: 0.15 s into slowing down, 18.75 steps short
  EXPECT_NEAR(state.CurrentPosition, 2981, 1);
  EXPECT_TRUE(IsSet(state.Running));
  EXPECT_FALSE(IsSet(state.FullSpeed));

  state = StateAfter(0.06);
  EXPECT_EQ(state.CurrentPosition, 3000);
  EXPECT_FALSE(IsSet(state.Running));
  EXPECT_FALSE(IsSet(state.FullSpeed));

  state = StateAfter(100.0);
  EXPECT_EQ(state.CurrentPosition, 3000);
}

TEST_F(MotionTest, ShortMoveNeverReachesFullSpeed) {
  ASSERT_EQ(Go(100), kSuccess);
  // Peak 1224.7 steps/s, reached after 50 steps; arrival at 0.1633 s.
  KAVR_State state = StateAfter(0.0816);
  EXPECT_NEAR(state.CurrentPosition, 50, 1);
  EXPECT_FALSE(IsSet(state.FullSpeed));
  EXPECT_TRUE(IsSet(StateAfter(0.08).Running));
  state = StateAfter(0.003);
  EXPECT_EQ(state.CurrentPosition, 100);
  EXPECT_FALSE(IsSet(state.Running));
}

TEST_F(MotionTest, StopMidMoveDeceleratesToRest) {
  ASSERT_EQ(Go(3000), kSuccess);
  ASSERT_NEAR(StateAfter(0.6).CurrentPosition, 1500, 1);
  ASSERT_EQ(rig_.simulator->Stop(0), kSuccess);

  KAVR_State state = StateAfter(0.1);  // still rolling, slowing down
  EXPECT_TRUE(IsSet(state.Running));
  EXPECT_NEAR(state.CurrentPosition, 1725, 1);
  state = StateAfter(0.2);
  EXPECT_FALSE(IsSet(state.Running));
  EXPECT_EQ(state.CurrentPosition, 1800);  // 300 steps to stop from 3000 steps/s
  EXPECT_EQ(StateAfter(5.0).CurrentPosition, 1800);

  EXPECT_EQ(rig_.simulator->Stop(0), kSuccess);  // at rest already: nothing to do
  EXPECT_EQ(StateAfter(1.0).CurrentPosition, 1800);
}

TEST_F(MotionTest, NewStartAgainstTheMotionComesToRestBeforeTurning) {
  ASSERT_EQ(Go(3000), kSuccess);
  ASSERT_NEAR(StateAfter(0.6).CurrentPosition, 1500, 1);
  ASSERT_EQ(Go(0), kSuccess);

  KAVR_State state = StateAfter(0.19);  // still heading up, almost at rest
  EXPECT_GT(state.CurrentPosition, 1790);
  EXPECT_FALSE(IsSet(state.DirectionCCW));
  state = StateAfter(0.5);
  EXPECT_LT(state.CurrentPosition, 1800);
  EXPECT_TRUE(IsSet(state.DirectionCCW));
  EXPECT_TRUE(IsSet(state.Running));
  state = StateAfter(10.0);
  EXPECT_EQ(state.CurrentPosition, 0);
  EXPECT_FALSE(IsSet(state.Running));
  EXPECT_TRUE(IsSet(state.DirectionCCW));  // of the last move
}

TEST_F(MotionTest, SpeedAboveTheDivisorsMaximumIsLoweredThroughThePointer) {
  struct Case {
    std::uint8_t divisor;
    float asked;
    float granted;
  };
  for (const Case& c : {Case{1, 9000.0f, 5000.0f}, Case{2, 9000.0f, 9000.0f}, Case{2, 12000.0f, 10000.0f},
                        Case{8, 1.0e9f, 40000.0f}, Case{4, 3000.0f, 3000.0f}}) {
    float speed = c.asked;
    ASSERT_EQ(StartMove(-200000, speed, c.divisor), kSuccess) << int{c.divisor};
    EXPECT_EQ(speed, c.granted) << int{c.divisor} << " " << c.asked;
    EXPECT_EQ(StateAfter(0.0).StepDivisor, c.divisor);
  }
  // The move really runs at the lowered speed: 5000 steps/s at divisor 1,
  // reached in 0.2 s over 500 steps.
  float speed = 9000.0f;
  ASSERT_EQ(StartMove(100000, speed, 1), kSuccess);
  EXPECT_NEAR(StateAfter(1.2).CurrentPosition, 500 + 5000, 2);
}

TEST_F(MotionTest, PowerOffRefusesAStartAndCutsARunningMove) {
  ASSERT_EQ(Go(3000), kSuccess);
  const std::int32_t where = StateAfter(0.6).CurrentPosition;
  SetPowerOff(true);
  KAVR_State state = StateAfter(0.5);
  EXPECT_FALSE(IsSet(state.PowerOn));
  EXPECT_FALSE(IsSet(state.Running));
  EXPECT_FALSE(IsSet(state.FullPower));
  EXPECT_EQ(state.CurrentPosition, where);

  float speed = 3000.0f;
  EXPECT_EQ(StartMove(0, speed), kPowerOff);
  EXPECT_NE(rig_.simulator->LastError().find("power is off"), std::string::npos)
      << rig_.simulator->LastError();
  EXPECT_EQ(StateAfter(1.0).CurrentPosition, where);

  SetPowerOff(false);
  EXPECT_TRUE(IsSet(StateAfter(0.0).PowerOn));
  EXPECT_EQ(Go(0), kSuccess);
  EXPECT_EQ(StateAfter(5.0).CurrentPosition, 0);
}

TEST_F(MotionTest, ZeroRampTimesChangeSpeedAtOnce) {
  KAVR_Parameters parameters;
  ASSERT_EQ(rig_.simulator->GetParameters(0, &parameters), kSuccess);
  parameters.AccelerationTime = 0.0f;
  parameters.DecelerationTime = 0.0f;
  ASSERT_EQ(rig_.simulator->SetParameters(0, &parameters), kSuccess);

  ASSERT_EQ(Go(-3000), kSuccess);
  KAVR_State state = StateAfter(0.5);
  EXPECT_NEAR(state.CurrentPosition, -1500, 1);
  EXPECT_TRUE(IsSet(state.FullSpeed));
  EXPECT_TRUE(IsSet(state.DirectionCCW));
  ASSERT_EQ(rig_.simulator->Stop(0), kSuccess);
  state = StateAfter(0.0);
  EXPECT_FALSE(IsSet(state.Running));
  EXPECT_EQ(StateAfter(1.0).CurrentPosition, state.CurrentPosition);
}

TEST_F(MotionTest, TemperatureAndVoltageStayInAPlausibleBand) {
  for (int step = 0; step < 400; ++step) {
    const KAVR_State state = StateAfter(7.3, step % 2);
    EXPECT_GT(state.Temperature, 25.0f);
    EXPECT_LT(state.Temperature, 40.0f);
    EXPECT_GT(state.InputVoltage, 11.5f);
    EXPECT_LT(state.InputVoltage, 12.5f);
  }
  // It does drift.
  EXPECT_NE(StateAfter(60.0).Temperature, StateAfter(60.0).Temperature);
}

TEST_F(MotionTest, IdleMotorDropsToReducedPowerAfterTheTimeout) {
  ASSERT_EQ(Go(300), kSuccess);
  EXPECT_TRUE(IsSet(StateAfter(0.1).FullPower));
  EXPECT_TRUE(IsSet(StateAfter(0.5).FullPower));   // at rest for less than 1000 ms
  EXPECT_FALSE(IsSet(StateAfter(1.0).FullPower));  // reduced
  EXPECT_TRUE(IsSet(StateAfter(0.0).PowerOn));
}

TEST(MotionPlan, ExtremeDestinationsStayInRange) {
  ManualClock clock;
  Motion motion(clock.Now(), 0);
  motion.MoveTo(clock.Now(), std::numeric_limits<std::int32_t>::max(), 40000.0, 200.0, 200.0);
  clock.Advance(std::chrono::hours(24 * 30));
  EXPECT_EQ(motion.At(clock.Now()).position, std::numeric_limits<std::int32_t>::max());
  motion.MoveTo(clock.Now(), std::numeric_limits<std::int32_t>::min(), 40000.0, 0.0, 1.0e9);
  clock.Advance(std::chrono::hours(24 * 30));
  const MotionSample sample = motion.At(clock.Now());
  EXPECT_EQ(sample.position, std::numeric_limits<std::int32_t>::min());
  EXPECT_FALSE(sample.running);
}

}  // namespace
}  // namespace kavr::sim::testing

// The motion model against the stand-in: a move predicted from the
// controller's parameters and start parameters lands on the very position
// the stand-in reports at every poll, since both run the same model.
#include <gtest/gtest.h>

#include <optional>

#include "motion/move_model.h"
#include "simulator_test_support.h"

namespace kavr::sim::testing {
namespace {

struct Case {
  const char* name;
  std::uint8_t divisor;
  bool slowStart;
  std::int32_t destination;
  float speed;
  std::optional<double> stopAfter;  // seconds into the move
};

constexpr double kPoll = 0.05;

const Case kCases[] = {
    {"divisor 1", 1, false, 3000, 3000.0f, {}},
    {"divisor 1, slow start", 1, true, 3000, 3000.0f, {}},
    {"divisor 2", 2, false, -4000, 9000.0f, {}},
    {"divisor 4, slow start ignored", 4, true, 6000, 30000.0f, {}},
    {"divisor 8, speed capped", 8, false, 50000, 1e6f, {}},
    {"short move", 1, false, 100, 3000.0f, {}},
    {"short move, slow start", 1, true, -150, 3000.0f, {}},
    {"stop mid-move", 2, false, 8000, 4000.0f, 0.7},
    {"stop while speeding up, slow start", 1, true, 8000, 4000.0f, 0.1},
};

TEST(MoveModel, PredictionMatchesTheStandInAtEveryPoll) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    SimulatorRig rig(1);
    KAVR_Parameters parameters;
    ASSERT_EQ(rig.simulator.GetParameters(0, &parameters), kSuccess);
    parameters.DecelerationTime = 300.0f;  // unlike the acceleration time
    ASSERT_EQ(rig.simulator.SetParameters(0, &parameters), kSuccess);
    KAVR_StartParameters start;
    start.StepDivisor = c.divisor;
    start.SlowStart = ToFlag(c.slowStart);
    float speed = c.speed;
    const motion::TimePoint begun = rig.clock.Now();
    ASSERT_EQ(rig.simulator.Start(0, c.destination, &speed, &start), kSuccess);
    motion::Motion predicted = motion::PredictedMove(begun, 0, c.destination, c.speed, parameters, start);
    EXPECT_FLOAT_EQ(speed, static_cast<float>(motion::ProfileOf(parameters, start, c.speed).speed));

    bool stopped = false;
    int polls = 0;
    for (KAVR_State state{}; polls == 0 || IsSet(state.Running); ++polls) {
      ASSERT_LT(polls, 2000) << "the move never ends";
      const double seconds = polls * kPoll;
      if (c.stopAfter && !stopped && seconds >= *c.stopAfter) {
        ASSERT_EQ(rig.simulator.Stop(0), kSuccess);
        predicted.Stop(rig.clock.Now(), motion::ProfileOf(parameters, start, 0.0).decelerationMs);
        stopped = true;
      }
      ASSERT_EQ(rig.simulator.GetState(0, &state), kSuccess);
      const motion::MotionSample expected = predicted.At(rig.clock.Now());
      ASSERT_EQ(state.CurrentPosition, expected.position) << "at " << seconds << " s";
      ASSERT_EQ(IsSet(state.Running), expected.running) << "at " << seconds << " s";
      ASSERT_EQ(IsSet(state.FullSpeed), expected.fullSpeed) << "at " << seconds << " s";
      rig.clock.Advance(kPoll);
    }
    if (!c.stopAfter) {
      EXPECT_EQ(predicted.At(rig.clock.Now()).position, c.destination);
      EXPECT_NEAR(predicted.RunSeconds(), (polls - 1) * kPoll, kPoll);
    }
  }
}

TEST(MoveModel, SlowStartDoublesTheRampsAtDivisorOneOnly) {
  KAVR_Parameters parameters;
  parameters.AccelerationTime = 200.0f;
  parameters.DecelerationTime = 100.0f;
  KAVR_StartParameters start;
  start.SlowStart = ToFlag(true);
  for (const auto& [divisor, acceleration, deceleration] :
       {std::tuple{1, 400.0, 200.0}, {2, 200.0, 100.0}, {8, 200.0, 100.0}}) {
    start.StepDivisor = static_cast<std::uint8_t>(divisor);
    const motion::MoveProfile profile = motion::ProfileOf(parameters, start, 1e9);
    EXPECT_EQ(profile.accelerationMs, acceleration) << divisor;
    EXPECT_EQ(profile.decelerationMs, deceleration) << divisor;
    EXPECT_EQ(profile.speed, 5000.0 * divisor);
  }
}

TEST(MoveModel, SecondsToReachFindsTheFirstPassing) {
  const motion::TimePoint at{};
  motion::Motion move(at, 0);
  move.MoveTo(at, 3000, 3000.0, 200.0, 200.0);  // 0.2 s up (300 steps), 0.8 s cruising
  EXPECT_NEAR(*move.SecondsToReach(300.0), 0.2, 1e-9);
  EXPECT_NEAR(*move.SecondsToReach(1500.0), 0.6, 1e-9);
  EXPECT_NEAR(*move.SecondsToReach(3000.0), 1.2, 1e-9);
  EXPECT_FALSE(move.SecondsToReach(3001.0));
  EXPECT_FALSE(move.SecondsToReach(-1.0));
}

}  // namespace
}  // namespace kavr::sim::testing

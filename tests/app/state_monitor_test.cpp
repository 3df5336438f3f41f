// The monitor without its window: the state in the report's words, what a
// poll and a stop send, and that neither lands inside another call.
#include "app/state_monitor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "app/actions.h"
#include "fakes.h"

namespace {

using fakes::Strings;
using ::testing::AllOf;
using ::testing::Each;
using ::testing::EndsWith;
using ::testing::StartsWith;

TEST(StateSummary, SaysWhatTheStateReportSays) {
  KAVR_State state{};
  state.CurrentPosition = 2147483647;
  state.Temperature = -4.125f;
  state.StepDivisor = 3;  // shown as it is, like any value
  state.Running = state.PowerOn = state.FullPower = state.FullSpeed = state.Trailer1Pushed = 255;
  state.InputVoltage = 24.25f;
  kavr::StateSummary summary = kavr::SummarizeState(state, ",");
  EXPECT_EQ(summary.position, "2147483647");
  EXPECT_EQ(summary.motion, "Running in CW Direction");  // full speed only at divisor 1
  EXPECT_EQ(summary.power, "Full");
  EXPECT_EQ(summary.voltage, "24,3");
  EXPECT_EQ(summary.temperature,
            "-4,13\xC2\xB0"
            "C");
  EXPECT_EQ(summary.stepDivisor, "3");
  ASSERT_EQ(summary.inputs.size(), kavr::StateInputNames().size());
  EXPECT_EQ(summary.inputs[1].name, "Trailer 1");
  EXPECT_EQ(summary.inputs[1].word, "Pushed");
  EXPECT_TRUE(summary.inputs[1].active);
  EXPECT_EQ(summary.inputs[0].word, "Unpushed");
  EXPECT_FALSE(summary.inputs[0].active);

  const struct {
    float voltage;
    const char* shown;
  } voltages[] = {{0.0f, "Low"}, {-0.0f, "Low"}, {std::nanf(""), "Low"}, {0.04f, "0.0"}, {-3.0f, "-3.0"}};
  for (const auto& v : voltages) {
    state.InputVoltage = v.voltage;
    EXPECT_EQ(kavr::SummarizeState(state, ".").voltage, v.shown) << v.voltage;
  }
  state.CurrentPosition = -250;
  state.Running = 0;
  state.PowerOn = 0;
  summary = kavr::SummarizeState(state, ".");
  EXPECT_EQ(summary.position, "-250");
  EXPECT_EQ(summary.motion, "Not Running");
  EXPECT_EQ(summary.power, "Off");
}

// Runs `during` inside the fake's mode calls, as a driver that runs the
// message loop while it waits would let a timer do.
struct LoopInsideModeCalls : fakes::FakeLibrary {
  std::function<void()> during;
  kavr::ResultCode GetMode(std::int32_t d, KAVR_Mode& r) override {
    if (during) during();
    return FakeLibrary::GetMode(d, r);
  }
  kavr::ResultCode SetMode(std::int32_t d, KAVR_Mode& r) override {
    if (during) during();
    return FakeLibrary::SetMode(d, r);
  }
};

struct Monitored {
  LoopInsideModeCalls library;
  fakes::RecordingDisplay display{&library.events};
  kavr::RecordingControllerLibrary tracking{library};
  kavr::CallLog log;
  kavr::StateMonitor monitor{tracking, log, "."};
  std::chrono::steady_clock::time_point now{};
};

TEST(StateMonitor, PollsTheStateOfOneDeviceAndPausesOnAFailureUntilResumed) {
  Monitored m;
  m.library.state.CurrentPosition = 42;
  EXPECT_EQ(m.monitor.Poll(3, m.now), kavr::StateMonitor::Outcome::kDone);
  m.library.results[kavr::Entry::GetState] = 9;
  m.library.lastError = U"line\r\nbroken";
  EXPECT_EQ(m.monitor.Poll(3, m.now), kavr::StateMonitor::Outcome::kFailed);
  EXPECT_EQ(m.monitor.Poll(3, m.now), kavr::StateMonitor::Outcome::kNotNow);
  EXPECT_TRUE(m.monitor.Paused());
  EXPECT_EQ(m.monitor.Status(), "GetState failed with code 9: line  broken - polling paused");
  EXPECT_EQ(m.monitor.State()->position, "42");                      // the last good state stays
  EXPECT_EQ(m.monitor.Stop(3), kavr::StateMonitor::Outcome::kDone);  // paused or not
  EXPECT_EQ(m.library.events, (Strings{"GetState", "GetState", "GetLastErr", "Stop"}));
  EXPECT_THAT(m.library.devices, Each(3));
  EXPECT_TRUE(m.library.dirtyReads.empty());

  m.monitor.Resume();
  m.library.results.clear();
  EXPECT_EQ(m.monitor.Poll(3, m.now), kavr::StateMonitor::Outcome::kDone);
  EXPECT_EQ(m.monitor.History().Samples().size(), 2u);
}

TEST(StateMonitor, NeverCallsInsideAnotherCallOfAReadModifyWrite) {
  Monitored m;
  std::vector<kavr::StateMonitor::Outcome> outcomes;
  m.library.during = [&] {
    outcomes.push_back(m.monitor.Poll(0, m.now));
    outcomes.push_back(m.monitor.Stop(0));
  };
  kavr::ModeAction(m.tracking, m.display, 0, {}, ".");
  EXPECT_EQ(m.library.events, (Strings{"GetMode", "SetMode", "show KAVR_SetMode Successful"}));
  EXPECT_THAT(outcomes, Each(kavr::StateMonitor::Outcome::kNotNow));
  m.library.during = nullptr;
  EXPECT_EQ(m.monitor.Poll(0, m.now), kavr::StateMonitor::Outcome::kDone);
}

TEST(PositionHistory, KeepsThirtySecondsAndTheSampleBeforeThem) {
  kavr::PositionHistory history;
  const std::chrono::steady_clock::time_point start{};
  for (int second = 0; second <= 40; ++second)
    history.Add({start + std::chrono::seconds(second), second, true, {}, false});
  ASSERT_EQ(history.Samples().size(), 32u);
  EXPECT_EQ(history.Samples().front().position, 9);
}

// A move started through the library is held against its prediction; a
// stop at a switch is said in words, and once only.
TEST(StateMonitor, SaysWhereAMoveItStartedLeftItsPrediction) {
  Monitored m;
  m.library.parameters = KAVR_Parameters{.AccelerationTime = 0.0f, .DecelerationTime = 0.0f};
  m.library.state = KAVR_State{.PowerOn = 1};
  ASSERT_EQ(m.monitor.Poll(0, m.now), kavr::StateMonitor::Outcome::kDone);
  KAVR_StartParameters start{.StepDivisor = 1};
  float speed = 2000.0f;
  ASSERT_EQ(m.tracking.Start(0, 2000, speed, start), 0);
  m.library.state = KAVR_State{.CurrentPosition = 1000, .PowerOn = 1, .Trailer1Pushed = 1};
  ASSERT_EQ(m.monitor.Poll(0, m.now), kavr::StateMonitor::Outcome::kDone);
  // Read at once, before the prediction could have got there: the time is the read's.
  EXPECT_THAT(m.monitor.Departure(),
              AllOf(StartsWith("stopped at 1000 of 2000 after 0"), EndsWith(" s: Trailer 1 pushed")));
  EXPECT_TRUE(m.monitor.History().Samples().back().departed);
  ASSERT_EQ(m.monitor.Poll(0, m.now), kavr::StateMonitor::Outcome::kDone);
  EXPECT_FALSE(m.monitor.History().Samples().back().departed);
  // A move seen only in polls: what its state tells.
  m.library.state = KAVR_State{.CurrentPosition = 900, .PowerOn = 1, .Running = 1};
  ASSERT_EQ(m.monitor.Poll(0, m.now), kavr::StateMonitor::Outcome::kDone);
  EXPECT_EQ(m.monitor.Departure(), "");
  m.library.state = KAVR_State{.CurrentPosition = 500, .PowerOn = 1, .Running = 1, .RotaryError = 1};
  ASSERT_EQ(m.monitor.Poll(0, m.now), kavr::StateMonitor::Outcome::kDone);
  EXPECT_EQ(m.monitor.Departure(), "Rotary error at 500");
}

}  // namespace

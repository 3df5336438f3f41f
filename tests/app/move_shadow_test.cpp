// A move held against its prediction: the words for each way of leaving it,
// from states made up for each moment. The factory ramps are 200 ms each;
// the prediction for 0 to 2000 at 2000 steps/s is 1.2 s long.
#include "app/move_shadow.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using kavr::MoveShadow;
using Clock = std::chrono::steady_clock;

const Clock::time_point kStart{std::chrono::hours(1)};

Clock::time_point At(double seconds) {
  return kStart + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

kavr::MoveSent ToTwoThousand() {
  kavr::MoveSent move;
  move.destination = 2000;
  move.speed = 2000.0f;
  move.parameters.AccelerationTime = 200.0f;
  move.parameters.DecelerationTime = 200.0f;
  move.start.StepDivisor = 1;
  move.before.PowerOn = 1;
  return move;
}

// A state read: a position, running or not, and what flags are set.
struct Read {
  double seconds;
  std::int32_t position;
  bool running;
  kavr::Flag KAVR_State::*flag = nullptr;
};

KAVR_State StateOf(const Read& read) {
  KAVR_State state;
  state.CurrentPosition = read.position;
  state.Running = kavr::ToFlag(read.running);
  state.PowerOn = 1;
  if (read.flag != nullptr) state.*(read.flag) = 1;
  return state;
}

TEST(MoveShadow, EachDepartureIsSaidOnceInWords) {
  struct Case {
    const char* what;
    std::vector<Read> reads;
    const char* words;  // nullptr: the move holds to its prediction
    kavr::ShadowTolerance tolerance = {};
  };
  const std::vector<Case> cases = {
      {"on time", {{0.0, 0, true}, {0.6, 1000, true}, {1.25, 2000, false}}, nullptr},
      {"within the default tolerance", {{0.6, 1045, true}, {1.3, 2000, false}}, nullptr},
      {"stopped by a switch",
       {{0.3, 400, true}, {0.7, 1000, false, &KAVR_State::Trailer1Pushed}},
       "stopped at 1000 of 2000 after 0.6 s: Trailer 1 pushed"},
      {"stopped by the other switch",
       {{0.7, 1000, false, &KAVR_State::Trailer2Pushed}},
       "stopped at 1000 of 2000 after 0.6 s: Trailer 2 pushed"},
      {"the emergency button",
       {{0.5, 800, false, &KAVR_State::EmergencyPushed}},
       "stopped at 800 of 2000 after 0.5 s: emergency button pushed"},
      {"a rotary error that stops",
       {{0.9, 1500, false, &KAVR_State::RotaryError}},
       "stopped at 1500 of 2000 after 0.85 s: Rotary error at 1500"},
      {"a rotary error in passing", {{0.9, 1500, true, &KAVR_State::RotaryError}}, "Rotary error at 1500"},
      {"behind", {{0.6, 1000, true}, {1.2, 1650, true}}, "behind the prediction by 350 steps at 1.2 s"},
      {"ahead", {{0.6, 1100, true}}, "ahead of the prediction by 100 steps at 0.6 s"},
      {"a tolerance in steps", {{0.6, 1045, true}}, "ahead of the prediction by 45 steps at 0.6 s", {40, {}}},
      {"a tolerance in percent", {{0.6, 1045, true}}, nullptr, {{}, 3.0}},
      {"late", {{0.6, 1000, true}, {1.2, 1990, true}, {1.8, 2000, false}}, "ended 0.6 s late"},
      {"only the first departure",
       {{0.6, 500, true}, {1.2, 700, true}, {2.0, 900, false}},
       "behind the prediction by 500 steps at 0.6 s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MoveShadow shadow(kStart, ToTwoThousand(), c.tolerance);
    std::vector<std::string> said;
    for (const Read& read : c.reads) {
      if (auto words = shadow.Hold(At(read.seconds), StateOf(read))) said.push_back(*words);
    }
    EXPECT_EQ(said, c.words ? std::vector<std::string>{c.words} : std::vector<std::string>{});
    EXPECT_EQ(shadow.Points().size(), c.reads.size());
  }
}

TEST(MoveShadow, ToleranceAndAStopSentOnPurpose) {
  EXPECT_EQ(kavr::ShadowTolerance{}.For(2000), 50);
  EXPECT_EQ(kavr::ShadowTolerance{}.For(-2000), 50);
  EXPECT_EQ((kavr::ShadowTolerance{{}, 10.0}.For(2000)), 200);
  MoveShadow shadow(kStart, ToTwoThousand(), {});
  shadow.StopSent(At(0.6));  // at 1000, 200 ms to rest: 1200
  EXPECT_EQ(shadow.PredictedAt(At(2.0)), 1200);
  EXPECT_FALSE(shadow.Hold(At(1.0), StateOf({1.0, 1200, false})));
}

TEST(PolledMove, StopsWithACauseAndRotaryErrorsAreSaidOnce) {
  kavr::PolledMove polled;
  std::vector<std::string> said;
  for (const Read& read : std::vector<Read>{{0.0, 0, false},
                                            {0.1, 10, true},
                                            {0.5, 1000, false, &KAVR_State::Trailer1Pushed},
                                            {0.6, 1000, false, &KAVR_State::Trailer1Pushed},
                                            {1.0, 900, true, &KAVR_State::Trailer1Pushed},
                                            {1.5, 0, false},
                                            {2.0, 100, true},
                                            {2.2, 300, true, &KAVR_State::RotaryError},
                                            {2.3, 400, false, &KAVR_State::RotaryError}}) {
    if (auto words = polled.Hold(At(read.seconds), StateOf(read))) said.push_back(*words);
  }
  EXPECT_EQ(said, (std::vector<std::string>{"stopped at 1000 after 0.4 s: Trailer 1 pushed",
                                            "Rotary error at 300"}));
}

}  // namespace

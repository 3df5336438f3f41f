// Waiting for a move to end, on a scripted library and a clock that moves
// only when the wait sleeps.
#include "app/motion_wait.h"

#include <gtest/gtest.h>

#include "fakes.h"

namespace kavr {
namespace {

using fakes::Strings;
using std::chrono::milliseconds;

struct Waiting {
  fakes::FakeLibrary library;
  std::chrono::steady_clock::time_point now;
  std::vector<milliseconds> sleeps;
  int stopAfterSleeps = -1;  // the motor stops after this many sleeps; -1: never
  Pacing pacing{[this] { return now; },
                [this](milliseconds pause) {
                  sleeps.push_back(pause);
                  now += pause;
                  if (static_cast<int>(sleeps.size()) == stopAfterSleeps) library.state.Running = 0;
                }};

  MotionWait Wait(std::optional<milliseconds> limit) {
    return WaitUntilStopped(library, 2, limit, milliseconds(50), pacing);
  }
};

TEST(MotionWait, EndsWhenTheMotorStopsOrTheLimitPasses) {
  Waiting stops;
  stops.library.state.Running = 1;
  stops.stopAfterSleeps = 3;
  EXPECT_EQ(stops.Wait(std::nullopt).end, MotionWaitEnd::kStopped);
  EXPECT_EQ(stops.sleeps, std::vector<milliseconds>(3, milliseconds(50)));
  EXPECT_EQ(stops.library.devices, std::vector<std::int32_t>(4, 2));

  // The last sleep is cut to the limit, and the state is read once more there.
  Waiting runs;
  runs.library.state.Running = -1;
  const MotionWait timedOut = runs.Wait(milliseconds(120));
  EXPECT_EQ(timedOut.end, MotionWaitEnd::kTimedOut);
  EXPECT_EQ(runs.sleeps, (std::vector<milliseconds>{milliseconds(50), milliseconds(50), milliseconds(20)}));
  EXPECT_EQ(runs.library.events, Strings(4, "GetState"));
  EXPECT_EQ(timedOut.state.CurrentPosition, runs.library.state.CurrentPosition);

  Waiting atOnce;
  atOnce.library.state.Running = 0;
  EXPECT_EQ(atOnce.Wait(milliseconds(0)).end, MotionWaitEnd::kStopped);
  EXPECT_TRUE(atOnce.sleeps.empty());
}

TEST(MotionWait, AFailedReadEndsTheWaitWithItsCode) {
  Waiting failing;
  failing.library.results[kavr::Entry::GetState] = 9;
  const MotionWait wait = failing.Wait(std::nullopt);
  EXPECT_EQ(wait.end, MotionWaitEnd::kReadFailed);
  EXPECT_EQ(wait.result, 9);
  EXPECT_TRUE(failing.sleeps.empty());
}

}  // namespace
}  // namespace kavr

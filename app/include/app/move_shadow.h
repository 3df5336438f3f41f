// A move held against its prediction. A controller reports the position it
// commanded, so a move that went wrong shows only beside the way it should
// have gone: the motion model (motion/) predicts the move from the
// parameters and start parameters it was started with, and each state read
// while it runs is held against that. The first departure is said in words:
//   "stopped at 1000 of 2000 after 0.4 s: Trailer 1 pushed"
//   "behind the prediction by 350 steps at 1.2 s"
//   "ended 0.6 s late"
//   "Rotary error at 1500"
//
// Shells: kavrtest (the monitor), kavrctl (start --wait --shadow, watch
// --shadow, plans' shadowed waits).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "contract/records.h"
#include "motion/motion.h"

namespace kavr {

// How far the reported position may stray from the predicted one: a number
// of steps, a percentage of the move's length, or by default 2% of the move
// plus 10 steps.
struct ShadowTolerance {
  std::optional<std::int64_t> steps;
  std::optional<double> percent;

  std::int64_t For(std::int64_t moveLength) const;
  bool operator==(const ShadowTolerance&) const = default;
};

// A move as it was sent: where the axis was, where it was sent and how.
struct MoveSent {
  std::int32_t from = 0;
  std::int32_t destination = 0;
  float speed = 0.0f;  // as asked; the model caps it as the controller does
  KAVR_Parameters parameters;
  KAVR_StartParameters start;
  // The state read before the start: flags already set then are not news.
  KAVR_State before;
};

// One state read, with the prediction for its moment.
struct ShadowPoint {
  double seconds = 0.0;  // since the start
  std::int32_t reported = 0;
  std::int32_t predicted = 0;
};

class MoveShadow {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  // `started` is when the start call returned; it went out `startWindow`
  // earlier. The controller started the move somewhere in between.
  MoveShadow(TimePoint started, const MoveSent& move, const ShadowTolerance& tolerance,
             TimePoint::duration startWindow = {});

  // A Stop sent on purpose: the prediction slows down from `at` as well.
  void StopSent(TimePoint at);

  std::int32_t PredictedAt(TimePoint at) const;
  // Seconds from the start until the prediction comes to rest.
  double PredictedSeconds() const { return SecondsAt(motion_.Plan().start) + motion_.RunSeconds(); }
  double SecondsAt(TimePoint at) const;

  // Holds `state`, read at `at`, against the prediction and keeps the
  // point. Returns the departure, in words, the first time one is seen;
  // nothing before and after.
  // A read that went out at `sent` and came back at `at` is held against
  // every prediction in between, so a slow call is no departure.
  std::optional<std::string> Hold(TimePoint at, const KAVR_State& state) { return Hold(at, at, state); }
  std::optional<std::string> Hold(TimePoint sent, TimePoint at, const KAVR_State& state);

  // The first departure, if any; whether the move has been seen to end.
  const std::optional<std::string>& Departure() const { return departure_; }
  bool Ended() const { return ended_; }
  std::int64_t Tolerance() const { return tolerance_; }
  std::int32_t Destination() const { return move_.destination; }
  const std::vector<ShadowPoint>& Points() const { return points_; }

 private:
  std::optional<std::string> Departs(TimePoint sent, TimePoint at, const KAVR_State& state) const;

  MoveSent move_;
  TimePoint started_;
  TimePoint::duration startWindow_;
  motion::Motion motion_;
  std::int64_t tolerance_;
  double speed_;
  std::optional<std::string> departure_;
  bool ended_ = false;
  std::vector<ShadowPoint> points_;
};

// A move seen only in polls, started by another program: where it was sent
// and how fast are not known, so only what the state itself tells is said:
// a stop with a switch or the button pushed, the power gone, or a rotary
// error, e.g. "stopped at 1000 after 0.4 s: Trailer 1 pushed".
class PolledMove {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  // Holds each state read in turn; returns words the first time the move
  // under way departs.
  std::optional<std::string> Hold(TimePoint at, const KAVR_State& state);

 private:
  std::optional<KAVR_State> before_;  // the last state at rest
  std::optional<TimePoint> started_;  // the first read that saw it run
  bool said_ = false;
};

// "0.4", "12", "1.25": seconds as the words give them.
std::string ShadowSeconds(double seconds);

}  // namespace kavr

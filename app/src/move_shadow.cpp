#include "app/move_shadow.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "motion/move_model.h"

namespace kavr {
namespace {

// How late an end must be to be told, at the least: what the polls that
// see it can add.
constexpr double kLeastLateSeconds = 0.25;

// Why a motor stopped short, as its state says.
std::string StopReason(const KAVR_State& state, const KAVR_State& before) {
  if (IsSet(state.Trailer1Pushed)) return "Trailer 1 pushed";
  if (IsSet(state.Trailer2Pushed)) return "Trailer 2 pushed";
  if (IsSet(state.EmergencyPushed)) return "emergency button pushed";
  if (IsSet(state.RotaryError) && !IsSet(before.RotaryError)) {
    return "Rotary error at " + std::to_string(state.CurrentPosition);
  }
  if (!IsSet(state.PowerOn)) return "power off";
  return {};
}

}  // namespace

std::int64_t ShadowTolerance::For(std::int64_t moveLength) const {
  const double length = static_cast<double>(std::abs(moveLength));
  if (steps) return *steps;
  if (percent) return static_cast<std::int64_t>(std::ceil(length * *percent / 100.0));
  return static_cast<std::int64_t>(std::ceil(length * 0.02)) + 10;
}

std::string ShadowSeconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", std::max(0.0, seconds));
  std::string shown = text;
  while (shown.back() == '0') shown.pop_back();
  if (shown.back() == '.') shown.pop_back();
  return shown;
}

MoveShadow::MoveShadow(TimePoint started, const MoveSent& move, const ShadowTolerance& tolerance,
                       TimePoint::duration startWindow)
    : move_(move),
      started_(started),
      startWindow_(startWindow),
      motion_(motion::PredictedMove(started, move.from, move.destination, move.speed, move.parameters,
                                    move.start)),
      tolerance_(tolerance.For(static_cast<std::int64_t>(move.destination) - move.from)),
      speed_(motion::ProfileOf(move.parameters, move.start, move.speed).speed) {}

void MoveShadow::StopSent(TimePoint at) {
  motion_.Stop(at, motion::ProfileOf(move_.parameters, move_.start, 0.0).decelerationMs);
}

std::int32_t MoveShadow::PredictedAt(TimePoint at) const { return motion_.At(at).position; }

double MoveShadow::SecondsAt(TimePoint at) const { return motion::SecondsBetween(started_, at); }

std::optional<std::string> MoveShadow::Hold(TimePoint sent, TimePoint at, const KAVR_State& state) {
  if (ended_) return std::nullopt;
  points_.push_back({SecondsAt(at), state.CurrentPosition, PredictedAt(at)});
  std::optional<std::string> departs = Departs(std::min(sent, at), at, state);
  if (!IsSet(state.Running)) ended_ = true;
  if (!departs || departure_) return std::nullopt;
  departure_ = std::move(departs);
  return departure_;
}

std::optional<std::string> MoveShadow::Departs(TimePoint sent, TimePoint at, const KAVR_State& state) const {
  const double seconds = SecondsAt(at);
  const std::int64_t reported = state.CurrentPosition;
  const std::int64_t target = motion_.Plan().restPosition;
  // The least and the most the move can have done by the read: started as
  // late as can be and read at once, or started early and read late.
  const std::int64_t least = PredictedAt(sent);
  const std::int64_t most = PredictedAt(at + startWindow_);
  const auto along = [&](std::int64_t position) {
    return (position - move_.from) * (target >= move_.from ? 1 : -1);
  };
  const bool behind = along(reported) < along(least);
  const std::int64_t predicted = behind ? least : along(reported) > along(most) ? most : reported;
  const bool running = IsSet(state.Running);
  if (!running && std::abs(reported - target) > tolerance_) {
    // Where the prediction passed the stopping point is when it stopped.
    const auto reached = motion_.SecondsToReach(static_cast<double>(reported));
    const double when = reached ? std::min(seconds, SecondsAt(motion_.Plan().start) + *reached) : seconds;
    std::string words = "stopped at " + std::to_string(reported) + " of " + std::to_string(target) +
                        " after " + ShadowSeconds(when) + " s";
    const std::string reason = StopReason(state, move_.before);
    return reason.empty() ? words : words + ": " + reason;
  }
  if (IsSet(state.RotaryError) && !IsSet(move_.before.RotaryError)) {
    return "Rotary error at " + std::to_string(reported);
  }
  if (running && std::abs(reported - predicted) > tolerance_) {
    return std::string(behind ? "behind" : "ahead of") + " the prediction by " +
           std::to_string(std::abs(reported - predicted)) + " steps at " + ShadowSeconds(seconds) + " s";
  }
  const double late = seconds - PredictedSeconds();
  const double allowed = std::max(kLeastLateSeconds, static_cast<double>(tolerance_) / std::max(speed_, 1.0));
  if (!running && late > allowed) return "ended " + ShadowSeconds(late) + " s late";
  return std::nullopt;
}

std::optional<std::string> PolledMove::Hold(TimePoint at, const KAVR_State& state) {
  const bool running = IsSet(state.Running);
  if (!started_) {
    if (!running) {
      before_ = state;
      return std::nullopt;
    }
    started_ = at;
    said_ = false;
    if (!before_) before_ = state;
  }
  std::optional<std::string> words;
  const std::string reason = StopReason(state, *before_);
  if (!said_ && !running && !reason.empty()) {
    words = "stopped at " + std::to_string(state.CurrentPosition) + " after " +
            ShadowSeconds(motion::SecondsBetween(*started_, at)) + " s: " + reason;
  } else if (!said_ && IsSet(state.RotaryError) && !IsSet(before_->RotaryError)) {
    words = "Rotary error at " + std::to_string(state.CurrentPosition);
  }
  if (words) said_ = true;
  if (!running) {
    started_.reset();
    before_ = state;
  }
  return words;
}

}  // namespace kavr

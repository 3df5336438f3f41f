#include "app/state_monitor.h"

#include <cstring>
#include <exception>
#include <string>

#include "reports/reports.h"
#include "text/text.h"

namespace kavr {

StateMonitor::StateMonitor(RecordingControllerLibrary& library, CallLog& log, std::string decimalSeparator)
    : library_(library), log_(log), decimalSeparator_(std::move(decimalSeparator)) {
  library_.AddObserver([weak = std::weak_ptr(started_)](const LibraryCall& call) {
    const auto started = weak.lock();
    if (!started || call.entry != Entry::Start || call.Failed() || !call.device ||
        call.returned.size() != sizeof(KAVR_StartParameters)) {
      return;
    }
    const CallScalar* destination = ScalarNamed(call, "destination");
    const CallScalar* speed = ScalarNamed(call, "speed");
    if (destination == nullptr || speed == nullptr) return;
    StartSeen seen;
    seen.device = *call.device;
    try {
      seen.destination = std::stoi(destination->sent);
      seen.speed = std::stof(speed->sent);
    } catch (const std::exception&) {
      return;
    }
    std::memcpy(&seen.start, call.returned.data(), sizeof seen.start);
    seen.at = std::chrono::steady_clock::now();
    seen.call = call.duration;
    *started = seen;
  });
}

StateMonitor::Outcome StateMonitor::Poll(std::int32_t device, std::chrono::steady_clock::time_point now) {
  if (paused_ || library_.CallInProgress()) return Outcome::kNotNow;
  const CallLog::PollScope poll(log_);
  KAVR_State state{};
  const auto sent = std::chrono::steady_clock::now();
  const ResultCode result = library_.GetState(device, state);
  if (result != 0) {
    paused_ = true;
    status_ = FailureText("GetState", result) + " - polling paused";
    return Outcome::kFailed;
  }
  state_ = SummarizeState(state, decimalSeparator_);
  PositionSample sample{now, state.CurrentPosition, IsSet(state.PowerOn), {}, false};
  Shadow(device, sent, std::max(sent, std::chrono::steady_clock::now()), state, sample);
  history_.Add(sample);
  lastState_ = state;
  return Outcome::kDone;
}

void StateMonitor::Shadow(std::int32_t device, std::chrono::steady_clock::time_point sent,
                          std::chrono::steady_clock::time_point now, const KAVR_State& state,
                          PositionSample& sample) {
  if (auto& seen = *started_; seen && seen->device == device && lastState_) {
    KAVR_Parameters parameters{};
    const CallLog::PollScope poll(log_);
    if (library_.GetParameters(device, parameters) == 0) {
      const MoveSent move{
          lastState_->CurrentPosition, seen->destination, seen->speed, parameters, seen->start, *lastState_};
      shadow_.emplace(seen->at, move, tolerance_, seen->call);
      departure_.clear();
    }
    seen.reset();
  } else if (seen && seen->device != device) {
    seen.reset();
  }
  std::optional<std::string> words;
  // The predicted curve runs on to the end of the prediction, past a move
  // that stopped short, so that the plot shows how far short.
  if (shadow_ && shadow_->SecondsAt(now) <= shadow_->PredictedSeconds() + 1.0) {
    sample.predicted = shadow_->PredictedAt(now);
  }
  if (shadow_ && !shadow_->Ended()) {
    words = shadow_->Hold(sent, now, state);
  } else {
    if (IsSet(state.Running) && (!lastState_ || !IsSet(lastState_->Running))) departure_.clear();
    words = polled_.Hold(now, state);
  }
  if (words) {
    departure_ = *words;
    sample.departed = true;
  }
}

StateMonitor::Outcome StateMonitor::Stop(std::int32_t device) {
  if (library_.CallInProgress()) return Outcome::kNotNow;
  const ResultCode result = library_.Stop(device);
  if (result != 0) {
    status_ = FailureText("Stop", result);
    return Outcome::kFailed;
  }
  status_ = "Stop sent";
  if (shadow_) shadow_->StopSent(std::chrono::steady_clock::now());
  return Outcome::kDone;
}

void StateMonitor::Resume() {
  paused_ = false;
  status_.clear();
}

std::string StateMonitor::FailureText(const char* entry, ResultCode result) {
  // The status is one line, whatever line ends the library's text holds,
  // and no control character in it is drawn.
  std::string text = LastErrorText(library_);
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  text = DrawableUtf8(text, false);
  return std::string(entry) + " failed with code " + std::to_string(result) + ": " + text;
}

}  // namespace kavr

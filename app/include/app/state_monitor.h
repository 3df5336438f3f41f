// What the monitor window does, without the window: poll the selected
// controller's state, send Stop at once, pause polling when a poll fails,
// and keep what the window shows. Every call goes through the program's one
// library, so the log and the transcript see them like any other call.
//
// Shells: kavrtest (the monitor).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/call_log.h"
#include "app/move_shadow.h"
#include "app/position_history.h"
#include "app/recording_library.h"
#include "app/state_summary.h"

namespace kavr {

class StateMonitor {
 public:
  // Numbers are shown with `decimalSeparator`, as the reports show them.
  StateMonitor(RecordingControllerLibrary& library, CallLog& log, std::string decimalSeparator);

  enum class Outcome {
    kDone,
    kFailed,
    kNotNow,  // another call is running (or polling is paused): nothing was sent
  };

  // GetState of `device`, logged as a poll. A failure keeps the last state,
  // shows the library's error text as the status and pauses polling; like
  // any failing call it leaves that text as the library's last error.
  Outcome Poll(std::int32_t device, std::chrono::steady_clock::time_point now);

  // Stop to `device`, whether polling is paused or not.
  Outcome Stop(std::int32_t device);

  // Polling paused, by the user or by a failed poll.
  bool Paused() const { return paused_; }
  void Pause() { paused_ = true; }
  void Resume();

  // The latest state polled, if any.
  const std::optional<StateSummary>& State() const { return state_; }
  // UTF-8, one line: a failed poll, or the latest stop and how it went;
  // cleared on resuming. May hold library text.
  const std::string& Status() const { return status_; }
  const PositionHistory& History() const { return history_; }

  // Moves are held against their prediction within this tolerance (the
  // default: 2% of the move plus 10 steps). A move started through the
  // library while the monitor runs is predicted whole; one seen only in
  // polls, as far as its state tells.
  void SetTolerance(const ShadowTolerance& tolerance) { tolerance_ = tolerance; }
  // The latest move's departure from its prediction, in words; empty while
  // it holds to it. UTF-8, one line.
  const std::string& Departure() const { return departure_; }

 private:
  // "GetState failed with code 3: <the library's text>"
  std::string FailureText(const char* entry, ResultCode result);

  RecordingControllerLibrary& library_;
  CallLog& log_;
  const std::string decimalSeparator_;
  // A start seen through the library, waiting for the next poll.
  struct StartSeen {
    std::int32_t device = 0;
    std::int32_t destination = 0;
    float speed = 0.0f;
    KAVR_StartParameters start;
    std::chrono::steady_clock::time_point at;
    std::chrono::steady_clock::duration call{};
  };
  void Shadow(std::int32_t device, std::chrono::steady_clock::time_point sent,
              std::chrono::steady_clock::time_point now, const KAVR_State& state, PositionSample& sample);

  bool paused_ = false;
  // Shared with the library's observer, which may outlive the monitor.
  std::shared_ptr<std::optional<StartSeen>> started_ = std::make_shared<std::optional<StartSeen>>();
  ShadowTolerance tolerance_;
  std::optional<MoveShadow> shadow_;
  PolledMove polled_;
  std::optional<KAVR_State> lastState_;
  std::string departure_;
  std::optional<StateSummary> state_;
  std::string status_;
  PositionHistory history_;
};

}  // namespace kavr

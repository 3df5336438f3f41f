#include "app/state_monitor.h"

#include "text/text.h"
#include "reports/reports.h"

namespace kavr {

StateMonitor::Outcome StateMonitor::Poll(std::int32_t device, std::chrono::steady_clock::time_point now) {
  if (paused_ || library_.CallInProgress()) return Outcome::kNotNow;
  const CallLog::PollScope poll(log_);
  KAVR_State state{};
  const ResultCode result = library_.GetState(device, state);
  if (result != 0) {
    paused_ = true;
    status_ = FailureText("GetState", result) + " - polling paused";
    return Outcome::kFailed;
  }
  state_ = SummarizeState(state, decimalSeparator_);
  history_.Add({now, state.CurrentPosition, IsSet(state.PowerOn)});
  return Outcome::kDone;
}

StateMonitor::Outcome StateMonitor::Stop(std::int32_t device) {
  if (library_.CallInProgress()) return Outcome::kNotNow;
  const ResultCode result = library_.Stop(device);
  if (result != 0) {
    status_ = FailureText("Stop", result);
    return Outcome::kFailed;
  }
  status_ = "Stop sent";
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

#include "app/motion_wait.h"

#include <algorithm>
#include <thread>

namespace kavr {

Pacing SystemPacing() {
  return {[] { return std::chrono::steady_clock::now(); },
          [](std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); }};
}

MotionWait WaitUntilStopped(
    ControllerLibrary& library, std::int32_t device, std::optional<std::chrono::milliseconds> limit,
    std::chrono::milliseconds interval, const Pacing& pacing, const std::function<bool()>& interrupted,
    const std::function<void(std::chrono::steady_clock::time_point, const KAVR_State&)>& seen) {
  const auto begun = pacing.now();
  for (;;) {
    MotionWait wait;
    const auto sent = pacing.now();
    wait.result = library.GetState(device, wait.state);
    if (wait.result != 0) {
      wait.end = MotionWaitEnd::kReadFailed;
      return wait;
    }
    if (seen) seen(sent, wait.state);
    if (!IsSet(wait.state.Running)) return wait;
    if (interrupted && interrupted()) {
      wait.end = MotionWaitEnd::kInterrupted;
      return wait;
    }
    auto pause = interval;
    if (limit) {
      const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(pacing.now() - begun);
      if (waited >= *limit) {
        wait.end = MotionWaitEnd::kTimedOut;
        return wait;
      }
      pause = std::min(pause, *limit - waited);
    }
    pacing.sleep(pause);
  }
}

}  // namespace kavr

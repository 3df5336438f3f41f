// Waiting for a move to end by polling the controller's state: what
// `kavrctl start --wait` does and a monitor may do. The clock and the sleep
// are handed in, so that a test runs a long wait in no time.
//
// Shells: kavrctl (start --wait).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "device/controller_library.h"

namespace kavr {

// Time as the waiting loops see it.
struct Pacing {
  std::function<std::chrono::steady_clock::time_point()> now;
  std::function<void(std::chrono::milliseconds)> sleep;
};

// The steady clock and a real sleep.
Pacing SystemPacing();

enum class MotionWaitEnd {
  kStopped,      // the state said the motor is not running
  kTimedOut,     // still running when the limit had passed
  kReadFailed,   // GetState failed; `result` holds its code
  kInterrupted,  // `interrupted` said so before the motor stopped
};

struct MotionWait {
  MotionWaitEnd end = MotionWaitEnd::kStopped;
  ResultCode result = 0;
  KAVR_State state;  // the last state read
};

// Reads the state every `interval` until the motor stops, a read fails, or
// `limit` (none: no limit) has passed since the call. The state is read at
// once, and once more at the limit, so a move that ends right then counts.
// `interrupted`, when given, is asked after each read and ends the wait;
// `seen`, when given, gets each state read with the moment the read went out.
MotionWait WaitUntilStopped(
    ControllerLibrary& library, std::int32_t device, std::optional<std::chrono::milliseconds> limit,
    std::chrono::milliseconds interval, const Pacing& pacing, const std::function<bool()>& interrupted = {},
    const std::function<void(std::chrono::steady_clock::time_point, const KAVR_State&)>& seen = {});

}  // namespace kavr

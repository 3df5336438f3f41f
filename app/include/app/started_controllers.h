// The controllers a command has started, so that whatever ends it (a
// failure, a signal, an output that can no longer be written, the end of
// its input) sends each of them Stop once. Used by `kavrctl run` and
// `start --wait`; any command that holds controllers may keep one.
#pragma once

#include <cstdint>
#include <vector>

#include "device/controller_library.h"

namespace kavr {

struct StopSent {
  std::int32_t device = 0;  // 0-based
  ResultCode result = 0;    // Stop's answer
};

class StartedControllers {
 public:
  // After a Start was sent to `device` (whatever it answered: a move may
  // have begun all the same). Each device is kept once.
  void Add(std::int32_t device);
  // After the command itself stopped it, or it failed and was stopped.
  void Remove(std::int32_t device);
  bool Holds(std::int32_t device) const;
  bool Empty() const { return devices_.empty(); }

  // Stop sent to every device held, in the order started, each once; the
  // list is empty afterwards. Never throws and prints nothing: the caller
  // reports the answers where it still can.
  std::vector<StopSent> StopAll(ControllerLibrary& library);

 private:
  std::vector<std::int32_t> devices_;
};

}  // namespace kavr

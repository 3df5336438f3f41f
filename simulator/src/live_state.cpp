#include "simulator/live_state.h"

#include <algorithm>

#include "simulator/atomic_file.h"
#include "simulator/controller_defaults.h"
#include "simulator/flash_store.h"
#include "simulator/quoted_text.h"

namespace kavr::sim {

ControllerState::ControllerState(Clock::TimePoint now)
    : mode(FactoryMode()), parameters(FactoryParameters()), start(FactoryStartParameters()), motion(now) {
  wear.advancedTo = now;
}

LiveState PowerCycle(const SimulatorConfig& config, Clock::TimePoint now, const WarningSink& warn) {
  LiveState state;
  state.poweredOn = now;
  // Switching on reads the flash folder: saves killed before their rename
  // are cleared now, not only at the next save.
  if (!config.flashDir.empty()) RemoveAbandonedWrites(config.flashDir);
  const int count = std::clamp(config.deviceCount.value_or(kDefaultDeviceCount), 0, kMaxDeviceCount);
  state.controllers.reserve(static_cast<std::size_t>(count));
  for (int index = 0; index < count; ++index) {
    ControllerState& controller = state.controllers.emplace_back(now);
    if (config.flashDir.empty()) continue;
    const std::string serial = SerialNumber(index);
    std::optional<KAVR_Parameters> saved;
    if (auto problem = ReadFlash(config.flashDir, serial, saved)) {
      if (warn) {
        warn("the flash file " + QuotedPath(FlashFilePath(config.flashDir, serial)) + " is unusable (" +
             *problem + "); controller " + serial + " starts with factory parameters");
      }
    } else if (saved) {
      controller.parameters = *saved;
    }
  }
  return state;
}

}  // namespace kavr::sim

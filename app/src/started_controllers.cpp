#include "app/started_controllers.h"

#include <algorithm>

namespace kavr {

void StartedControllers::Add(std::int32_t device) {
  if (!Holds(device)) devices_.push_back(device);
}

void StartedControllers::Remove(std::int32_t device) { std::erase(devices_, device); }

bool StartedControllers::Holds(std::int32_t device) const {
  return std::ranges::find(devices_, device) != devices_.end();
}

std::vector<StopSent> StartedControllers::StopAll(ControllerLibrary& library) {
  std::vector<StopSent> sent;
  for (const std::int32_t device : devices_) sent.push_back({device, library.Stop(device)});
  devices_.clear();
  return sent;
}

}  // namespace kavr

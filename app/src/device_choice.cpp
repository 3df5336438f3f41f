#include "app/device_choice.h"

#include <algorithm>

#include "app/device_list.h"

namespace kavr {
namespace {

std::string Attached(std::int32_t count) {
  return count == 1 ? "1 controller is attached" : std::to_string(count) + " controllers are attached";
}

DeviceChoice NotChosen(DeviceChoiceEnd end, std::string problem) { return {end, 0, std::move(problem)}; }

}  // namespace

DeviceChoice ChooseDevice(std::int32_t count, std::u32string_view serials, std::optional<std::int64_t> number,
                          const std::optional<std::string>& serial) {
  if (number) {
    if (*number >= 1 && *number <= count)
      return {DeviceChoiceEnd::kChosen, static_cast<std::int32_t>(*number - 1), {}};
    return NotChosen(DeviceChoiceEnd::kNotFound,
                     "there is no controller " + std::to_string(*number) + ": " + Attached(count));
  }
  if (serial) {
    std::optional<std::int32_t> found;
    // Only the listed controllers have a serial to match.
    for (std::int32_t device = 0; device < std::min(count, kMaxListedDevices); ++device) {
      if (ForScreen(SerialOf(serials, device)) != *serial) continue;
      if (found) {
        return NotChosen(DeviceChoiceEnd::kNotChosen,
                         "several controllers have the serial number " + *serial);
      }
      found = device;
    }
    if (found) return {DeviceChoiceEnd::kChosen, *found, {}};
    return NotChosen(DeviceChoiceEnd::kNotFound, "no controller has the serial number " + *serial);
  }
  if (count == 1) return {DeviceChoiceEnd::kChosen, 0, {}};
  return NotChosen(DeviceChoiceEnd::kNotChosen, Attached(count));
}

}  // namespace kavr

// Choosing one controller of those Init listed, by its number in the list
// or by its serial number, without a dialog: the command line's way, and a
// monitor's when it is told which controller to watch.
//
// Shells: kavrctl.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavr {

enum class DeviceChoiceEnd {
  kChosen,
  kNotFound,   // no controller has that number or serial
  kNotChosen,  // several are attached and none was named, or the serial is not unique
};

struct DeviceChoice {
  DeviceChoiceEnd end = DeviceChoiceEnd::kChosen;
  std::int32_t index = 0;  // 0-based, when chosen
  std::string problem;     // why not, when not chosen
};

// `number` is 1-based, as the list shows it; `serial` is compared with the
// serial as the list shows it (code-0 characters dropped). With neither,
// the only controller is chosen when exactly one is attached.
DeviceChoice ChooseDevice(std::int32_t count, std::u32string_view serials, std::optional<std::int64_t> number,
                          const std::optional<std::string>& serial);

}  // namespace kavr

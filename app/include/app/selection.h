// The controller chosen at start-up, as one value: made by the device choice
// (the dialog or kavrctl's -d/-s) and handed to whoever talks to that
// controller. Shells: kavrtest (the test window and the monitor), kavrctl.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kavr {

// The fields keep the names the selection values have always had.
// NOLINTBEGIN(readability-identifier-naming)
struct Selection {
  std::int32_t DeviceCount = 0;  // how many Init listed
  std::int32_t DeviceIndex = 0;  // 0-based
  // UTF-8, as the screen shows them; the chosen controller's 16-character
  // serial and 4-character version.
  std::string DeviceSerial;
  std::string DeviceVersion;

  bool operator==(const Selection&) const = default;
};
// NOLINTEND(readability-identifier-naming)

// Controller `index` of the `count` that Init listed in `serials` and
// `versions`.
Selection SelectionOf(std::int32_t count, std::int32_t index, std::u32string_view serials,
                      std::u32string_view versions);

}  // namespace kavr

#include "app/device_selection.h"

#include "app/device_list.h"
#include "app/module1.h"

namespace kavr {

std::optional<StartupFailure> StartupFailureFor(ResultCode result, std::int32_t count,
                                                const std::string& libraryLoadFailure) {
  if (!libraryLoadFailure.empty()) {
    const std::string heading = "Cannot load the controller library";
    // The binding may already say so in its own words; the box says it once.
    if (libraryLoadFailure.starts_with(heading)) return StartupFailure{libraryLoadFailure, "ERROR"};
    return StartupFailure{heading + ":\r" + libraryLoadFailure, "ERROR"};
  }
  if (result != 0 || count <= 0) {
    return StartupFailure{"No Devices Found\rOr DLL is locked - try restart Visual Basic", "ERROR"};
  }
  return std::nullopt;
}

void StoreSelection(std::int32_t index, std::u32string_view serials, std::u32string_view versions) {
  Module1::DeviceIndex = index;
  // Code-0 characters are dropped here too: the test window's label draws
  // these values as they stand.
  Module1::DeviceSerial = ForScreen(SerialOf(serials, index));
  Module1::DeviceVersion = ForScreen(VersionOf(versions, index));
}

}  // namespace kavr

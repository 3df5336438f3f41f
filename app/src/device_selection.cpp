#include "app/device_selection.h"

#include "app/device_list.h"
#include "app/selection.h"
#include "device/dynamic_controller_library.h"
#include "reports/reports.h"

namespace kavr {

std::optional<StartupFailure> StartupFailureFor(ResultCode result, std::int32_t count,
                                                ControllerLibrary& library) {
  const std::string loadFailure = library.LibraryLoadFailure();
  if (!loadFailure.empty()) {
    const std::string heading = "Cannot load the controller library";
    // The binding may already say so in its own words; the box says it once.
    if (loadFailure.starts_with(heading)) return StartupFailure{loadFailure, "ERROR"};
    return StartupFailure{heading + ":\r" + loadFailure, "ERROR"};
  }
  // The file loaded but Init never reached a library: the file lacks the
  // entry, and the binding's own last error names the file and the entry.
  if (result == kLibraryUnavailable) {
    return StartupFailure{"This file is not a controller library:\r" + LastErrorText(library), "ERROR"};
  }
  if (result != 0 || count <= 0) {
    return StartupFailure{"No Devices Found\rOr DLL is locked - try restart Visual Basic", "ERROR"};
  }
  return std::nullopt;
}

Selection SelectionOf(std::int32_t count, std::int32_t index, std::u32string_view serials,
                      std::u32string_view versions) {
  // Code-0 characters are dropped here too: the test window's label draws
  // these values as they stand.
  return Selection{count, index, ForScreen(SerialOf(serials, index)), ForScreen(VersionOf(versions, index))};
}

}  // namespace kavr

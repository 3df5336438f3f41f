// What start-up decides from the library's answer to Init. No widgets: the dialog only wires these
// to its controls.
//
// Shells: kavrtest (the dialog), kavrctl.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "device/controller_library.h"

namespace kavr {

// The box shown instead of the dialog when there is nothing to choose from.
struct StartupFailure {
  std::string prompt;
  std::string title;
};

// Empty when the controllers are to be listed, given Init's result and
// count. A library file that would not load, or that loads but is no
// controller library, gets its own box naming the file and the reason: the
// user must learn that the file is wrong, not that no controller is
// attached. A count below 1 (negative included) lists nothing and so cannot
// be chosen from.
std::optional<StartupFailure> StartupFailureFor(ResultCode result, std::int32_t count,
                                                ControllerLibrary& library);

}  // namespace kavr

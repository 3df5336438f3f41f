// The state on one line, for watching a controller poll after poll:
// "position=250 running=CCW full-speed=yes power=Full voltage=12.0
// temperature=31.25°C". The values are the state report's rows; a stopped
// motor shows "running=no". Shells: kavrctl (watch).
#pragma once

#include <string>
#include <string_view>

#include "contract/records.h"

namespace kavr {

std::string StateLine(const KAVR_State& state, std::string_view decimalSeparator);

}  // namespace kavr

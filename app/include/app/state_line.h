// The state on one line, for watching a controller poll after poll:
// "position=250 running=CCW full-speed=yes power=Full voltage=12.0
// temperature=31.25°C". The words and number patterns are the state
// report's; a stopped motor shows "running=no".
#pragma once

#include <string>
#include <string_view>

#include "kavr/records.h"

namespace kavr {

std::string StateLine(const KAVR_State& state, std::string_view decimalSeparator);

}  // namespace kavr

// What every entry of the controller library returns.
#pragma once

#include <cstdint>

namespace kavr {

// 0 is success, anything else failure.
using ResultCode = std::int32_t;

}  // namespace kavr

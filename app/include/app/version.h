// The programs' version, as --version prints it.
//
// Shells: kavrtest, kavrctl.
#pragma once

namespace kavr {

inline constexpr const char* kVersion = "1.0.0";

}  // namespace kavr

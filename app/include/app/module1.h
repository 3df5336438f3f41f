// The selection values: written once by the device-selection dialog and read
// by the test window for the rest of the run.
#pragma once

#include <cstdint>
#include <string>

namespace Module1 {

inline std::int32_t DeviceCount = 0;
inline std::int32_t DeviceIndex = 0;
// UTF-8; the chosen controller's 16-character serial and 4-character version.
inline std::string DeviceSerial;
inline std::string DeviceVersion;

}  // namespace Module1

// The stand-in library's configuration. It belongs to the library, not to
// the program, and comes from the environment each time _KAVRVB_Init runs:
//   KAVR_SIM_DEVICES    how many controllers, 0 to 200 (default 2)
//   KAVR_SIM_FLASH_DIR  the folder holding one flash file per serial number
//   KAVR_SIM_FAIL       entries that fail on demand, e.g. "GetMode,Start=7"
// A value that does not parse is reported through the warning sink and the
// default is used instead.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "kavr/entry_names.h"

namespace kavr::sim {

using kavr::Entry;
using kavr::EntryName;

inline constexpr int kDefaultDeviceCount = 2;
inline constexpr int kMaxDeviceCount = 200;

// Entries that fail on demand, with the code each one returns.
using FaultPlan = std::map<Entry, std::int32_t>;

struct SimulatorConfig {
  int device_count = kDefaultDeviceCount;
  // Empty when no folder could be worked out (no HOME): saving then fails.
  std::filesystem::path flash_dir;
  FaultPlan faults;
};

// Receives one complete line of warning, without its line end.
using WarningSink = std::function<void(const std::string&)>;
// Looks a variable up; nothing when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

int ParseDeviceCount(std::string_view text, const WarningSink& warn);
FaultPlan ParseFaults(std::string_view text, const WarningSink& warn);
std::filesystem::path DefaultFlashDir(const EnvironmentLookup& environment);
SimulatorConfig ReadConfig(const EnvironmentLookup& environment, const WarningSink& warn);

EnvironmentLookup ProcessEnvironment();
// Writes each warning to standard error, naming the library.
void WarnOnStandardError(const std::string& warning);

}  // namespace kavr::sim

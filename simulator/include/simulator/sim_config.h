// The stand-in library's configuration. It belongs to the library, not to
// the program, and comes from the environment each time _KAVRVB_Init runs:
//   KAVR_SIM_DEVICES    how many controllers, 0 to kMaxDeviceCount; a
//                       different count than the one attached power-cycles
//                       them; unset, the ones attached stay (a fresh start
//                       brings kDefaultDeviceCount)
//   KAVR_SIM_FLASH_DIR  the folder holding one flash file per serial number
//   KAVR_SIM_STATE_DIR  the folder holding the running controllers' state,
//                       shared by every process that uses it
//   KAVR_SIM_RESET      1: power-cycle the controllers at this Init
//   KAVR_SIM_FAIL       entries that fail on demand, e.g. "GetMode,Start=7"
//   KAVR_SIM_FAIL_DEVICE  the faults strike this controller only (1-based,
//                       as listed); Init's faults strike every program
//   KAVR_SIM_KEEP       fields that keep a value of their own whatever is
//                       written, e.g. "SyncOutCount=24"
//   KAVR_SIM_RIG        a JSON file describing the rig around the
//                       controllers (simulator/rig.h); a file that cannot
//                       be used is refused whole, with a warning
//   KAVR_SIM_HOLD_LOCK_MS  a test hook: every call holds the state's lock
//                       this much longer, before writing the state back, so
//                       that a test can kill a process inside a call
// A value that cannot be used is reported through the warning sink, quoted,
// and the default is used instead.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "contract/entry_names.h"
#include "contract/slots.h"
#include "simulator/controller_defaults.h"
#include "simulator/kept_fields.h"
#include "simulator/rig.h"

namespace kavr::sim {

using kavr::Entry;
using kavr::EntryName;

inline constexpr int kDefaultDeviceCount = 2;
// As many whole serial numbers as the program's Init buffer holds.
inline constexpr int kMaxDeviceCount = static_cast<int>(kavr::kLibraryTextLength) / kSerialSlot;
inline constexpr int kLongestHoldMs = 60'000;

// Entries that fail on demand, with the code each one returns.
using FaultPlan = std::map<Entry, std::int32_t>;

struct SimulatorConfig {
  // Nothing when the environment does not ask for a count.
  std::optional<int> deviceCount;
  // Empty when no folder could be worked out (no HOME): saving then fails.
  std::filesystem::path flashDir;
  std::filesystem::path stateDir;
  FaultPlan faults;
  // 0-based; nothing: the faults strike every controller.
  std::optional<int> faultDevice;
  KeptFields kept;
  std::optional<Rig> rig;
  bool powerCycle = false;
  int holdLockMs = 0;

  bool operator==(const SimulatorConfig&) const = default;
};

// Receives one complete line of warning, without its line end.
using WarningSink = std::function<void(const std::string&)>;
// Looks a variable up; nothing when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

std::optional<int> ParseDeviceCount(std::string_view text, const WarningSink& warn);
FaultPlan ParseFaults(std::string_view text, const WarningSink& warn);
std::filesystem::path DefaultFlashDir(const EnvironmentLookup& environment);
std::filesystem::path DefaultStateDir(const EnvironmentLookup& environment);
SimulatorConfig ReadConfig(const EnvironmentLookup& environment, const WarningSink& warn);

// Values in UTF-8 (converted from the system's own on Windows).
EnvironmentLookup ProcessEnvironment();
// Writes each warning to standard error as one line, naming the library.
void WarnOnStandardError(const std::string& warning);

}  // namespace kavr::sim

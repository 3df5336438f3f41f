#include "simulator/sim_config.h"

#include <cstdio>
#include <limits>
#include <utility>

#include "contract/own_result_codes.h"
#include "simulator/machine.h"
#include "simulator/number_text.h"
#include "simulator/quoted_text.h"

namespace kavr::sim {
namespace {

constexpr std::string_view kEntryPrefix = "_KAVRVB_";
constexpr std::string_view kFolderName = "kavrtest-simulator";

// "GetMode" or, for the careful, the full "_KAVRVB_GetMode".
std::optional<Entry> EntryNamed(std::string_view name) {
  if (name.starts_with(kEntryPrefix)) name.remove_prefix(kEntryPrefix.size());
  for (std::size_t i = 0; i < kEntryCount; ++i) {
    if (std::string_view(kEntryNames[i]).substr(kEntryPrefix.size()) == name) return static_cast<Entry>(i);
  }
  return std::nullopt;
}

// Environment values are UTF-8 on every system.
std::filesystem::path PathFrom(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// Only absolute folders count: a relative one would move with the current
// directory of whatever program loads the library.
std::optional<std::filesystem::path> AbsoluteFolder(const EnvironmentLookup& environment, const char* name) {
  const auto value = environment(name);
  if (!value || value->empty()) return std::nullopt;
  std::filesystem::path folder = PathFrom(*value);
  if (!folder.is_absolute()) return std::nullopt;
  return folder;
}

// A folder named by a variable, relative ones pinned to the current
// directory; the default when the variable is unset or unusable.
std::filesystem::path FolderSetting(const EnvironmentLookup& environment, const char* name,
                                    std::filesystem::path (*fallback)(const EnvironmentLookup&),
                                    const WarningSink& warn) {
  const auto value = environment(name);
  if (!value || value->empty()) return fallback(environment);
  std::error_code error;
  std::filesystem::path folder = std::filesystem::absolute(PathFrom(*value), error);
  if (!error) return folder;
  warn(std::string(name) + "=" + Quoted(*value) + " cannot be used (" + error.message() +
       "); using the default folder");
  return fallback(environment);
}

int ParseHoldMs(std::string_view text, const WarningSink& warn) {
  if (const auto milliseconds = ParseInteger(text, 0, kLongestHoldMs)) return static_cast<int>(*milliseconds);
  warn("KAVR_SIM_HOLD_LOCK_MS=" + Quoted(text) + " is not a whole number from 0 to " +
       IntText(kLongestHoldMs) + "; not holding");
  return 0;
}

bool ParseReset(std::string_view text, const WarningSink& warn) {
  if (const auto flag = ParseInteger(text, 0, 1)) return *flag == 1;
  warn("KAVR_SIM_RESET=" + Quoted(text) + " is neither 1 nor 0; not power-cycling");
  return false;
}

}  // namespace

std::optional<int> ParseDeviceCount(std::string_view text, const WarningSink& warn) {
  if (const auto count = ParseInteger(text, 0, kMaxDeviceCount)) return static_cast<int>(*count);
  warn("KAVR_SIM_DEVICES=" + Quoted(text) + " is not a whole number from 0 to " + IntText(kMaxDeviceCount) +
       " (no more serial numbers fit the list Init fills); ignored");
  return std::nullopt;
}

FaultPlan ParseFaults(std::string_view text, const WarningSink& warn) {
  FaultPlan faults;
  for (const auto& [item, name, codeValue] : ListItems(text)) {
    const auto entry = EntryNamed(name);
    if (!entry) {
      warn("KAVR_SIM_FAIL: " + Quoted(name) + " is not an entry name (such as GetMode or Start); ignored");
      continue;
    }
    if (*entry == Entry::GetLastErr) {
      warn("KAVR_SIM_FAIL: GetLastErr returns no result code, so it cannot fail; ignored");
      continue;
    }
    std::int32_t code = kDefaultInjectedFault;
    if (codeValue) {
      const std::string_view codeText = *codeValue;
      const auto parsed = ParseInteger(codeText, std::numeric_limits<std::int32_t>::min(),
                                       std::numeric_limits<std::int32_t>::max());
      if (parsed && *parsed != 0) {
        code = static_cast<std::int32_t>(*parsed);
      } else {
        warn("KAVR_SIM_FAIL: the code " + Quoted(codeText) + " for " + std::string(name) +
             " is not a nonzero 32-bit whole number; using " + IntText(kDefaultInjectedFault));
      }
    }
    faults[*entry] = code;
  }
  return faults;
}

std::filesystem::path DefaultFlashDir(const EnvironmentLookup& environment) {
#if defined(_WIN32)
  if (auto folder = AbsoluteFolder(environment, "LOCALAPPDATA")) return *folder / kFolderName;
#endif
  if (auto folder = AbsoluteFolder(environment, "XDG_DATA_HOME")) return *folder / kFolderName;
  if (auto home = AbsoluteFolder(environment, "HOME")) return *home / ".local" / "share" / kFolderName;
  return {};
}

// A folder that the next start of the machine empties, since a restart
// switches the controllers off. (Windows has none; there a restart is told
// by the clock, which starts again from zero.)
std::filesystem::path DefaultStateDir(const EnvironmentLookup& environment) {
#if defined(_WIN32)
  if (auto folder = AbsoluteFolder(environment, "LOCALAPPDATA")) return *folder / kFolderName / "state";
  if (auto folder = AbsoluteFolder(environment, "TEMP")) return *folder / kFolderName;
  return {};
#else
  if (auto folder = AbsoluteFolder(environment, "XDG_RUNTIME_DIR")) return *folder / kFolderName;
  // The temporary folder is everybody's: the user's id keeps users apart.
  const auto temporary = AbsoluteFolder(environment, "TMPDIR").value_or("/tmp");
  return temporary / (std::string(kFolderName) + "-" + IntText(CurrentUserId()));
#endif
}

SimulatorConfig ReadConfig(const EnvironmentLookup& environment, const WarningSink& warn) {
  SimulatorConfig config;
  if (const auto devices = environment("KAVR_SIM_DEVICES"); devices && !Trimmed(*devices).empty()) {
    config.deviceCount = ParseDeviceCount(*devices, warn);
  }
  config.flashDir = FolderSetting(environment, "KAVR_SIM_FLASH_DIR", DefaultFlashDir, warn);
  config.stateDir = FolderSetting(environment, "KAVR_SIM_STATE_DIR", DefaultStateDir, warn);
  if (const auto reset = environment("KAVR_SIM_RESET"); reset && !Trimmed(*reset).empty()) {
    config.powerCycle = ParseReset(*reset, warn);
  }
  if (const auto faults = environment("KAVR_SIM_FAIL")) config.faults = ParseFaults(*faults, warn);
  if (const auto device = environment("KAVR_SIM_FAIL_DEVICE"); device && !Trimmed(*device).empty()) {
    if (const auto number = ParseInteger(*device, 1, kMaxDeviceCount)) {
      config.faultDevice = static_cast<int>(*number - 1);
    } else {
      warn("KAVR_SIM_FAIL_DEVICE=" + Quoted(*device) + " is not a controller number from 1 to " +
           IntText(kMaxDeviceCount) + "; the faults strike every controller");
    }
  }
  if (const auto kept = environment("KAVR_SIM_KEEP")) config.kept = ParseKeptFields(*kept, warn);
  if (const auto rig = environment("KAVR_SIM_RIG"); rig && !Trimmed(*rig).empty()) {
    std::string problem;
    config.rig = ReadRigFile(PathFrom(*rig), problem);
    if (!config.rig) warn(problem);
  }
  if (const auto hold = environment("KAVR_SIM_HOLD_LOCK_MS"); hold && !Trimmed(*hold).empty()) {
    config.holdLockMs = ParseHoldMs(*hold, warn);
  }
  return config;
}

void WarnOnStandardError(const std::string& warning) {
  std::string line = "KAVRVBDLL: warning: ";
  line += OneLine(warning);
  line += '\n';
  std::fputs(line.c_str(), stderr);
}

}  // namespace kavr::sim

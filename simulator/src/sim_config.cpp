#include "simulator/sim_config.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>

#include "simulator/number_text.h"
#include "simulator/result_codes.h"

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

// Only absolute folders count: a relative one would move with the current
// directory of whatever program loads the library.
std::optional<std::filesystem::path> AbsoluteFolder(const EnvironmentLookup& environment, const char* name) {
  const auto value = environment(name);
  if (!value || value->empty()) return std::nullopt;
  std::filesystem::path folder(*value);
  if (!folder.is_absolute()) return std::nullopt;
  return folder;
}

}  // namespace

int ParseDeviceCount(std::string_view text, const WarningSink& warn) {
  const auto count = ParseInteger(text, 0, kMaxDeviceCount);
  if (count) return static_cast<int>(*count);
  warn("KAVR_SIM_DEVICES=\"" + std::string(text) + "\" is not a whole number from 0 to " +
       IntText(kMaxDeviceCount) + "; simulating " + IntText(kDefaultDeviceCount) + " controllers");
  return kDefaultDeviceCount;
}

FaultPlan ParseFaults(std::string_view text, const WarningSink& warn) {
  FaultPlan faults;
  while (!text.empty()) {
    const auto comma = text.find(',');
    const std::string_view item = Trimmed(text.substr(0, comma));
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    if (item.empty()) continue;

    const auto equals = item.find('=');
    const std::string_view name = Trimmed(item.substr(0, equals));
    const auto entry = EntryNamed(name);
    if (!entry) {
      warn("KAVR_SIM_FAIL: \"" + std::string(name) +
           "\" is not an entry name (such as GetMode or Start); ignored");
      continue;
    }
    if (*entry == Entry::GetLastErr) {
      warn("KAVR_SIM_FAIL: GetLastErr returns no result code, so it cannot fail; ignored");
      continue;
    }
    std::int32_t code = kDefaultInjectedFault;
    if (equals != std::string_view::npos) {
      const std::string_view code_text = item.substr(equals + 1);
      const auto parsed = ParseInteger(code_text, std::numeric_limits<std::int32_t>::min(),
                                       std::numeric_limits<std::int32_t>::max());
      if (parsed && *parsed != 0) {
        code = static_cast<std::int32_t>(*parsed);
      } else {
        warn("KAVR_SIM_FAIL: the code \"" + std::string(code_text) + "\" for " + std::string(name) +
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

SimulatorConfig ReadConfig(const EnvironmentLookup& environment, const WarningSink& warn) {
  SimulatorConfig config;
  if (const auto devices = environment("KAVR_SIM_DEVICES"); devices && !Trimmed(*devices).empty()) {
    config.device_count = ParseDeviceCount(*devices, warn);
  }
  if (const auto folder = environment("KAVR_SIM_FLASH_DIR"); folder && !folder->empty()) {
    std::error_code error;
    config.flash_dir = std::filesystem::absolute(*folder, error);
    if (error) {
      warn("KAVR_SIM_FLASH_DIR=\"" + *folder + "\" cannot be used (" + error.message() +
           "); using the default folder");
      config.flash_dir = DefaultFlashDir(environment);
    }
  } else {
    config.flash_dir = DefaultFlashDir(environment);
  }
  if (const auto faults = environment("KAVR_SIM_FAIL")) config.faults = ParseFaults(*faults, warn);
  return config;
}

EnvironmentLookup ProcessEnvironment() {
  return [](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  };
}

void WarnOnStandardError(const std::string& warning) {
  const std::string line = "KAVRVBDLL: warning: " + warning + "\n";
  std::fputs(line.c_str(), stderr);
}

}  // namespace kavr::sim

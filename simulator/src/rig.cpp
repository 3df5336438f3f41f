#include "simulator/rig.h"

#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

#include "simulator/controller_defaults.h"
#include "simulator/number_text.h"
#include "simulator/quoted_text.h"

namespace kavr::sim {
namespace {

using Json = nlohmann::json;

constexpr double kLowestPosition = std::numeric_limits<std::int32_t>::min();
constexpr double kHighestPosition = std::numeric_limits<std::int32_t>::max();

// Thrown inside the parser only, with what is wrong.
struct Refusal {
  std::string problem;
};

double Number(const Json& value, const std::string& where, double lowest, double highest) {
  if (!value.is_number()) throw Refusal{where + " must be a number"};
  const double number = value.get<double>();
  if (!(number >= lowest && number <= highest)) {
    throw Refusal{where + " must be from " + FloatText(static_cast<float>(lowest)) + " to " +
                  FloatText(static_cast<float>(highest)) + " (got " + value.dump() + ")"};
  }
  return number;
}

RigRange Range(const Json& value, const std::string& where) {
  if (!value.is_object()) throw Refusal{where + " must be an object such as {\"from\": 1000, \"to\": 1200}"};
  RigRange range;
  for (const auto& [key, item] : value.items()) {
    if (key == "from") {
      range.from = Number(item, where + ".from", kLowestPosition, kHighestPosition);
    } else if (key == "to") {
      range.to = Number(item, where + ".to", kLowestPosition, kHighestPosition);
    } else {
      throw Refusal{where + " has an unknown key " + Quoted(key) + " (\"from\" and \"to\" are known)"};
    }
  }
  if (range.from && range.to && *range.from > *range.to) throw Refusal{where + ".from is beyond its \"to\""};
  return range;
}

ControllerRig ControllerFrom(const Json& value, const std::string& serial) {
  const std::string where = Quoted(serial);
  if (!value.is_object()) throw Refusal{where + " must be an object of rig keys"};
  ControllerRig rig;
  for (const auto& [key, item] : value.items()) {
    const std::string at = where + "." + key;
    if (key == "trailer1") {
      rig.trailer1 = Range(item, at);
    } else if (key == "trailer2") {
      rig.trailer2 = Range(item, at);
    } else if (key == "rotary_error_at") {
      rig.rotaryErrorAt = Number(item, at, kLowestPosition, kHighestPosition);
    } else if (key == "emergency_after_ms") {
      rig.emergencyAfterMs = Number(item, at, 0.0, 86'400'000.0);
    } else if (key == "supply") {
      rig.supply = Number(item, at, 0.0, 100.0);
    } else if (key == "supply_under_load") {
      rig.supplyUnderLoad = Number(item, at, 0.0, 100.0);
    } else if (key == "temperature") {
      rig.temperature = Number(item, at, -50.0, 150.0);
    } else if (key == "heating") {
      rig.heating = Number(item, at, 0.0, 100.0);
    } else if (key == "flash_lost") {
      if (!item.is_boolean()) throw Refusal{at + " must be true or false"};
      rig.flashLost = item.get<bool>();
    } else if (key == "slow_by") {
      rig.slowBy = Number(item, at, 0.0, 0.99);
    } else {
      throw Refusal{where + " has an unknown key " + Quoted(key)};
    }
  }
  return rig;
}

template <typename T>
void Over(std::optional<T>& base, const std::optional<T>& own) {
  if (own) base = own;
}

}  // namespace

ControllerRig Rig::For(const std::string& serial) const {
  ControllerRig rig;
  if (const auto every = controllers.find("*"); every != controllers.end()) rig = every->second;
  const auto found = controllers.find(serial);
  if (found == controllers.end()) return rig;
  const ControllerRig& own = found->second;
  Over(rig.trailer1, own.trailer1);
  Over(rig.trailer2, own.trailer2);
  Over(rig.rotaryErrorAt, own.rotaryErrorAt);
  Over(rig.emergencyAfterMs, own.emergencyAfterMs);
  Over(rig.supply, own.supply);
  Over(rig.supplyUnderLoad, own.supplyUnderLoad);
  Over(rig.temperature, own.temperature);
  Over(rig.heating, own.heating);
  Over(rig.flashLost, own.flashLost);
  Over(rig.slowBy, own.slowBy);
  return rig;
}

std::optional<std::string> Rig::Unattached(int attached) const {
  for (const auto& [serial, rig] : controllers) {
    if (serial == "*") continue;
    bool known = false;
    for (int index = 0; index < attached && !known; ++index) known = SerialNumber(index) == serial;
    if (!known) return serial;
  }
  return std::nullopt;
}

std::optional<Rig> ParseRig(std::string_view text, std::string& problem) {
  Json json;
  try {
    json = Json::parse(text);
  } catch (const Json::exception& error) {
    // "[json.exception.parse_error.101] parse error at line 1, ...": the
    // part after the bracket says it.
    std::string what = error.what();
    if (const auto end = what.find("] "); end != std::string::npos) what.erase(0, end + 2);
    problem = "it is not JSON: " + what;
    return std::nullopt;
  }
  if (!json.is_object()) {
    problem = "it must be a JSON object keyed by serial number (or \"*\")";
    return std::nullopt;
  }
  try {
    Rig rig;
    for (const auto& [serial, value] : json.items()) rig.controllers[serial] = ControllerFrom(value, serial);
    return rig;
  } catch (const Refusal& refusal) {
    problem = refusal.problem;
    return std::nullopt;
  }
}

std::optional<Rig> ReadRigFile(const std::filesystem::path& file, std::string& problem) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  if (!in || in.bad()) {
    problem = "KAVR_SIM_RIG: the rig file " + QuotedPath(file) + " cannot be read; running without a rig";
    return std::nullopt;
  }
  std::optional<Rig> rig = ParseRig(text.str(), problem);
  if (!rig) {
    problem = "KAVR_SIM_RIG: the rig file " + QuotedPath(file) + " is refused: " + problem +
              "; running without a rig";
    return std::nullopt;
  }
  rig->file = file;
  return rig;
}

}  // namespace kavr::sim

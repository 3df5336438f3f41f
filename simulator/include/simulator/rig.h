// The rig around the simulated controllers, as KAVR_SIM_RIG describes it in
// a JSON file: per serial number ("*": every controller), the switches, the
// rotary transducer, the emergency button, the supply, the heat, the flash
// and the axis' wear that a real rig brings.
//   "trailer1", "trailer2"   {"from": P1, "to": P2}, either may be left out:
//                            the switch is pressed while the position is in
//                            that range
//   "rotary_error_at"        a position: a move passing it sets RotaryError
//   "emergency_after_ms"     the button is pushed this long after the next
//                            start, until a power cycle
//   "supply", "supply_under_load"  volts at rest and while running
//   "temperature", "heating" degrees at rest; degrees per second while
//                            running, cooling back at rest
//   "flash_lost"             true: saves answer success and keep nothing
//   "slow_by"                the axis runs this fraction slower than asked
// A controller named by its serial number takes these over the ones of "*".
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kavr::sim {

// Positions from `from` to `to`, inclusive; an open end reaches as far as
// positions go.
struct RigRange {
  std::optional<double> from;
  std::optional<double> to;

  bool Contains(double position) const { return (!from || position >= *from) && (!to || position <= *to); }
  bool operator==(const RigRange&) const = default;
};

struct ControllerRig {
  std::optional<RigRange> trailer1;
  std::optional<RigRange> trailer2;
  std::optional<double> rotaryErrorAt;
  std::optional<double> emergencyAfterMs;
  std::optional<double> supply;
  std::optional<double> supplyUnderLoad;
  std::optional<double> temperature;
  std::optional<double> heating;
  std::optional<bool> flashLost;
  std::optional<double> slowBy;

  bool operator==(const ControllerRig&) const = default;
};

struct Rig {
  std::filesystem::path file;
  std::map<std::string, ControllerRig> controllers;  // by serial number, "*" included

  // What the controller with `serial` is wired to: its own keys over "*"'s.
  ControllerRig For(const std::string& serial) const;
  // The first serial number named that is not among the first `attached`
  // controllers; nothing when every one is.
  std::optional<std::string> Unattached(int attached) const;

  bool operator==(const Rig&) const = default;
};

// The rig of `text`, or nothing with the reason in `problem`.
std::optional<Rig> ParseRig(std::string_view text, std::string& problem);
// The rig in `file`, or nothing with `problem` naming the file and what is
// wrong with it.
std::optional<Rig> ReadRigFile(const std::filesystem::path& file, std::string& problem);

}  // namespace kavr::sim

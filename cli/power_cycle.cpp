#include "power_cycle.h"

#include <algorithm>
#include <istream>
#include <ostream>

#include "app/device_list.h"
#include "output.h"
#include "process_environment.h"

namespace kavr::cli {
namespace {

constexpr std::string_view kStandInSerialPrefix = "KAVRSIM";

}  // namespace

bool IsStandIn(const DeviceList& list) {
  if (list.count <= 0) return false;
  for (std::int32_t device = 0; device < std::min(list.count, kMaxListedDevices); ++device) {
    if (!ForScreen(SerialOf(list.serials, device)).starts_with(kStandInSerialPrefix)) return false;
  }
  return true;
}

std::optional<std::string> PowerCycleRefusal(const Plan& plan, bool standIn, bool canAsk) {
  if (standIn || canAsk) return std::nullopt;
  for (std::size_t index = 0; index < plan.steps.size(); ++index) {
    if (plan.steps[index].kind != PlanStepKind::kPowerCycle) continue;
    return "step " + std::to_string(index + 1) +
           " (power-cycle) needs the operator to switch the controllers off and on, and there is nobody to "
           "ask "
           "(--no-prompt, or standard input is not a terminal); nothing was sent";
  }
  return std::nullopt;
}

void PowerCycleStandIn(Session& session) {
  const DeviceList before = session.Devices();
  // The stand-in switches its controllers off and on at an Init that asks
  // for it; unasked, it would bring back its default number of them.
  const EnvironmentOverride reset("KAVR_SIM_RESET", "1");
  std::optional<EnvironmentOverride> count;
  if (!EnvironmentValue("KAVR_SIM_DEVICES")) count.emplace("KAVR_SIM_DEVICES", std::to_string(before.count));
  const DeviceList after = session.Devices();
  if (after.count != before.count) {
    throw Failure{kCallFailed,
                  std::to_string(after.count) + " controllers came back of " + std::to_string(before.count)};
  }
}

void AskForPowerCycle(Console& console) {
  console.out << "power-cycle: switch the controllers off and on again, then press Enter" << std::flush;
  std::string line;
  if (!std::getline(console.in, line)) {
    console.out << '\n';
    throw Failure{kCallFailed, "no answer: the input ended before Enter"};
  }
}

}  // namespace kavr::cli

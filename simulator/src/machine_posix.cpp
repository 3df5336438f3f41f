#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>

#include "simulator/clock.h"
#include "simulator/machine.h"
#include "simulator/sim_config.h"

namespace kavr::sim {

Clock::TimePoint MachineClock::Now() const {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return TimePoint(std::chrono::duration_cast<TimePoint::duration>(std::chrono::seconds(now.tv_sec) +
                                                                   std::chrono::nanoseconds(now.tv_nsec)));
}

std::int64_t CurrentProcessId() { return getpid(); }

bool ProcessIsGone(std::int64_t id) {
  if (id <= 0 || static_cast<pid_t>(id) != id) return false;
  return kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH;
}

std::int64_t CurrentUserId() { return getuid(); }

EnvironmentLookup ProcessEnvironment() {
  return [](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  };
}

}  // namespace kavr::sim

#ifndef _WIN32

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "results/results_store.h"

namespace kavr {

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "unknown";
  return name;
}

std::int64_t OwnProcessId() { return static_cast<std::int64_t>(getpid()); }

// Signal 0 only asks whether the process exists; EPERM means it does, as
// another user's.
bool ProcessAlive(std::int64_t pid) {
  if (pid <= 0) return false;
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

std::filesystem::path ResultsStore::DefaultFile() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && *data != '\0' && std::filesystem::path(data).is_absolute()) {
    return std::filesystem::path(data) / "kavrtest" / "kavr-results.sqlite";
  }
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0' && std::filesystem::path(home).is_absolute()) {
    return std::filesystem::path(home) / ".local" / "share" / "kavrtest" / "kavr-results.sqlite";
  }
  return {};
}

}  // namespace kavr

#endif  // !_WIN32

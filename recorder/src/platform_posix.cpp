#ifndef _WIN32

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>

#include "platform.h"

namespace kavr::recorder {

std::filesystem::path OwnFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&OwnFolder), &info) == 0 || info.dli_fname == nullptr) return {};
  std::error_code error;
  const std::filesystem::path file = std::filesystem::absolute(info.dli_fname, error);
  return error ? std::filesystem::path{} : file.parent_path();
}

std::optional<std::filesystem::path> EnvironmentPath(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::filesystem::path(value);
}

std::filesystem::path UserDataFolder() {
  if (auto data = EnvironmentPath("XDG_DATA_HOME"); data && data->is_absolute()) return *data / "kavrtest";
  if (auto home = EnvironmentPath("HOME"); home && home->is_absolute()) {
    return *home / ".local" / "share" / "kavrtest";
  }
  return {};
}

long ProcessId() { return static_cast<long>(getpid()); }

}  // namespace kavr::recorder

#endif  // !_WIN32

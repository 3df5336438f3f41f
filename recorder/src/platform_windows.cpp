#ifdef _WIN32

#include <windows.h>

#include <cstdlib>
#include <vector>

#include "platform.h"

namespace kavr::recorder {

std::filesystem::path OwnFolder() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&OwnFolder), &module)) {
    return {};
  }
  std::vector<wchar_t> buffer(MAX_PATH);
  while (buffer.size() <= 32768) {
    const DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size())
      return std::filesystem::path(std::wstring(buffer.data(), length)).parent_path();
    buffer.resize(buffer.size() * 2);
  }
  return {};
}

std::optional<std::filesystem::path> EnvironmentPath(const char* name) {
  // The wide environment, so that a path may hold any character.
  const std::wstring wide(name, name + std::char_traits<char>::length(name));
  const wchar_t* value = _wgetenv(wide.c_str());
  if (value == nullptr || *value == L'\0') return std::nullopt;
  return std::filesystem::path(value);
}

std::filesystem::path UserDataFolder() {
  if (auto local = EnvironmentPath("LOCALAPPDATA"); local && local->is_absolute()) return *local / "kavrtest";
  return {};
}

long ProcessId() { return static_cast<long>(GetCurrentProcessId()); }

}  // namespace kavr::recorder

#endif  // _WIN32

#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601  // GetTickCount64, PROCESS_QUERY_LIMITED_INFORMATION
#endif
#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <string>

#include "simulator/clock.h"
#include "simulator/machine.h"
#include "simulator/sim_config.h"

namespace kavr::sim {

Clock::TimePoint MachineClock::Now() const {
  return TimePoint(
      std::chrono::duration_cast<TimePoint::duration>(std::chrono::milliseconds(GetTickCount64())));
}

std::int64_t CurrentProcessId() { return static_cast<std::int64_t>(GetCurrentProcessId()); }

bool ProcessIsGone(std::int64_t id) {
  if (id <= 0 || id > 0xFFFFFFFFll) return false;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id));
  if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  const bool ended = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
  CloseHandle(process);
  return ended;
}

// The variables in UTF-8, whatever the code page: folder names from
// %LOCALAPPDATA% may hold any character.
EnvironmentLookup ProcessEnvironment() {
  return [](const char* name) -> std::optional<std::string> {
    const std::wstring wideName(name, name + std::char_traits<char>::length(name));
    const wchar_t* value = _wgetenv(wideName.c_str());
    if (value == nullptr) return std::nullopt;
    const int length = static_cast<int>(std::wcslen(value));
    if (length == 0) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, value, length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, value, length, text.data(), size, nullptr, nullptr);
    return text;
  };
}

}  // namespace kavr::sim

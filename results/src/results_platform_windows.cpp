#ifdef _WIN32

#include <windows.h>

#include <cstdlib>

#include "results/results_store.h"

namespace kavr {

std::string HostName() {
  const char* name = std::getenv("COMPUTERNAME");
  return name != nullptr && *name != '\0' ? name : "unknown";
}

std::int64_t OwnProcessId() { return static_cast<std::int64_t>(GetCurrentProcessId()); }

bool ProcessAlive(std::int64_t pid) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

std::filesystem::path ResultsStore::DefaultFile() {
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  if (local == nullptr || *local == L'\0' || !std::filesystem::path(local).is_absolute()) return {};
  return std::filesystem::path(local) / "kavrtest" / "kavr-results.sqlite";
}

}  // namespace kavr

#endif  // _WIN32

#include <windows.h>

#include <system_error>

#include "simulator/file_lock.h"
#include "simulator/quoted_text.h"

namespace kavr::sim {
namespace {

std::string Reason(DWORD code) { return std::system_category().message(static_cast<int>(code)); }

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

Problem FileLock::Acquire(const std::filesystem::path& path) {
  Release();
  DWORD busy = ERROR_SUCCESS;
  for (int attempt = 0; attempt < 16; ++attempt) {
    // No FILE_SHARE_DELETE: the file cannot be removed while a call holds
    // it, so the lock always sits on the file the folder holds.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (error == ERROR_PATH_NOT_FOUND) {
        std::error_code created;
        std::filesystem::create_directories(path.parent_path(), created);
        if (created)
          return "cannot create the folder " + QuotedPath(path.parent_path()) + ": " + created.message();
        continue;
      }
      // A removal of the folder under way holds the name for a moment.
      if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
        busy = error;
        Sleep(1);
        continue;
      }
      return "cannot open the lock file " + QuotedPath(path) + ": " + Reason(error);
    }
    OVERLAPPED whole{};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole)) {
      const DWORD error = GetLastError();
      CloseHandle(file);
      return "cannot lock " + QuotedPath(path) + ": " + Reason(error);
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return std::nullopt;
  }
  return "cannot open the lock file " + QuotedPath(path) + ": " + Reason(busy);
}

void FileLock::Release() {
  if (handle_ == -1) return;
  HANDLE file = AsHandle(handle_);
  OVERLAPPED whole{};
  UnlockFileEx(file, 0, 1, 0, &whole);
  CloseHandle(file);
  handle_ = -1;
}

}  // namespace kavr::sim

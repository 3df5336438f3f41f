#include "simulator/atomic_file.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include "simulator/number_text.h"

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kavr::sim {
namespace {

// Unique enough among processes and saves: two programs saving the same
// controller at once each write their own temporary file.
std::filesystem::path TemporaryName(const std::filesystem::path& path, int attempt) {
#if defined(_WIN32)
  const long long process = _getpid();
#else
  const long long process = getpid();
#endif
  const long long tick = std::chrono::steady_clock::now().time_since_epoch().count();
  return path.parent_path() / ("." + path.filename().string() + "." + IntText(process) + "-" + IntText(tick) +
                               "-" + IntText(attempt) + ".tmp");
}

std::string SystemReason(int code) { return std::system_category().message(code); }

#if defined(_WIN32)

std::string ReplaceFile(const std::filesystem::path& path, std::string_view bytes,
                        const AtomicWriteHooks& hooks) {
  std::filesystem::path temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 16 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = TemporaryName(path, attempt);
    file =
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    return "cannot create " + temporary.string() + ": " + SystemReason(static_cast<int>(GetLastError()));
  }
  DWORD written = 0;
  const bool complete = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                        written == bytes.size() && FlushFileBuffers(file);
  const DWORD write_error = GetLastError();
  CloseHandle(file);
  if (!complete) {
    DeleteFileW(temporary.c_str());
    return "cannot write " + temporary.string() + ": " + SystemReason(static_cast<int>(write_error));
  }
  if (hooks.before_rename && !hooks.before_rename(temporary))
    return "the write was abandoned before the rename";
  if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD rename_error = GetLastError();
    DeleteFileW(temporary.c_str());
    return "cannot rename " + temporary.string() + " to " + path.string() + ": " +
           SystemReason(static_cast<int>(rename_error));
  }
  return {};
}

#else

bool WriteAll(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(descriptor, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::string ReplaceFile(const std::filesystem::path& path, std::string_view bytes,
                        const AtomicWriteHooks& hooks) {
  std::filesystem::path temporary;
  int descriptor = -1;
  for (int attempt = 0; attempt < 16 && descriptor < 0; ++attempt) {
    temporary = TemporaryName(path, attempt);
    descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (descriptor < 0 && errno != EEXIST) break;
  }
  if (descriptor < 0) return "cannot create " + temporary.string() + ": " + SystemReason(errno);

  const bool complete = WriteAll(descriptor, bytes) && fsync(descriptor) == 0;
  const int write_error = errno;
  const bool closed = close(descriptor) == 0;
  if (!complete || !closed) {
    unlink(temporary.c_str());
    return "cannot write " + temporary.string() + ": " + SystemReason(complete ? errno : write_error);
  }
  if (hooks.before_rename && !hooks.before_rename(temporary))
    return "the write was abandoned before the rename";
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    const int rename_error = errno;
    unlink(temporary.c_str());
    return "cannot rename " + temporary.string() + " to " + path.string() + ": " + SystemReason(rename_error);
  }
  // The rename itself lives in the folder: flush it too so that it survives
  // a power cut. Failing here loses nothing already written.
  const int folder = open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return {};
}

#endif

}  // namespace

std::string ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                  const AtomicWriteHooks& hooks) {
  return ReplaceFile(path, bytes, hooks);
}

}  // namespace kavr::sim

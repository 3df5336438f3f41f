#include "simulator/atomic_file.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <limits>
#include <system_error>

#include "simulator/machine.h"
#include "simulator/number_text.h"
#include "simulator/quoted_text.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kavr::sim {
namespace {

constexpr std::string_view kTemporarySuffix = ".tmp";

// ".<name>.<process>-<tick>-<attempt>.tmp" beside the file: unique among
// processes and saves, and naming its writer so that a leftover can be told
// from a write in progress.
std::filesystem::path TemporaryName(const std::filesystem::path& path, int attempt) {
  const long long tick = std::chrono::steady_clock::now().time_since_epoch().count();
  // Appended piece by piece: GCC 12 at -O3 misreads a chain of string
  // operator+ starting from a literal as an overlapping copy.
  std::string suffix(".");
  suffix += IntText(CurrentProcessId());
  suffix += '-';
  suffix += IntText(tick);
  suffix += '-';
  suffix += IntText(attempt);
  suffix += kTemporarySuffix;
  std::filesystem::path temporary = path.parent_path() / ".";
  temporary += path.filename();
  temporary += suffix;
  return temporary;
}

// The writer's process id from a temporary file's name, or 0 when the name
// is not one of ours.
std::int64_t WriterOf(const std::string& name) {
  if (name.size() < 2 || name.front() != '.' || !name.ends_with(kTemporarySuffix)) return 0;
  const std::string_view stem = std::string_view(name).substr(0, name.size() - kTemporarySuffix.size());
  const auto dot = stem.rfind('.');
  if (dot == 0 || dot == std::string_view::npos) return 0;
  const std::string_view numbers = stem.substr(dot + 1);
  const auto firstDash = numbers.find('-');
  const auto lastDash = numbers.rfind('-');
  if (firstDash == std::string_view::npos || firstDash == lastDash) return 0;
  for (const std::string_view number :
       {numbers.substr(firstDash + 1, lastDash - firstDash - 1), numbers.substr(lastDash + 1)}) {
    if (!ParseInteger(number, 0, std::numeric_limits<long long>::max())) return 0;
  }
  return ParseInteger(numbers.substr(0, firstDash), 1, std::numeric_limits<std::int64_t>::max()).value_or(0);
}

std::string SystemReason(int code) { return std::system_category().message(code); }

#if defined(_WIN32)

Problem ReplaceFile(const std::filesystem::path& path, std::string_view bytes,
                    const AtomicWriteOptions& options) {
  std::filesystem::path temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 16 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = TemporaryName(path, attempt);
    file =
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    return "cannot create " + QuotedPath(temporary) + ": " + SystemReason(static_cast<int>(GetLastError()));
  }
  DWORD written = 0;
  const bool complete = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                        written == bytes.size() && (!options.durable || FlushFileBuffers(file));
  const DWORD writeError = GetLastError();
  CloseHandle(file);
  if (!complete) {
    DeleteFileW(temporary.c_str());
    return "cannot write " + QuotedPath(temporary) + ": " + SystemReason(static_cast<int>(writeError));
  }
  if (options.beforeRename && !options.beforeRename(temporary)) {
    return "the write was abandoned before the rename";
  }
  // A virus scanner or an indexer may hold the old file open for a moment.
  bool renamed = false;
  DWORD renameError = ERROR_SUCCESS;
  for (int attempt = 0; attempt < 20 && !renamed; ++attempt) {
    renamed =
        MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    renameError = renamed ? ERROR_SUCCESS : GetLastError();
    if (renameError != ERROR_ACCESS_DENIED && renameError != ERROR_SHARING_VIOLATION) break;
    Sleep(5);
  }
  if (!renamed) {
    DeleteFileW(temporary.c_str());
    return "cannot rename " + QuotedPath(temporary) + " to " + QuotedPath(path) + ": " +
           SystemReason(static_cast<int>(renameError));
  }
  return std::nullopt;
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

Problem ReplaceFile(const std::filesystem::path& path, std::string_view bytes,
                    const AtomicWriteOptions& options) {
  std::filesystem::path temporary;
  int descriptor = -1;
  for (int attempt = 0; attempt < 16 && descriptor < 0; ++attempt) {
    temporary = TemporaryName(path, attempt);
    descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (descriptor < 0 && errno != EEXIST) break;
  }
  if (descriptor < 0) return "cannot create " + QuotedPath(temporary) + ": " + SystemReason(errno);

  const bool complete = WriteAll(descriptor, bytes) && (!options.durable || fsync(descriptor) == 0);
  const int writeError = errno;
  const bool closed = close(descriptor) == 0;
  if (!complete || !closed) {
    unlink(temporary.c_str());
    return "cannot write " + QuotedPath(temporary) + ": " + SystemReason(complete ? errno : writeError);
  }
  if (options.beforeRename && !options.beforeRename(temporary)) {
    return "the write was abandoned before the rename";
  }
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    const int renameError = errno;
    unlink(temporary.c_str());
    return "cannot rename " + QuotedPath(temporary) + " to " + QuotedPath(path) + ": " +
           SystemReason(renameError);
  }
  if (!options.durable) return std::nullopt;
  // The rename itself lives in the folder: flush it too so that it survives
  // a power cut. Failing here loses nothing already written.
  const int folder = open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return std::nullopt;
}

#endif

}  // namespace

void RemoveAbandonedWrites(const std::filesystem::path& folder) {
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::u8string name = entry->path().filename().u8string();
    const std::int64_t writer = WriterOf(std::string(name.begin(), name.end()));
    if (writer != 0 && ProcessIsGone(writer)) {
      std::error_code ignored;
      std::filesystem::remove(entry->path(), ignored);
    }
  }
}

Problem ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                              const AtomicWriteOptions& options) {
  RemoveAbandonedWrites(path.parent_path());
  return ReplaceFile(path, bytes, options);
}

Problem ReadFileStart(const std::filesystem::path& path, std::size_t limit,
                      std::optional<std::string>& bytes) {
  bytes.reset();
  // Not handed down to child processes ('e', 'N'), as nothing here is.
#if defined(_WIN32)
  std::FILE* file = _wfopen(path.c_str(), L"rbN");
#else
  std::FILE* file = std::fopen(path.c_str(), "rbe");
#endif
  if (file == nullptr) {
    if (errno == ENOENT) return std::nullopt;
    return "it cannot be opened: " + SystemReason(errno);
  }
  std::string read;
  char chunk[4096];
  std::size_t got = 0;
  while (read.size() <= limit && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
    read.append(chunk, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return "it cannot be read";
  if (read.size() > limit + 1) read.resize(limit + 1);
  bytes = std::move(read);
  return std::nullopt;
}

}  // namespace kavr::sim

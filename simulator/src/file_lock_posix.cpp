#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "simulator/file_lock.h"
#include "simulator/quoted_text.h"

namespace kavr::sim {
namespace {

std::string Reason(int code) { return std::system_category().message(code); }

Problem CreateFolder(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder.parent_path(), error);
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    return "cannot create the folder " + QuotedPath(folder) + ": " + Reason(errno);
  }
  return std::nullopt;
}

// The state folder may stand in the temporary folder, which everybody can
// write: one made beforehand by another user could read or steer this
// user's controllers, so only a folder of the user's own is used.
Problem CheckOwnFolder(const std::filesystem::path& folder) {
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) return std::nullopt;  // not there yet: made below
  if (!S_ISDIR(info.st_mode)) return "the state folder " + QuotedPath(folder) + " is not a folder";
  if (info.st_uid != geteuid()) return "the state folder " + QuotedPath(folder) + " belongs to another user";
  return std::nullopt;
}

// Whether the locked file is still the one the folder holds: a folder
// deleted and made again while this waited has a new lock file, and a lock
// on the old one keeps nobody out.
bool StillInPlace(int descriptor, const std::filesystem::path& path) {
  struct stat held {};
  struct stat named {};
  return fstat(descriptor, &held) == 0 && stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

}  // namespace

Problem FileLock::Acquire(const std::filesystem::path& path) {
  Release();
  if (auto problem = CheckOwnFolder(path.parent_path())) return problem;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor < 0 && errno == ENOENT) {
      if (auto problem = CreateFolder(path.parent_path())) return problem;
      continue;
    }
    if (descriptor < 0) return "cannot open the lock file " + QuotedPath(path) + ": " + Reason(errno);
    int locked = 0;
    while ((locked = flock(descriptor, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
      const int error = errno;
      close(descriptor);
      return "cannot lock " + QuotedPath(path) + ": " + Reason(error);
    }
    if (StillInPlace(descriptor, path)) {
      handle_ = descriptor;
      return std::nullopt;
    }
    close(descriptor);
  }
  return "the lock file " + QuotedPath(path) + " keeps being removed";
}

void FileLock::Release() {
  if (handle_ < 0) return;
  // Closing the only descriptor of this open file lets the lock go.
  close(static_cast<int>(handle_));
  handle_ = -1;
}

}  // namespace kavr::sim

// An exclusive lock on a file, waited for. Each holder opens the file for
// itself, so the lock keeps out every other holder: other processes and
// other threads of this one alike. The system lets it go when its holder
// dies, so a process killed inside a call never blocks the next one.
// flock() on POSIX systems, LockFileEx() on Windows.
#pragma once

#include <cstdint>
#include <filesystem>

#include "simulator/problem.h"

namespace kavr::sim {

class FileLock {
 public:
  FileLock() = default;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock() { Release(); }

  // Creates the file, and its folder (for this user only), when missing.
  Problem Acquire(const std::filesystem::path& path);
  void Release();

 private:
  // The descriptor on POSIX systems, the HANDLE on Windows; -1 when none.
  std::intptr_t handle_ = -1;
};

}  // namespace kavr::sim

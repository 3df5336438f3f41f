// The maker's library behind the recorder: KAVRVBDLL-original beside the
// recorder's own file, loaded by full path with the binding's loader, each
// entry looked up by name at its first call. Calls run on whatever thread
// makes them, so nothing here is held while a call runs: loading is tried
// under a lock, and found entries are kept where every thread can read them.
#pragma once

#include <array>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>

#include "contract/entry_names.h"
#include "device/shared_library.h"

namespace kavr::recorder {

// "KAVRVBDLL-original.so" (".dll" on Windows).
std::string OriginalFileName();

class OriginalLibrary {
 public:
  // `folder` empty: the recorder's own folder could not be found.
  explicit OriginalLibrary(std::filesystem::path folder);
  ~OriginalLibrary();
  OriginalLibrary(const OriginalLibrary&) = delete;
  OriginalLibrary& operator=(const OriginalLibrary&) = delete;

  // The entry's address; null, with what is missing and where it was looked
  // for in `problem`, when the file does not load or lacks the entry. A file
  // that would not load is tried again at the next call.
  void* Find(Entry entry, std::string& problem);

 private:
  detail::LibraryHandle Load(std::string& problem);

  const std::filesystem::path file_;
  std::mutex loading_;
  std::atomic<detail::LibraryHandle> handle_{nullptr};
  std::array<std::atomic<void*>, kEntryCount> entries_{};
};

// The failure of a call that never reached the maker's library, kept per
// thread as a library keeps its last error: GetLastErr gives it while it is
// the thread's latest.
void NoteOwnFailure(const std::string& text);
// A call reached the maker's library: its last error is the one to give.
void ForgetOwnFailure();
// The thread's own failure, or empty when the maker's library has the latest.
std::string OwnFailure();

}  // namespace kavr::recorder

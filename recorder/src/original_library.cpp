#include "original_library.h"

#include <algorithm>
#include <cstring>

#include "device/dynamic_controller_library.h"

namespace kavr::recorder {

std::string OriginalFileName() {
  const std::filesystem::path name = LibraryFileName();
  return name.stem().string() + "-original" + name.extension().string();
}

OriginalLibrary::OriginalLibrary(std::filesystem::path folder)
    : file_(folder.empty() ? std::filesystem::path{} : folder / OriginalFileName()) {}

OriginalLibrary::~OriginalLibrary() { detail::CloseLibrary(handle_.load()); }

detail::LibraryHandle OriginalLibrary::Load(std::string& problem) {
  if (auto handle = handle_.load(std::memory_order_acquire)) return handle;
  std::lock_guard lock(loading_);
  if (auto handle = handle_.load(std::memory_order_acquire)) return handle;
  std::string reason;
  detail::LibraryHandle handle = nullptr;
  if (file_.empty()) {
    reason = "the recorder cannot find its own folder";
  } else {
    handle = detail::OpenLibrary(file_, reason);
  }
  if (handle == nullptr) {
    problem = "The recorder cannot load the maker's library " +
              (file_.empty() ? OriginalFileName() : detail::PathText(file_)) + ": " + reason;
    return nullptr;
  }
  handle_.store(handle, std::memory_order_release);
  return handle;
}

void* OriginalLibrary::Find(Entry entry, std::string& problem) {
  const auto index = static_cast<std::size_t>(entry);
  if (void* address = entries_[index].load(std::memory_order_acquire)) return address;
  detail::LibraryHandle handle = Load(problem);
  if (handle == nullptr) return nullptr;
  std::string reason;
  void* address = detail::FindExport(handle, kEntryNames[index], reason);
  if (address == nullptr) {
    problem = "The maker's library " + detail::PathText(file_) + " has no entry " + kEntryNames[index] +
              ": " + reason;
    return nullptr;
  }
  entries_[index].store(address, std::memory_order_release);
  return address;
}

namespace {

// Fixed-size, so that nothing is left for a thread's exit to destroy.
struct OwnError {
  char text[1024] = {};
  std::size_t length = 0;
};
thread_local OwnError ownError;

}  // namespace

void NoteOwnFailure(const std::string& text) {
  ownError.length = std::min(text.size(), sizeof ownError.text);
  std::memcpy(ownError.text, text.data(), ownError.length);
}

void ForgetOwnFailure() { ownError.length = 0; }

std::string OwnFailure() { return std::string(ownError.text, ownError.length); }

}  // namespace kavr::recorder

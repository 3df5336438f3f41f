#include "device/dynamic_controller_library.h"

#include <algorithm>
#include <array>
#include <limits>
#include <mutex>
#include <string_view>
#include <utility>

#include "contract/entries.h"
#include "contract/entry_names.h"
#include "device/shared_library.h"
#include "text/text.h"

namespace kavr {
namespace {

// A program text buffer as the library takes it: one byte per character and
// one zero byte more than the capacity the library is told, so that a
// library that fills every byte it was offered still leaves an ended string.
class LibraryBytes {
 public:
  explicit LibraryBytes(const LibraryText& text) : length_(text.size()) {
    // The program hands over empty buffers; they need no conversion.
    const bool empty = std::all_of(text.begin(), text.end(), [](char32_t c) { return c == U'\0'; });
    bytes_ = empty ? std::string(length_, '\0') : EncodeCodePage(text);
    bytes_.resize(length_ + 1, '\0');
  }

  char* Data() { return bytes_.data(); }

  std::int32_t Capacity() const {
    return static_cast<std::int32_t>(
        std::min<std::size_t>(length_, static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())));
  }

  // The buffer comes back at its full length, whatever the library left in it.
  void CopyBackTo(LibraryText& text) const {
    text = DecodeCodePage(std::string_view(bytes_.data(), length_));
  }

  // The same for a buffer read only up to its terminator: what follows it is
  // handed back as code 0 without being converted.
  void CopyBackEndedTo(LibraryText& text) const {
    const std::size_t used = std::string_view(bytes_.data(), length_).find('\0');
    text = DecodeCodePage(std::string_view(bytes_.data(), std::min(used, length_)));
    text.resize(length_, U'\0');
  }

 private:
  std::size_t length_;
  std::string bytes_;
};

// The binding's own message, cut to the buffer; the rest of the buffer is
// code 0 so that it reads as an ended string.
void WriteText(std::string_view utf8, LibraryText& buffer) {
  const std::u32string text = FromUtf8(utf8);
  const std::size_t count = std::min(text.size(), buffer.size());
  std::copy_n(text.begin(), count, buffer.begin());
  std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(count), buffer.end(), U'\0');
}

}  // namespace

struct DynamicControllerLibrary::Impl {
  Impl(std::filesystem::path libraryFile, std::string whyNotAbsolute)
      : file(std::move(libraryFile)), notAbsoluteReason_(std::move(whyNotAbsolute)) {}
  ~Impl() { detail::CloseLibrary(handle_); }

  // The entry, loading the file first if need be; null when the call cannot
  // reach the library, with the reason kept as the binding's own last error
  // (and handed to `problem`). Reaching an entry makes the library's last
  // error the one to report again.
  template <Entry entry>
  EntryPointer<entry> Find(std::string* problem = nullptr) {
    std::lock_guard lock(mutex_);
    constexpr auto index = static_cast<std::size_t>(entry);
    if (!Load()) {
      Fail(loadFailure_, problem);
      return nullptr;
    }
    if (entries_[index] == nullptr) {
      std::string reason;
      entries_[index] = detail::FindExport(handle_, kEntryNames[index], reason);
      if (entries_[index] == nullptr) {
        Fail("The controller library " + detail::PathText(file) + " has no entry " + kEntryNames[index] +
                 ": " + reason,
             problem);
        return nullptr;
      }
    }
    ownErrorIsLatest_ = false;
    return reinterpret_cast<EntryPointer<entry>>(entries_[index]);
  }

  // The binding's own last error when it is the latest failure, else nothing.
  bool OwnErrorIfLatest(std::string& text) {
    std::lock_guard lock(mutex_);
    if (ownErrorIsLatest_) text = ownError_;
    return ownErrorIsLatest_;
  }

  std::string LoadFailure() {
    std::lock_guard lock(mutex_);
    return loadFailure_;
  }

  const std::filesystem::path file;

 private:
  bool Load() {
    if (handle_ != nullptr) return true;
    // A path that is not absolute is never handed to the loader: it would
    // resolve against the current folder or a search path.
    std::string reason = notAbsoluteReason_;
    if (reason.empty() && !file.is_absolute()) reason = "the path is not absolute";
    if (reason.empty()) handle_ = detail::OpenLibrary(file, reason);
    if (handle_ == nullptr) {
      loadFailure_ = "Cannot load the controller library " + detail::PathText(file) + ": " + reason;
      return false;
    }
    loadFailure_.clear();
    return true;
  }

  void Fail(std::string text, std::string* problem) {
    ownError_ = std::move(text);
    ownErrorIsLatest_ = true;
    if (problem != nullptr) *problem = ownError_;
  }

  const std::string notAbsoluteReason_;
  std::mutex mutex_;
  detail::LibraryHandle handle_ = nullptr;
  std::array<void*, kEntryCount> entries_{};
  std::string loadFailure_;
  std::string ownError_;
  bool ownErrorIsLatest_ = false;
};

namespace {

std::filesystem::path BesideExecutable() {
  std::filesystem::path folder = ExecutableFolder();
  return folder.empty() ? std::filesystem::path(LibraryFileName()) : folder / LibraryFileName();
}

}  // namespace

DynamicControllerLibrary::DynamicControllerLibrary()
    : impl_(std::make_unique<Impl>(
          BesideExecutable(),
          ExecutableFolder().empty() ? "the folder of the running program cannot be found" : "")) {}

DynamicControllerLibrary::DynamicControllerLibrary(std::filesystem::path libraryFile)
    : impl_(std::make_unique<Impl>(std::move(libraryFile), "")) {}

DynamicControllerLibrary::~DynamicControllerLibrary() = default;

const std::filesystem::path& DynamicControllerLibrary::LibraryFile() const { return impl_->file; }

std::string DynamicControllerLibrary::LibraryLoadFailure() { return impl_->LoadFailure(); }

// Every entry but Init and GetLastErr takes its arguments as they stand:
// values, and records and the speed by address.
template <Entry entry, typename... Arguments>
ResultCode DynamicControllerLibrary::Forward(Arguments... arguments) {
  auto function = impl_->Find<entry>();
  return function != nullptr ? function(arguments...) : kLibraryUnavailable;
}

ResultCode DynamicControllerLibrary::Init(std::int32_t& count, LibraryText& versions, LibraryText& serials) {
  auto function = impl_->Find<Entry::Init>();
  if (function == nullptr) return kLibraryUnavailable;
  LibraryBytes versionBytes(versions);
  LibraryBytes serialBytes(serials);
  const ResultCode code = function(&count, versionBytes.Data(), versionBytes.Capacity(), serialBytes.Data(),
                                   serialBytes.Capacity());
  // Every position of these counts: the device slots lie at fixed places.
  versionBytes.CopyBackTo(versions);
  serialBytes.CopyBackTo(serials);
  return code;
}

ResultCode DynamicControllerLibrary::Start(std::int32_t device, std::int32_t destination, float& speed,
                                           KAVR_StartParameters& start) {
  return Forward<Entry::Start>(device, destination, &speed, &start);
}

// The entries of the common shapes pass the controller number, and the
// record by address.
#define KAVR_BINDING(...) KAVR_ENTRY_BY_SHAPE(KAVR_BINDING, __VA_ARGS__)
#define KAVR_BINDING_ControllerOnly(name, ...) \
  ResultCode DynamicControllerLibrary::name(std::int32_t device) { return Forward<Entry::name>(device); }
#define KAVR_BINDING_RecordGet(name, record, ...)                                 \
  ResultCode DynamicControllerLibrary::name(std::int32_t device, record& value) { \
    return Forward<Entry::name>(device, &value);                                  \
  }
#define KAVR_BINDING_RecordSet KAVR_BINDING_RecordGet
#define KAVR_BINDING_Init(...)
#define KAVR_BINDING_Start(...)
#define KAVR_BINDING_GetLastErr(...)
KAVR_FOR_EACH_ENTRY(KAVR_BINDING)
#undef KAVR_BINDING

void DynamicControllerLibrary::GetLastErr(LibraryText& buffer) {
  std::string own;
  if (impl_->OwnErrorIfLatest(own)) return WriteText(own, buffer);
  // The entry itself may be what is missing; that is then the text to give.
  auto function = impl_->Find<Entry::GetLastErr>(&own);
  if (function == nullptr) return WriteText(own, buffer);
  LibraryBytes bytes(buffer);
  function(bytes.Data(), bytes.Capacity());
  bytes.CopyBackEndedTo(buffer);
}

}  // namespace kavr

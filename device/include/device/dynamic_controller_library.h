// The binding to the controller library file beside the executable. The file
// is loaded at the first call, each entry looked up by name at its own first
// call and kept. A file or entry that cannot be had makes the call fail with
// kLibraryUnavailable (kavr/own_result_codes.h) and a last-error text of the
// binding's own; nothing throws.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "contract/entry_names.h"
#include "contract/own_result_codes.h"
#include "device/controller_library.h"

namespace kavr {

// The library's file name on this platform.
const char* LibraryFileName();

// The folder of the running executable (empty when it cannot be found).
std::filesystem::path ExecutableFolder();

class DynamicControllerLibrary : public ControllerLibrary {
 public:
  // The library file beside the running executable.
  DynamicControllerLibrary();
  // A library file at an absolute path (tests load their own libraries). A
  // relative path is refused: it would load whatever sits in the current
  // folder.
  explicit DynamicControllerLibrary(std::filesystem::path libraryFile);
  ~DynamicControllerLibrary() override;

  DynamicControllerLibrary(const DynamicControllerLibrary&) = delete;
  DynamicControllerLibrary& operator=(const DynamicControllerLibrary&) = delete;

  ResultCode Init(std::int32_t& count, LibraryText& versions, LibraryText& serials) override;
  ResultCode Start(std::int32_t device, std::int32_t destination, float& speed,
                   KAVR_StartParameters& start) override;
  void GetLastErr(LibraryText& buffer) override;
  KAVR_FOR_EACH_ENTRY(KAVR_LIBRARY_OVERRIDE)

  // Loading is tried again at each call while it fails, so a file copied
  // into place meanwhile is taken up without a restart.
  std::string LibraryLoadFailure() override;

  const std::filesystem::path& LibraryFile() const;

 private:
  template <Entry entry, typename... Arguments>
  ResultCode Forward(Arguments... arguments);

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kavr

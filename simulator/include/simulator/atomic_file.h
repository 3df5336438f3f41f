// Replacing a file so that a reader, or a crash at any moment, only ever
// sees the old content or the new one: the bytes go to a temporary file in
// the same folder, are flushed to the disk, and the temporary file is then
// renamed over the old one.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace kavr::sim {

struct AtomicWriteHooks {
  // Runs once the temporary file is complete and flushed, just before the
  // rename; returning false abandons the write there, temporary file and
  // all, as a crash at that moment would.
  std::function<bool(const std::filesystem::path& temporary)> before_rename;
};

// Empty on success; otherwise why the file could not be written (the old
// file is then untouched).
std::string ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                  const AtomicWriteHooks& hooks = {});

}  // namespace kavr::sim

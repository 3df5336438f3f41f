// Whole files, written and read in one go. A file is replaced so that a
// reader, or a crash at any moment, only ever sees the old content or the
// new one: the bytes go to a temporary file in the same folder, which is
// then renamed over the old one.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "simulator/problem.h"

namespace kavr::sim {

struct AtomicWriteOptions {
  // Runs once the temporary file is complete, just before the rename;
  // returning false abandons the write there, temporary file and all, as a
  // crash at that moment would.
  std::function<bool(const std::filesystem::path& temporary)> beforeRename;
  // Flushes the file and the rename to the disk, so that they survive a
  // power cut too. A file that the next start of the machine throws away
  // anyway needs only to survive the death of its writer, which the rename
  // alone ensures.
  bool durable = true;
};

// On failure the old file is untouched. Temporary files left behind by
// writers that died are removed from the folder first.
Problem ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                              const AtomicWriteOptions& options = {});
// Removes the temporary files of writers that died from the folder: a
// writer killed between creating its temporary file and renaming it leaves
// the file behind, and nobody else would ever remove it.
void RemoveAbandonedWrites(const std::filesystem::path& folder);

// Up to `limit` + 1 bytes of the file, so that the caller can tell a file
// that is too long; `bytes` stays empty when there is no such file.
Problem ReadFileStart(const std::filesystem::path& path, std::size_t limit,
                      std::optional<std::string>& bytes);

}  // namespace kavr::sim

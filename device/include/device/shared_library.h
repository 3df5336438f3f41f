// The operating system's library loader behind one small interface, so that
// the binding reads the same on every platform. Failures come back as the
// loader's own reason, in UTF-8; nothing throws.
#pragma once

#include <filesystem>
#include <string>

namespace kavr::detail {

// An opened library file; null when the file could not be opened.
using LibraryHandle = void*;

// Opens the file at an absolute path, resolving every symbol now and keeping
// them to this handle. Never consults a search path or the current folder.
LibraryHandle OpenLibrary(const std::filesystem::path& file, std::string& problem);

// The address of an exported name, or null with the problem.
void* FindExport(LibraryHandle library, const char* name, std::string& problem);

void CloseLibrary(LibraryHandle library);

// A path as UTF-8 text for messages.
inline std::string PathText(const std::filesystem::path& path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace kavr::detail

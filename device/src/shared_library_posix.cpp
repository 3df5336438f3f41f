#ifndef _WIN32

#include <dlfcn.h>
#include <link.h>

#include <system_error>

#include "device/dynamic_controller_library.h"
#include "device/shared_library.h"

namespace kavr {
namespace {

// The loader's latest message, less the file name it usually starts with,
// which our own message already carries.
std::string TakeLoaderReason(const std::string& fileText, const char* fallback) {
  const char* message = dlerror();
  std::string reason = message != nullptr ? message : fallback;
  const std::string prefix = fileText + ": ";
  if (!fileText.empty() && reason.starts_with(prefix)) reason.erase(0, prefix.size());
  return reason;
}

std::string OpenedFileText(detail::LibraryHandle library) {
  link_map* map = nullptr;
  if (dlinfo(library, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr) {
    return map->l_name;
  }
  return {};
}

}  // namespace

const char* LibraryFileName() { return "KAVRVBDLL.so"; }

std::filesystem::path ExecutableFolder() {
  std::error_code error;
  std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || !executable.is_absolute()) return {};
  return executable.parent_path();
}

namespace detail {

LibraryHandle OpenLibrary(const std::filesystem::path& file, std::string& problem) {
  dlerror();
  // An absolute path holds a slash, so dlopen takes it as it stands and
  // searches nowhere. RTLD_LOCAL keeps the library's names from standing in
  // for those of any other library in the process.
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) problem = TakeLoaderReason(file.string(), "the loader gave no reason");
  return handle;
}

void* FindExport(LibraryHandle library, const char* name, std::string& problem) {
  dlerror();
  void* address = dlsym(library, name);
  if (address == nullptr) {
    // Read the message before anything else can replace it.
    const char* message = dlerror();
    std::string text = message != nullptr ? message : "it is exported at address zero";
    const std::string prefix = OpenedFileText(library) + ": ";
    if (prefix.size() > 2 && text.starts_with(prefix)) text.erase(0, prefix.size());
    problem = text;
  }
  return address;
}

void CloseLibrary(LibraryHandle library) {
  if (library != nullptr) dlclose(library);
}

}  // namespace detail
}  // namespace kavr

#endif  // !_WIN32

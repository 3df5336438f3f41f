#ifdef _WIN32

#include <windows.h>

#include <iterator>
#include <string>
#include <vector>

#include "device/dynamic_controller_library.h"
#include "device/shared_library.h"

// Older headers leave these out although the loader knows them.
#ifndef LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
#define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x00000100
#endif
#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace kavr {
namespace {

std::string WideToUtf8(const wchar_t* text, int length) {
  if (length <= 0) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
  return out;
}

// The system's wording for the calling thread's last error.
std::string LastErrorReason() {
  const DWORD code = GetLastError();
  wchar_t message[512] = {};
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                message, static_cast<DWORD>(std::size(message)), nullptr);
  while (length > 0 && (message[length - 1] == L'\r' || message[length - 1] == L'\n' ||
                        message[length - 1] == L' ' || message[length - 1] == L'.')) {
    --length;
  }
  if (length == 0) return "system error " + std::to_string(code);
  return WideToUtf8(message, static_cast<int>(length)) + " (system error " + std::to_string(code) + ")";
}

}  // namespace

const char* LibraryFileName() { return "KAVRVBDLL.dll"; }

std::filesystem::path ExecutableFolder() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      std::filesystem::path executable(std::wstring(buffer.data(), length));
      return executable.is_absolute() ? executable.parent_path() : std::filesystem::path{};
    }
    // The name was cut to the buffer; long paths need a larger one.
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

namespace detail {

LibraryHandle OpenLibrary(const std::filesystem::path& file, std::string& problem) {
  // The library's own dependencies are looked for beside it and in the
  // system folder only, never in the current folder.
  HMODULE module =
      LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr) problem = LastErrorReason();
  return reinterpret_cast<LibraryHandle>(module);
}

void* FindExport(LibraryHandle library, const char* name, std::string& problem) {
  FARPROC address = GetProcAddress(reinterpret_cast<HMODULE>(library), name);
  if (address == nullptr) {
    problem = LastErrorReason();
    return nullptr;
  }
  return reinterpret_cast<void*>(address);
}

void CloseLibrary(LibraryHandle library) {
  if (library != nullptr) FreeLibrary(reinterpret_cast<HMODULE>(library));
}

}  // namespace detail
}  // namespace kavr

#endif  // _WIN32

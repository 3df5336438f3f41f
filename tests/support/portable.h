// What the tests need from the operating system, alike on Linux and on
// Windows: a scratch folder, environment variables and the list of names a
// library file exports.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

namespace test_support {

// A fresh empty folder, removed with everything in it after the test.
struct ScratchFolder {
  ScratchFolder() { std::filesystem::create_directories(path); }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() /
      ("kavr-test-" + std::to_string(std::random_device()()) + "-" + std::to_string(std::random_device()()));
};

// The C runtime's environment, which a library in the same process reads.
inline void SetEnvironment(const std::string& name, const std::string& value) {
#ifdef _WIN32
  _putenv((name + "=" + value).c_str());
#else
  setenv(name.c_str(), value.c_str(), 1);
#endif
}

inline void UnsetEnvironment(const std::string& name) {
#ifdef _WIN32
  _putenv((name + "=").c_str());  // an empty value removes it
#else
  unsetenv(name.c_str());
#endif
}

// A variable set for the life of this object; then what was there before.
class EnvironmentOverride {
 public:
  EnvironmentOverride(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* previous = std::getenv(name_.c_str())) previous_ = previous;
    SetEnvironment(name_, value);
  }
  ~EnvironmentOverride() {
    if (previous_) {
      SetEnvironment(name_, *previous_);
    } else {
      UnsetEnvironment(name_);
    }
  }
  EnvironmentOverride(const EnvironmentOverride&) = delete;
  EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// The stand-in library keeps its controllers' flash and shared state in a
// scratch folder of the test's own, away from the user's and other tests'.
struct StandInScratch {
  ScratchFolder folder;
  EnvironmentOverride flash{"KAVR_SIM_FLASH_DIR", (folder.path / "flash").string()};
  EnvironmentOverride state{"KAVR_SIM_STATE_DIR", (folder.path / "state").string()};
};

// Every name the library file exports; nothing when the listing cannot be had.
inline std::optional<std::set<std::string>> ExportedNames(const std::filesystem::path& library) {
  std::set<std::string> names;
#ifdef _WIN32
  // The export table of the loaded image, as the loader itself reads it.
  HMODULE module = LoadLibraryW(library.c_str());
  if (module == nullptr) return std::nullopt;
  const auto* base = reinterpret_cast<const unsigned char*>(module);
  const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& table = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (table.Size != 0) {
    const auto* directory = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + table.VirtualAddress);
    const auto* nameAddresses = reinterpret_cast<const DWORD*>(base + directory->AddressOfNames);
    for (DWORD i = 0; i < directory->NumberOfNames; ++i) {
      names.insert(reinterpret_cast<const char*>(base + nameAddresses[i]));
    }
    // Exports without a name count too.
    for (DWORD i = directory->NumberOfNames; i < directory->NumberOfFunctions; ++i) {
      names.insert("#unnamed " + std::to_string(i));
    }
  }
  FreeLibrary(module);
#else
  FILE* listing = popen(("nm -D --defined-only '" + library.string() + "' 2>/dev/null").c_str(), "r");
  if (listing == nullptr) return std::nullopt;
  for (char line[512]; std::fgets(line, sizeof line, listing) != nullptr;) {
    const std::string text(line, std::strcspn(line, "\r\n"));
    names.insert(text.substr(text.rfind(' ') + 1));
  }
  if (pclose(listing) != 0 && names.empty()) return std::nullopt;
#endif
  return names;
}

}  // namespace test_support

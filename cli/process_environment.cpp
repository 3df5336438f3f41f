#include "process_environment.h"

#include <cstdlib>
#include <cwchar>

#ifdef _WIN32
#include <io.h>
#include <stdio.h>
#include <windows.h>
#else
#include <unistd.h>
extern char** environ;
#endif

namespace kavr::cli {
namespace {

void Set(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
  // The C runtime's copy, which the library's own lookups read; an empty
  // value removes the variable.
  _putenv((name + "=" + value.value_or("")).c_str());
#else
  if (value) {
    setenv(name.c_str(), value->c_str(), 1);
  } else {
    unsetenv(name.c_str());
  }
#endif
}

}  // namespace

bool StandardInputIsTerminal() {
#ifdef _WIN32
  // _isatty is true for any character device, NUL among them: only a
  // console answers GetConsoleMode.
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
#else
  return isatty(STDIN_FILENO) != 0;
#endif
}

std::optional<std::string> EnvironmentValue(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

EnvironmentOverride::EnvironmentOverride(std::string name, const std::string& value)
    : name_(std::move(name)), previous_(EnvironmentValue(name_)) {
  Set(name_, value);
}

EnvironmentOverride::~EnvironmentOverride() { Set(name_, previous_); }

namespace {

// Every variable of this process as "NAME=value", in UTF-8.
std::vector<std::string> ProcessVariables() {
  std::vector<std::string> variables;
#ifdef _WIN32
  // The system's own block, in UTF-16: the C runtime's copy is in the
  // 8-bit code page and may have lost characters.
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* entry = block; entry != nullptr && *entry != L'\0'; entry += std::wcslen(entry) + 1) {
    const int length = static_cast<int>(std::wcslen(entry));
    const int size = WideCharToMultiByte(CP_UTF8, 0, entry, length, nullptr, 0, nullptr, nullptr);
    std::string variable(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, entry, length, variable.data(), size, nullptr, nullptr);
    variables.push_back(std::move(variable));
  }
  if (block != nullptr) FreeEnvironmentStringsW(block);
#else
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) variables.emplace_back(*entry);
#endif
  return variables;
}

}  // namespace

std::vector<std::string> ChildEnvironment(const std::string& droppedPrefix,
                                          const EnvironmentVariables& added) {
  std::vector<std::string> variables;
  for (std::string& variable : ProcessVariables()) {
    if (!variable.starts_with(droppedPrefix)) variables.push_back(std::move(variable));
  }
  for (const auto& [name, value] : added) variables.push_back(name + "=" + value);
  return variables;
}

}  // namespace kavr::cli

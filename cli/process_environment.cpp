#include "process_environment.h"

#include <cstdlib>

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
  return _isatty(_fileno(stdin)) != 0;
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

std::vector<std::string> ChildEnvironment(const std::string& droppedPrefix, const EnvironmentVariables& added) {
  std::vector<std::string> variables;
#ifdef _WIN32
  char** all = _environ;
#else
  char** all = environ;
#endif
  for (char** entry = all; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string variable = *entry;
    if (!variable.starts_with(droppedPrefix)) variables.push_back(variable);
  }
  for (const auto& [name, value] : added) variables.push_back(name + "=" + value);
  return variables;
}

}  // namespace kavr::cli

// The process's own environment, which a library loaded into it reads at
// its Init: a variable set for a while, and the whole of it for a child.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kavr::cli {

// Whether the process's standard input is a terminal an operator can
// answer at.
bool StandardInputIsTerminal();

// A variable's value, UTF-8; nothing when unset.
std::optional<std::string> EnvironmentValue(const std::string& name);

// A variable set for the life of this object; then what was there before.
class EnvironmentOverride {
 public:
  EnvironmentOverride(std::string name, const std::string& value);
  ~EnvironmentOverride();
  EnvironmentOverride(const EnvironmentOverride&) = delete;
  EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

using EnvironmentVariables = std::vector<std::pair<std::string, std::string>>;

// "NAME=value" for every variable of this process, except those whose name
// starts with `droppedPrefix`, then `added`.
std::vector<std::string> ChildEnvironment(const std::string& droppedPrefix,
                                          const EnvironmentVariables& added);

}  // namespace kavr::cli

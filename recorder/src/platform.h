// What the recorder asks of the operating system.
#pragma once

#include <filesystem>
#include <optional>

namespace kavr::recorder {

// The folder of the recorder's own library file (empty when it cannot be
// found): the maker's library is looked for there and nowhere else.
std::filesystem::path OwnFolder();

// The variable's value as a path; nothing when it is unset or empty.
std::optional<std::filesystem::path> EnvironmentPath(const char* name);

// Where a user's programs keep their files (~/.local/share/kavrtest,
// %LOCALAPPDATA%\kavrtest); empty when it cannot be found.
std::filesystem::path UserDataFolder();

long ProcessId();

}  // namespace kavr::recorder

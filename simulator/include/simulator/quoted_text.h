// Text that came from outside (environment values, paths) as it goes into a
// warning or an error text: quoted, with every control character written
// as an escape, so that one message is always one line and a value cannot
// pass itself off as a message of its own.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kavr::sim {

// "value", with \" \\ \n \r \t and \xNN escapes.
std::string Quoted(std::string_view text);
// The path in UTF-8, with forward slashes, quoted the same way.
std::string QuotedPath(const std::filesystem::path& path);
// The text with its control characters escaped and nothing else changed.
std::string OneLine(std::string_view text);

}  // namespace kavr::sim

// SHA-256 of a file's bytes, for the run report's header: which plan,
// settings and library a run used, byte for byte.
//
// Shells: kavrctl (run).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kavr {

// 64 lowercase hex digits.
std::string Sha256Hex(std::string_view bytes);
// None when the file cannot be read.
std::optional<std::string> FileSha256Hex(const std::filesystem::path& file);

}  // namespace kavr
